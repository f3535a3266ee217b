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

struct PlayerSteering {
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
void catchUpWithMusic(DemoSession& session, PlayerClock& clock);
