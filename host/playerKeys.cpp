#include "host/playerKeys.h"

#include "host/playerActions.h"
#include "platform/display/window.h"

namespace {

struct KeyAction {
    int keyCode;
    PlayerAction action;
    bool repeats;   // a held key goes on acting
};

const KeyAction keyActions[] = {
    {PLATFORM_KEY_LEFT, {ACTION_SEEK_BY, -5.0}, true},
    {PLATFORM_KEY_RIGHT, {ACTION_SEEK_BY, 5.0}, true},
    {PLATFORM_KEY_DOWN, {ACTION_SEEK_BY, -30.0}, true},
    {PLATFORM_KEY_UP, {ACTION_SEEK_BY, 30.0}, true},
    {PLATFORM_KEY_HOME, {ACTION_TO_START}, true},
    {PLATFORM_KEY_PAGE_UP, {ACTION_PREVIOUS_PART}, true},
    {PLATFORM_KEY_PAGE_DOWN, {ACTION_NEXT_PART}, true},
    {'9', {ACTION_VOLUME_DOWN}, true},
    {'0', {ACTION_VOLUME_UP}, true},
    {PLATFORM_KEY_SPACE, {ACTION_PLAY_PAUSE}, false},
    {'s', {ACTION_SCREENSHOT}, false},
    {PLATFORM_KEY_F12, {ACTION_SCREENSHOT}, false},
    {'f', {ACTION_FULL_SCREEN}, false},
    {PLATFORM_KEY_F11, {ACTION_FULL_SCREEN}, false},
    {'l', {ACTION_LOOP}, false},
    {'o', {ACTION_TIME_BAR}, false},
    {'m', {ACTION_MUTE}, false},
    // The media keys, where the system hands them to the window.
    {PLATFORM_KEY_MEDIA_PLAY, {ACTION_PLAY_PAUSE}, false},
    {PLATFORM_KEY_MEDIA_NEXT, {ACTION_NEXT_PART}, true},
    {PLATFORM_KEY_MEDIA_PREVIOUS, {ACTION_PREVIOUS_PART}, true},
    {PLATFORM_KEY_MEDIA_STOP, {ACTION_END}, false},
    {PLATFORM_KEY_MEDIA_MUTE, {ACTION_MUTE}, false},
    {PLATFORM_KEY_VOLUME_MUTE, {ACTION_MUTE}, false},
    {PLATFORM_KEY_VOLUME_UP, {ACTION_VOLUME_UP}, true},
    {PLATFORM_KEY_VOLUME_DOWN, {ACTION_VOLUME_DOWN}, true},
};

} // namespace

bool takePlayerKey(const Player& player, const PlatformEvent& event)
{
    if (event.keyCode == PLATFORM_KEY_RETURN && (event.modifiers & PLATFORM_MOD_ALT) && !event.repeat)
        return takePlayerAction(player, {ACTION_FULL_SCREEN});
    for (const KeyAction& key : keyActions) {
        if (key.keyCode != event.keyCode) continue;
        return event.repeat && !key.repeats ? true : takePlayerAction(player, key.action);
    }
    return true;
}
