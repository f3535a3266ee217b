#include "platform/system/console.h"

// A program started from a desktop menu has its messages in the session's log, and one
// started from a terminal in the terminal: nothing to do on either side.
void platformAttachConsole() {}

void platformReportStartupFailure(const std::string&) {}
