#include "platform/system/console.h"

#include "platform/display/webPage.h"

// The browser's console shows what the program prints; a start-up failure is shown in the page
// as well, where a viewer sees it.
void platformAttachConsole() {}

void platformReportStartupFailure(const std::string& text) { webPageMessage(text); }
