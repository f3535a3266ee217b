#include "platform/system/quitSignal.h"

#include <SDL.h>

#include <csignal>

namespace {

volatile std::sig_atomic_t quitSignalled = 0;

extern "C" void onQuitSignal(int) { quitSignalled = 1; }

} // namespace

void platformCatchQuitSignals()
{
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    std::signal(SIGINT, onQuitSignal);
    std::signal(SIGTERM, onQuitSignal);
}

bool platformQuitSignalled() { return quitSignalled != 0; }
