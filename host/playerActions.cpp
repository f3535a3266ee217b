#include "host/playerActions.h"

#include "host/playerClock.h"
#include "host/playerScreen.h"
#include "host/showSurface.h"
#include "platform/display/window.h"
#include "platform/files/loadError.h"
#include "platform/system/monotonicClock.h"
#include "timeline/demoSchedule.h"
#include "timeline/demoSession.h"
#include "timeline/demoTimeline.h"

#include <algorithm>

namespace {

// A moment the show can play from now: its part and every part before it are loaded, with
// room for the frame drawn ahead of the music read.
constexpr double holdMargin = 0.5;
bool loadedFor(const DemoSession& session, double t)
{
    return session.loaded || t + holdMargin < demoLoadedUntil(session.load);
}

// The show held at t: the music paused where it stands, the wait screen shown.
void holdAt(const Player& player, double t)
{
    PlayerHold& hold = player.steering.hold;
    DemoSession& session = player.session;
    if (!hold.active) {
        hold.playAfter = !session.paused;
        if (!session.paused) {
            session.paused = true;
            pausePlayerClock(player.clock, true);
        }
        LoadError ignored;
        if (showWaitScreen(session, ignored)) presentShow(player.screen.surface, player.screen.window);
    }
    hold.active = true;
    hold.at = t;
    session.showWhilePaused = false;
}

// Starts the show again at t, music and picture together: the session restarted in place,
// the music restarted at t's byte with what is queued thrown away, the next frame drawn for
// t exactly; while paused the frame of t is shown at once.
void restartAt(const Player& player, double t)
{
    const float start = restartDemoSession(player.session, t);
    restartPlayerClock(player.clock, t, start);
    player.session.showWhilePaused = player.session.paused;
}

// The hold let go at its moment, now loaded.
void releaseHold(const Player& player)
{
    PlayerHold& hold = player.steering.hold;
    DemoSession& session = player.session;
    hold.active = false;
    // Restarted while still paused, so nothing of the music is heard before t.
    restartAt(player, hold.at);
    if (hold.playAfter) {
        session.paused = false;
        session.showWhilePaused = false;
        pausePlayerClock(player.clock, false);
    }
}

// Moves the show to t (restartAt), or holds it there until t's part is loaded. A time at or
// past the end ends the run, or starts the next pass when looping. False when the run ends.
bool seekTo(const Player& player, double t)
{
    PlayerSteering& steering = player.steering;
    if (t >= demoLength) {
        if (!steering.looping) return false;
        t = 0.0;
        ++steering.passes;
    }
    t = std::max(0.0, t);
    ++steering.moves;
    removeTimeBar(steering.bar);
    if (!loadedFor(player.session, t)) {
        holdAt(player, t);
    } else if (steering.hold.active) {
        steering.hold.at = t;
        releaseHold(player);
    } else {
        restartAt(player, t);
    }
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

void setPaused(const Player& player, bool paused)
{
    DemoSession& session = player.session;
    if (player.steering.hold.active) {
        player.steering.hold.playAfter = !paused;
        flashTimeBar(player.steering.bar, platformMonotonicSeconds());
        return;
    }
    if (session.paused == paused) return;
    session.paused = paused;
    pausePlayerClock(player.clock, paused);
    flashTimeBar(player.steering.bar, platformMonotonicSeconds());
    if (paused) presentFrame(player.screen, player.steering.bar, session.demoTime);
}

// The level changed: heard, and shown on the bar (at once while paused).
void changeVolume(const Player& player, int volume, bool muted)
{
    PlayerSteering& steering = player.steering;
    steering.volume = std::clamp(volume, 0, 100);
    steering.muted = muted;
    applyPlayerVolume(player);
    flashTimeBarVolume(steering.bar, platformMonotonicSeconds(), steering.volume, steering.muted);
}

} // namespace

bool takePlayerAction(const Player& player, const PlayerAction& action)
{
    PlayerSteering& steering = player.steering;
    DemoSession& session = player.session;
    const double now = playerNow(player);
    switch (action.kind) {
    case ACTION_PLAY: setPaused(player, false); return true;
    case ACTION_PAUSE: setPaused(player, true); return true;
    case ACTION_PLAY_PAUSE: setPaused(player, !viewerPaused(player)); return true;
    case ACTION_SEEK_TO: return seekTo(player, action.value);
    case ACTION_SEEK_BY: return seekTo(player, now + action.value);
    case ACTION_NEXT_PART: return seekTo(player, nextPartStart(now));
    case ACTION_PREVIOUS_PART: return seekTo(player, showParts[previousPart(now)].start);
    case ACTION_TO_START: return seekTo(player, 0.0);
    case ACTION_LOOP:
        steering.looping = !steering.looping;
        steering.bar.looping = steering.looping;
        flashTimeBar(steering.bar, platformMonotonicSeconds());
        return true;
    case ACTION_TIME_BAR: steering.bar.alwaysOn = !steering.bar.alwaysOn; return true;
    case ACTION_SCREENSHOT:
        player.screen.screenshotAsked = true;
        // Paused, the picture in the back buffer is the one shown; unless a frame is still to
        // be shown (a seek while paused, a paused start), which then takes it.
        if (session.paused && !session.showWhilePaused) presentFrame(player.screen, steering.bar, session.demoTime);
        return true;
    case ACTION_FULL_SCREEN:
        switchFullScreen(player.screen);
        // Paused, the picture is shown again in its new place.
        if (session.paused) presentFrame(player.screen, steering.bar, session.demoTime);
        return true;
    case ACTION_RAISE: platformRaiseWindow(player.screen.window); return true;
    // A level between the steps goes to the next step in the direction asked.
    case ACTION_VOLUME_UP: changeVolume(player, (steering.volume / 5 + 1) * 5, false); return true;
    case ACTION_VOLUME_DOWN: changeVolume(player, ((steering.volume + 4) / 5 - 1) * 5, false); return true;
    case ACTION_MUTE: changeVolume(player, steering.volume, !steering.muted); return true;
    case ACTION_SET_VOLUME: {
        const double level = action.value >= 0.0 ? std::min(action.value, 1.0) : 0.0;   // NaN too
        changeVolume(player, static_cast<int>(level * 100.0 + 0.5), false);
        return true;
    }
    case ACTION_END: return false;
    }
    return true;
}

void applyPlayerVolume(const Player& player)
{
    setPlayerVolume(player.clock, player.steering.muted ? 0.0 : player.steering.volume / 100.0);
}

bool startNextPass(const Player& player)
{
    return player.steering.looping && seekTo(player, demoLength);
}

void catchUpWithMusic(const Player& player)
{
    if (player.steering.hold.active) return;
    const double now = playerClockSeconds(player.clock);
    if (now >= demoLength) return;
    if (!loadedFor(player.session, now)) {
        holdAt(player, now);
        return;
    }
    const float start = restartDemoSession(player.session, now);
    restartPrediction(player.clock.prediction, start);
    player.session.showWhilePaused = player.session.paused;
}

void holdForFiles(const Player& player)
{
    const PlayerHold& hold = player.steering.hold;
    if (hold.active) {
        if (loadedFor(player.session, hold.at)) releaseHold(player);
        return;
    }
    if (player.session.loaded) return;
    const double now = playerClockSeconds(player.clock);
    if (!loadedFor(player.session, now)) holdAt(player, now);
}

bool viewerPaused(const Player& player)
{
    return player.steering.hold.active ? !player.steering.hold.playAfter : player.session.paused;
}

double playerNow(const Player& player)
{
    return player.steering.hold.active ? player.steering.hold.at : playerClockSeconds(player.clock);
}
