// The player: reads the configuration, opens the window, shows the wait screen while the
// assets load, then plays the music and draws the show until Escape, a close request or the
// end of the music. Runs in the folder holding "kesu.ini" and "data/", or with the installed
// pack. A run is the DemoHost record, worked on a step at a time, so that the player's own
// loop (runDemo) or a platform's, which calls the program once per display frame, drives it.
#pragma once

#include "host/config.h"
#include "host/playerBench.h"
#include "host/playerClock.h"
#include "host/playerActions.h"
#include "host/playerOptions.h"
#include "host/playerPointer.h"
#include "host/playerScreen.h"
#include "platform/display/renderWindow.h"
#include "platform/files/fileLookup.h"
#include "timeline/demoSession.h"

enum PlayerPhase {
    PLAYER_FILES,     // next: the files found, the configuration read and the music decoded (or, where
                      // files arrive late, once the opening is loaded)
    PLAYER_WINDOW,    // next: the window opened and the wait screen shown on it
    PLAYER_LOADING,   // next: steps of the loading, behind the wait screen
    PLAYER_MUSIC,     // next: the sound output opened, a late start's history stepped, the music started
    PLAYER_SHOW,      // next: a step of the show, every pending event and at most one frame
    PLAYER_BENCH,     // next: a batch of the bench's frames (--bench)
    PLAYER_OVER       // the run is over: endPlayer is next
};

// Everything a run keeps from one step to the next.
struct DemoHost {
    PlayerOptions options;
    RunFiles files;
    DemoConfig config;
    bool configGiven = true;   // false: installed without a configuration of the user's
    PlayerPhase phase = PLAYER_FILES;
    bool showStarted = false;  // the start-up went through: the music and the show started
    bool benchStarted = false; // the start-up went through to the bench
    RenderWindow renderWindow;
    bool deviceContext = false;
    DemoSession session;
    DemoDriver driver;         // the show's hooks into this record: it must not move once the show starts
    PlayerClock clock;
    PlayerSteering steering;
    PlayerPointer pointer;
    PlayerScreen screen;
    PlayerBench bench;
    bool glErrorReported = false;
    std::string loadFailure;   // a file that failed to load, as said
    bool musicDecoded = false;

    // The parts the player's actions work on.
    Player player() { return Player{steering, session, clock, screen}; }
};

// Takes the command line. False when the run ends there, with the process exit status: 0
// after --help or --version, 2 for a usage error, refused before anything opens.
bool beginPlayer(DemoHost& host, int argc, const char* const* argv, int& status);
// Takes the next step; false once the run is over. A quit requested during the start-up ends
// it at the next step.
bool stepPlayer(DemoHost& host);
// Where the files arrive while the show plays: its loading's steps, between its frames, within
// a budget of a few milliseconds.
void loadBetweenFrames(DemoHost& host);
// Paused, the show has nothing to draw until an event comes: a loop of the player's own may
// wait for one before the next step.
bool playerWaiting(const DemoHost& host);
// Ends the run: screenshots written, the report printed, the window and the sound released.
// Returns the process exit status: 0 after a run (a quit included), 1 when the start-up failed
// (the reason is on stderr, and in a message box where there is no console).
int endPlayer(DemoHost& host);

// The whole run, from the command line to the exit status, on the player's own loop or the
// platform's (frameLoop.h).
int runDemo(int argc, const char* const* argv);
