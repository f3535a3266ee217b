// The page fetches the pack's files and writes them where the program reads them
// (platform/web/page.js); it counts the stages that are complete.
#include "platform/files/packArrival.h"

#include <emscripten.h>

namespace {

EM_JS(int, stagesArrivedInPage, (), { return KesuPage.stagesArrived; });

} // namespace

bool platformFilesArriveLate() { return true; }

int platformStagesArrived() { return stagesArrivedInPage(); }
