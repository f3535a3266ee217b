// The quit request a process gets from outside: SIGINT (Ctrl+C) and SIGTERM, caught from the
// first line of main on, so that a request that comes while the program is still loading ends
// the run as the window's close request does, not the process on the spot. The event queue
// reports it as a quit event; long steps ask for it between their parts.
#pragma once

// Installs the handlers; SDL is told not to install its own.
void platformCatchQuitSignals();

// True once SIGINT or SIGTERM has come.
bool platformQuitSignalled();
