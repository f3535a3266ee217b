#include "host/playerControls.h"

#include "host/playerActions.h"
#include "host/timeBar.h"
#include "platform/display/window.h"
#include "platform/system/playerState.h"
#include "timeline/demoSchedule.h"
#include "timeline/demoSession.h"

namespace {

struct CommandAction {
    PlatformCommand command;
    PlayerActionKind action;
};

const CommandAction commandActions[] = {
    {PLATFORM_COMMAND_PLAY, ACTION_PLAY},
    {PLATFORM_COMMAND_PAUSE, ACTION_PAUSE},
    {PLATFORM_COMMAND_PLAY_PAUSE, ACTION_PLAY_PAUSE},
    {PLATFORM_COMMAND_SEEK_TO, ACTION_SEEK_TO},
    {PLATFORM_COMMAND_SEEK_BY, ACTION_SEEK_BY},
    {PLATFORM_COMMAND_NEXT, ACTION_NEXT_PART},
    {PLATFORM_COMMAND_PREVIOUS, ACTION_PREVIOUS_PART},
    {PLATFORM_COMMAND_STOP, ACTION_END},
    {PLATFORM_COMMAND_SET_VOLUME, ACTION_SET_VOLUME},
    {PLATFORM_COMMAND_MUTE, ACTION_MUTE},
    {PLATFORM_COMMAND_FULL_SCREEN, ACTION_FULL_SCREEN},
    {PLATFORM_COMMAND_RAISE, ACTION_RAISE},
};

// The show's parts as the controls take them.
const PlatformPart* controlParts()
{
    static PlatformPart parts[showPartCount];
    for (int k = 0; k < showPartCount; ++k) parts[k] = {showParts[k].name, showParts[k].start};
    return parts;
}

} // namespace

bool takePlayerCommand(const Player& player, const PlatformEvent& event)
{
    for (const CommandAction& entry : commandActions) {
        if (entry.command == event.command) return takePlayerAction(player, {entry.action, event.value});
    }
    return true;
}

void publishPlayerState(const Player& player)
{
    static const PlatformPart* const parts = controlParts();
    PlatformPlayerState state;
    const PlayerHold& hold = player.steering.hold;
    state.seconds = hold.active ? hold.at : player.session.demoTime;
    state.length = demoLength;
    state.paused = viewerPaused(player);
    state.waiting = hold.active;
    state.looping = player.steering.looping;
    state.volume = player.steering.volume;
    state.muted = player.steering.muted;
    state.moves = player.steering.moves;
    state.timeText = timeBarText(state.seconds, demoLength);
    state.part = showPartAt(state.seconds);
    state.parts = parts;
    state.partCount = showPartCount;
    state.formatTime = [](double seconds) { return timeBarText(seconds, demoLength); };
    platformPublishPlayerState(state);
}
