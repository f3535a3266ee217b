// The player's command line. Every option is optional: without any, the player switches the
// display to the configured mode, covers the screen and plays from the start of the music.
// Parsing only, so a usage error is refused before anything opens.
#pragma once

#include "platform/display/renderWindow.h"

#include <string>

struct PlayerOptions {
    ScreenMode screenMode = SCREEN_SWITCH_MODE;
    double from = 0.0;     // seconds of music to start at, 0 <= from < the run's length
    bool loop = false;     // play the show again from 0 at its end, until Escape
    bool paused = false;   // start paused on the first frame, as a seek while paused shows it
    bool bench = false;    // time the frames from `from` to the end back to back instead of playing
    int display = 0;       // the monitor the window or the full screen is on
    int volume = 100;      // the music's level in percent, 0 to 100, on the mixers' cubic curve
    bool help = false;
    bool version = false;
    // From the environment (readPlayerEnvironment).
    bool predictFrames = true;     // KESU_CLOCK=frame-start: false, each frame drawn for the position read
    std::string clockLogPath;      // KESU_CLOCK_LOG: one line per frame into this file
    bool checkGl = false;          // KESU_CHECK_GL: the first GL error of the run is reported
    bool immediateDraw = false;    // KESU_IMMEDIATE: the immediate draw path
};

// False with `problem` set for an unknown option, a missing or bad value, or both --window
// and --desktop.
bool parsePlayerOptions(int argc, const char* const* argv, PlayerOptions& options, std::string& problem);

// Reads the switches the player takes from its environment, once, at start-up.
void readPlayerEnvironment(PlayerOptions& options);

// The usage text: the options, the keys and where the files are looked for.
std::string playerUsage();
