// The system's media controls: on a Linux desktop MPRIS on the session bus, through which the
// desktop's media keys, its media widget, the lock screen and a headset's buttons steer
// players. They show the state the player publishes (playerState.h) and ask for things as
// events, which the window hands out with its own (platformPollEvent). Where the system has
// none, or no session bus is there, the player plays as it would without them and says nothing.
#pragma once

#include "platform/display/window.h"

// Takes one event the controls asked for: a command, or the end of the run; false when none
// is waiting.
bool platformTakeMediaEvent(PlatformEvent& event);
