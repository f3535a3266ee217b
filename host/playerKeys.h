// What the player's keys do, every key but Escape (the session's own): Space pauses and
// resumes, Left and Right move 5 s, Down and Up 30 s, Home goes to the start, Page Up and Page
// Down by the show's parts, L loops, O keeps the time bar on, S and F12 take a screenshot, and
// F, F11 and Alt+Enter switch the full screen. Owns the steering: whether the show loops, how
// often it started, and the time bar's showing. A move starts the show again in place,
// picture and music together.
#pragma once

#include "host/timeBar.h"

struct DemoSession;
struct PlatformEvent;
struct PlayerClock;
struct PlayerScreen;

struct PlayerSteering {
    bool looping = false;
    int passes = 1;   // times the show started, a loop's restarts included
    TimeBar bar;
};

// One key pressed (auto-repeats included: a held arrow key goes on moving); false ends the
// run, for a move past the end while not looping.
bool takePlayerKey(PlayerSteering& steering, DemoSession& session, PlayerClock& clock, PlayerScreen& screen,
                   const PlatformEvent& event);

// The music has reached its end: the show starts again from 0 when it loops; false ends the run.
bool startNextPass(PlayerSteering& steering, DemoSession& session, PlayerClock& clock);

// The show brought to where the music is now, as a seek brings it, the music left as it plays:
// after the player was not stepped for a while (a page in a background tab).
void catchUpWithMusic(DemoSession& session, PlayerClock& clock);
