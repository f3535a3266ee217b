// Where a program's messages go. A Windows program started from Explorer has no console:
// what it would print is lost, so a start-up failure is also shown in a message box there.
// Elsewhere messages always reach the terminal or the file they were sent to.
#pragma once

#include <string>

// Sends stdout and stderr to the console the program was started from, or to where they
// were redirected; call first thing in main.
void platformAttachConsole();

// Shows why the program could not start in a message box when no console shows its
// messages; does nothing where one does.
void platformReportStartupFailure(const std::string& text);
