#include "platform/system/mediaControls.h"
#include "platform/system/playerState.h"

// The window shows the player's own time bar; the media keys come to it as keys, and no
// control outside it reads the state.
void platformPublishPlayerState(const PlatformPlayerState&) {}

bool platformTakeMediaEvent(PlatformEvent&) { return false; }
