// The mouse, as a video player takes it, turned into the player's actions: a move of 2 pixels
// or more brings the time bar and the pointer, which go 2 s after the last move while the show
// plays; a press on the bar and a drag along it show the time under the pointer, and letting
// go goes there; a click elsewhere pauses or resumes 250 ms later unless a second click comes,
// and a double-click switches the full screen and does nothing else. Nothing shows until the
// mouse moves: the events a window system sends when a window opens, moves or changes size
// under a still pointer only say where it is.
#pragma once

struct Player;
struct PlatformEvent;

struct PlayerPointer {
    bool placed = false;              // where the pointer is over the window is known
    double x = 0.0, y = 0.0;          // there, at the last move that counted
    bool shown = false;               // the pointer and the bar are up after a move
    double movedAt = 0.0;             // monotonic seconds of the last move that counted
    bool dragging = false;            // pressed on the bar and not let go yet
    double clickAt = -1.0;            // a click off the bar waiting for a second one; -1: none
};

// One mouse event, at monotonic seconds `now`; false when it ends the run (a seek past the end
// while not looping).
bool takePointerEvent(const Player& player, PlayerPointer& pointer, const PlatformEvent& event, double now);

// Once a step: a click whose wait for a second one is over acts, and the pointer and the bar
// go once the mouse has been still long enough.
void stepPointer(const Player& player, PlayerPointer& pointer, double now);
