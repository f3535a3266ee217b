// The program: reads the configuration, opens the window, shows the wait screen while the
// assets load, then plays the music and draws one frame per pass of the main loop until
// Escape, a close request or the end of the music. Runs in the folder holding "kesu.ini"
// and "data/".
#pragma once

// Takes the command line (see playerOptions.h). Returns the process exit status: 0 after a
// normal run or --help, 1 when the start-up fails (the reason is on stderr), 2 for a usage
// error, refused before anything opens.
int runDemo(int argc, const char* const* argv);
