#include "host/playerKeys.h"

#include "host/playerClock.h"
#include "host/playerScreen.h"
#include "platform/display/window.h"
#include "platform/system/monotonicClock.h"
#include "timeline/demoSchedule.h"
#include "timeline/demoSession.h"

#include <algorithm>

namespace {

// Starts the show again at t, music and picture together: the session restarted in place,
// the music restarted at t's byte with what is queued thrown away, the next frame drawn for
// t exactly; while paused the frame of t is shown at once. A time at or past the end ends the
// run, or starts the next pass when looping. False when the run ends.
bool seekTo(PlayerSteering& steering, DemoSession& session, PlayerClock& clock, double t)
{
    if (t >= demoLength) {
        if (!steering.looping) return false;
        t = 0.0;
        ++steering.passes;
    }
    t = std::max(0.0, t);
    removeTimeBar(steering.bar);
    const float start = restartDemoSession(session, t);
    restartPlayerClock(clock, t, start);
    session.showWhilePaused = session.paused;
    flashTimeBar(steering.bar, platformMonotonicSeconds());
    return true;
}

// The part whose start Page Up goes to: the one playing, or the one before when the part
// playing started less than a second ago.
int previousPart(double t)
{
    const int part = showPartAt(t);
    return part > 0 && t - showParts[part].start < 1.0 ? part - 1 : part;
}

double nextPartStart(double t)
{
    const int next = showPartAt(t) + 1;
    return next < showPartCount ? showParts[next].start : demoLength;
}

} // namespace

bool takePlayerKey(PlayerSteering& steering, DemoSession& session, PlayerClock& clock, PlayerScreen& screen,
                   const PlatformEvent& event)
{
    const double now = playerClockSeconds(clock);
    switch (event.keyCode) {
    case PLATFORM_KEY_LEFT: return seekTo(steering, session, clock, now - 5.0);
    case PLATFORM_KEY_RIGHT: return seekTo(steering, session, clock, now + 5.0);
    case PLATFORM_KEY_DOWN: return seekTo(steering, session, clock, now - 30.0);
    case PLATFORM_KEY_UP: return seekTo(steering, session, clock, now + 30.0);
    case PLATFORM_KEY_HOME: return seekTo(steering, session, clock, 0.0);
    case PLATFORM_KEY_PAGE_UP: return seekTo(steering, session, clock, showParts[previousPart(now)].start);
    case PLATFORM_KEY_PAGE_DOWN: return seekTo(steering, session, clock, nextPartStart(now));
    default: break;
    }
    if (event.repeat) return true;
    switch (event.keyCode) {
    case PLATFORM_KEY_SPACE:
        session.paused = !session.paused;
        pausePlayerClock(clock, session.paused);
        flashTimeBar(steering.bar, platformMonotonicSeconds());
        if (session.paused) presentFrame(screen, steering.bar, steering.looping, session.demoTime);
        return true;
    case 's':
    case PLATFORM_KEY_F12:
        screen.screenshotAsked = true;
        // Paused, the picture in the back buffer is the one shown; unless a frame is still to
        // be shown (a seek while paused, a paused start), which then takes it.
        if (session.paused && !session.showWhilePaused) presentFrame(screen, steering.bar, steering.looping, session.demoTime);
        return true;
    case PLATFORM_KEY_RETURN:
        if (!(event.modifiers & PLATFORM_MOD_ALT)) return true;
        [[fallthrough]];
    case 'f':
    case PLATFORM_KEY_F11:
        switchFullScreen(screen);
        // Paused, the picture is shown again in its new place.
        if (session.paused) presentFrame(screen, steering.bar, steering.looping, session.demoTime);
        return true;
    case 'l':
        steering.looping = !steering.looping;
        flashTimeBar(steering.bar, platformMonotonicSeconds());
        return true;
    case 'o': steering.bar.alwaysOn = !steering.bar.alwaysOn; return true;
    default: return true;
    }
}

bool startNextPass(PlayerSteering& steering, DemoSession& session, PlayerClock& clock)
{
    return steering.looping && seekTo(steering, session, clock, demoLength);
}

void catchUpWithMusic(DemoSession& session, PlayerClock& clock)
{
    const double now = playerClockSeconds(clock);
    if (now >= demoLength) return;
    const float start = restartDemoSession(session, now);
    restartPrediction(clock.prediction, start);
    session.showWhilePaused = session.paused;
}
