#include "platform/system/playerState.h"

// The desktop's window shows the player's own time bar; no control outside it reads the state.
void platformPublishPlayerState(const PlatformPlayerState&) {}
