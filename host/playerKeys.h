// The player's keys, every key but Escape (the session's own), as actions: Space pauses and
// resumes, Left and Right move 5 s, Down and Up 30 s, Home goes to the start, Page Up and Page
// Down by the show's parts, L loops, O keeps the time bar on, S and F12 take a screenshot, F,
// F11 and Alt+Enter switch the full screen, 9 and 0 lower and raise the volume and M mutes.
#pragma once

struct Player;
struct PlatformEvent;

// One key pressed (auto-repeats included: a held arrow or volume key goes on); false ends the
// run, for a move past the end while not looping.
bool takePlayerKey(const Player& player, const PlatformEvent& event);
