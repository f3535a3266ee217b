#include "host/playerPointer.h"

#include "host/playerActions.h"
#include "host/playerScreen.h"
#include "platform/display/window.h"
#include "timeline/demoSession.h"

#include <cmath>

namespace {

constexpr double movePixels = 2.0;
constexpr double shownSeconds = 2.0;
constexpr double doubleClickSeconds = 0.25;

// The time under the event's point on the bar's line, when the point is on the bar.
bool onTimeBar(const Player& player, const PlatformEvent& event, double& t)
{
    double x = 0.0, y = 0.0;
    const bool inPicture = pictureAt(player.screen, event.x, event.y, x, y);
    const TimeBarLayout layout = timeBarLayout(player.screen.width, player.screen.height);
    t = timeBarTimeAt(layout, x);
    return inPicture && y < layout.height;
}

void show(const Player& player, PlayerPointer& pointer, double now)
{
    pointer.movedAt = now;
    if (!pointer.shown) platformShowCursor(true);
    pointer.shown = true;
    holdTimeBar(player.steering.bar, now + shownSeconds);
}

} // namespace

bool takePointerEvent(const Player& player, PlayerPointer& pointer, const PlatformEvent& event, double now)
{
    TimeBar& bar = player.steering.bar;
    double t = 0.0;
    switch (event.kind) {
    case PLATFORM_EVENT_POINTER_MOVE: {
        const bool moved = std::hypot(event.x - pointer.x, event.y - pointer.y) >= movePixels;
        if (pointer.placed && !moved && !event.pointerPlaced) return true;
        const bool first = !pointer.placed || event.pointerPlaced;
        pointer.placed = true;
        pointer.x = event.x;
        pointer.y = event.y;
        if (first) return true;
        show(player, pointer, now);
        if (pointer.dragging) {
            onTimeBar(player, event, t);
            bar.pointedTime = t;
            bar.changed = true;
        }
        return true;
    }
    case PLATFORM_EVENT_POINTER_DOWN:
        if (event.button != 1) return true;
        // On a bar that shows, a press starts a drag; a bar that does not show is not there.
        if (timeBarVisible(bar, now) && onTimeBar(player, event, t)) {
            pointer.clickAt = -1.0;
            pointer.dragging = true;
            bar.pointedTime = t;
            bar.changed = true;
            show(player, pointer, now);
            return true;
        }
        if (pointer.clickAt >= 0.0 && now - pointer.clickAt <= doubleClickSeconds) {
            pointer.clickAt = -1.0;
            return takePlayerAction(player, {ACTION_FULL_SCREEN});
        }
        pointer.clickAt = now;
        return true;
    case PLATFORM_EVENT_POINTER_UP:
        if (event.button != 1 || !pointer.dragging) return true;
        // Let go anywhere, off the bar too: the time under the pointer's x, held to the show.
        onTimeBar(player, event, t);
        pointer.dragging = false;
        bar.pointedTime = -1.0;
        bar.changed = true;
        show(player, pointer, now);
        return takePlayerAction(player, {ACTION_SEEK_TO, t});
    default: return true;
    }
}

void stepPointer(const Player& player, PlayerPointer& pointer, double now)
{
    if (pointer.clickAt >= 0.0 && now - pointer.clickAt > doubleClickSeconds) {
        pointer.clickAt = -1.0;
        takePlayerAction(player, {ACTION_PLAY_PAUSE});
    }
    if (!pointer.shown) return;
    // Paused or dragging, they stay; the 2 s start again when the show goes on.
    if (player.session.paused || pointer.dragging) {
        show(player, pointer, now);
    } else if (now - pointer.movedAt >= shownSeconds) {
        platformShowCursor(false);
        pointer.shown = false;
    }
}
