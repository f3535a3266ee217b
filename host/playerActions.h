// What a viewer can ask of the running show, written once: every input (the keys, the mouse,
// the page's controls, the system's media controls) is a translation into these actions.
// Owns the steering: whether the show loops, how often it started, the time bar's showing
// and the music's level. A move starts the show again in place, picture and music together.
#pragma once

#include "host/timeBar.h"

struct DemoSession;
struct PlayerClock;
struct PlayerScreen;

enum PlayerActionKind {
    ACTION_PLAY,
    ACTION_PAUSE,
    ACTION_PLAY_PAUSE,
    ACTION_SEEK_TO,        // value: the time in seconds
    ACTION_SEEK_BY,        // value: seconds on, negative back
    ACTION_NEXT_PART,
    ACTION_PREVIOUS_PART,  // the part playing's start, or the one before within a second of it
    ACTION_TO_START,
    ACTION_LOOP,           // looping on or off
    ACTION_TIME_BAR,       // the time bar kept on or not
    ACTION_SCREENSHOT,
    ACTION_FULL_SCREEN,    // between the window and the full screen
    ACTION_RAISE,          // the window to the front
    ACTION_VOLUME_UP,      // a twentieth up, unmuted
    ACTION_VOLUME_DOWN,    // a twentieth down, unmuted
    ACTION_MUTE,           // muted or not; the level is kept
    ACTION_SET_VOLUME,     // value: the level, 0 to 1, unmuted
    ACTION_END
};

struct PlayerAction {
    PlayerActionKind kind = ACTION_PLAY_PAUSE;
    double value = 0.0;
};

// Where the files arrive while the show plays, a moment whose part is not loaded yet holds the
// show there: the music paused, the wait screen shown, until the loading reaches it; then the
// show starts again at that moment, playing if the viewer did not pause meanwhile.
struct PlayerHold {
    bool active = false;
    double at = 0.0;          // the moment held, seconds of music
    bool playAfter = false;   // the viewer's choice: play once it is loaded
};

struct PlayerSteering {
    PlayerHold hold;
    bool looping = false;
    int passes = 1;      // times the show started, a loop's restarts included
    int moves = 0;       // times the show was moved (seeks, a loop's restarts)
    int volume = 100;    // the level in percent, on the mixers' cubic curve
    bool muted = false;
    TimeBar bar;
};

// The parts of a run the actions work on.
struct Player {
    PlayerSteering& steering;
    DemoSession& session;
    PlayerClock& clock;
    PlayerScreen& screen;
};

// Does what the action asks; false when it ends the run (the end, or a move past the end
// while not looping).
bool takePlayerAction(const Player& player, const PlayerAction& action);

// The output's level set from the steering's, without showing it (the run's start).
void applyPlayerVolume(const Player& player);

// The music has reached its end: the show starts again from 0 when it loops; false ends the run.
bool startNextPass(const Player& player);

// The show brought to where the music is now, as a seek brings it, the music left as it plays:
// after the player was not stepped for a while (a page in a background tab).
void catchUpWithMusic(const Player& player);
// Holds the show where the music is when its part is not loaded, and lets it go at the moment
// held once it is; once a step of the show, before its frame.
void holdForFiles(const Player& player);
// Paused as the viewer sees it: a show held for its files is paused or will play.
bool viewerPaused(const Player& player);
// The moment the show stands at: the one held, or the music's.
double playerNow(const Player& player);
