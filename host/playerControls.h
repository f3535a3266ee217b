// The controls beside the window's keys and mouse (the page's buttons and time bar): their
// commands turned into the player's actions, and what the player is doing told back to them.
#pragma once

struct Player;
struct PlatformEvent;

// One command; false when it ends the run.
bool takePlayerCommand(const Player& player, const PlatformEvent& event);

// The player's state passed on to the controls that show it: the time, paused or not, the
// level, the part playing among the show's parts.
void publishPlayerState(const Player& player);
