// The page fetches the pack's files and writes them where the program reads them
// (platform/web/page.js); it counts the stages that are complete.
#include "platform/files/packArrival.h"

#include <emscripten.h>

namespace {

EM_JS(int, stagesArrivedInPage, (), { return KesuPage.stagesArrived; });
EM_JS(int, fileArrivedInPage, (const char* name), { return KesuFiles.written.has(UTF8ToString(name)) ? 1 : 0; });

} // namespace

bool platformFilesArriveLate() { return true; }

int platformStagesArrived() { return stagesArrivedInPage(); }

bool platformPackFileArrived(const char* name) { return fileArrivedInPage(name) != 0; }
