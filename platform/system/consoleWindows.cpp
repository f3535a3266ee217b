#include "platform/system/console.h"

#include <SDL.h>

#include <windows.h>

#include <cstdio>

namespace {

// Whether stderr reaches something a person can read.
bool consoleShown = false;

bool usable(HANDLE handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }

} // namespace

void platformAttachConsole()
{
    // Redirected (a pipe or a file, as the tests read it): the C library already writes there.
    if (usable(GetStdHandle(STD_ERROR_HANDLE))) {
        consoleShown = true;
        return;
    }
    // Started from a console window: write into it. From Explorer there is none to attach to.
    if (AttachConsole(ATTACH_PARENT_PROCESS)) {
        std::freopen("CONOUT$", "w", stdout);
        std::freopen("CONOUT$", "w", stderr);
        consoleShown = true;
    }
}

void platformReportStartupFailure(const std::string& text)
{
    if (consoleShown) return;
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, "Kesu Tamrick", text.c_str(), nullptr);
}
