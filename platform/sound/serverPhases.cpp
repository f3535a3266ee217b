#include "platform/sound/serverPhases.h"

#include <algorithm>
#include <cstdint>

namespace {

constexpr double reconnectSeconds = 1.0;

// Phases in which the stream is fed the music.
bool fed(ServerMusic music) { return music == MUSIC_RESTARTING || music == MUSIC_PLAYING || music == MUSIC_RETURNING; }
// Phases in which the wall clock stands in for the music.
bool standingIn(ServerMusic music) { return music == MUSIC_LOST || music == MUSIC_RETURNING; }

// One report on its way at a time; the stream must be there to answer.
void askTiming(const ServerPhases& phases, ServerStep& step)
{
    if (phases.connection == CONNECTION_READY && !phases.reportAsked) step.askTiming = true;
}

void cork(const ServerPhases& phases, bool corked, ServerStep& step)
{
    if (phases.connection == CONNECTION_READY) step.cork = corked ? CORK_ON : CORK_OFF;
}

// The stream's music from `byte` on, in the given phase: what the stream holds is dropped and
// it is fed anew (unless stopped), corked while paused. The server puts the next byte written
// where its read index stood at the flush; reports asked for before the flush carry a write
// index the library marks corrupt, so a fresh one is asked for.
void restartAt(ServerPhases& phases, std::uint64_t byte, ServerMusic music, bool paused, ServerStep& step)
{
    phases.startByte = phases.handed = byte;
    phases.music = music;
    phases.requestMetSinceFlush = false;
    restartPacing(phases.pacing);
    if (phases.connection != CONNECTION_READY) return;
    step.refill = true;
    cork(phases, paused || !fed(music), step);
    phases.reportAsked = false;
    askTiming(phases, step);
}

// On a new stream, the music goes on from where the wall clock will be when what is written
// now is heard, once the sink has played what it holds; the wall clock stands in until then.
void placeMusic(ServerPhases& phases, double wallHeardNow, bool paused, ServerStep& step)
{
    const bool announce = phases.music == MUSIC_LOST;
    const double heardThen = std::max(0.0, wallHeardNow + (paused ? 0.0 : phases.sinkBytes));
    const std::uint64_t byte = static_cast<std::uint64_t>(heardThen) & ~static_cast<std::uint64_t>(AUDIO_BYTES_PER_FRAME - 1);
    restartAt(phases, byte, MUSIC_RETURNING, paused, step);
    if (announce) step.notice = "the sound server is back; the music goes on from " + audioMusicTime(static_cast<double>(byte));
}

void waitToReconnect(ServerPhases& phases, double now)
{
    if (phases.connection != CONNECTION_WAITING) phases.retryAt = now + reconnectSeconds;
    phases.connection = CONNECTION_WAITING;
}

} // namespace

ServerStep serverContextReady(ServerPhases& phases)
{
    ServerStep step;
    step.openStream = phases.connection == CONNECTION_FIRST || phases.connection == CONNECTION_RENEWING;
    return step;
}

ServerStep serverStreamReady(ServerPhases& phases)
{
    ServerStep step;
    if (phases.connection == CONNECTION_FIRST) {
        // Corked and unfed: nothing plays and the server's clock stands until the first start.
        phases.connection = CONNECTION_READY;
    } else if (phases.connection == CONNECTION_RENEWING) {
        // Its first report says how much the sink holds: then the music is placed.
        phases.connection = CONNECTION_READY;
        askTiming(phases, step);
    }
    return step;
}

ServerStep serverFailed(ServerPhases& phases, double now, double heardNow)
{
    ServerStep step;
    switch (phases.connection) {
    case CONNECTION_FIRST: phases.connection = CONNECTION_REFUSED; break;
    case CONNECTION_REFUSED:
    case CONNECTION_CLOSING: break;
    case CONNECTION_READY:
        // A new stream that failed before its music was heard: the wall clock goes on standing in.
        if (standingIn(phases.music)) {
            phases.music = MUSIC_LOST;
        } else {
            // Mid-run the music goes on on the wall clock from where it was heard, and the user
            // is told once.
            const bool heard = phases.music == MUSIC_RESTARTING || phases.music == MUSIC_PLAYING;
            if (heard) {
                step.standIn = true;
                step.standInBytes = heardNow;
                step.silenceBegins = true;
                phases.music = MUSIC_LOST;
            }
            step.notice = "the sound server went away at " + audioMusicTime(heard ? heardNow : 0.0) +
                          " of the music; the demo goes on silent on the wall clock and tries to reconnect every second";
        }
        waitToReconnect(phases, now);
        break;
    case CONNECTION_RENEWING:
    case CONNECTION_WAITING: waitToReconnect(phases, now); break;
    }
    return step;
}

ServerStep serverTick(ServerPhases& phases, double now)
{
    ServerStep step;
    // On PipeWire reports are also asked for at the timer's period, unrelated to the graph's
    // quantum, so that some always come just before the read index moves.
    if (phases.onPipeWire && fed(phases.music)) askTiming(phases, step);
    if (phases.connection == CONNECTION_WAITING && now >= phases.retryAt) {
        step.reconnect = true;
        step.askTiming = false;
        phases.connection = CONNECTION_RENEWING;
        if (phases.music == MUSIC_RETURNING) phases.music = MUSIC_LOST;
        phases.reportAsked = false;
        restartPacing(phases.pacing);
    }
    return step;
}

void serverClosing(ServerPhases& phases) { phases.connection = CONNECTION_CLOSING; }

ServerStep serverStart(ServerPhases& phases, std::uint64_t startByte, bool paused)
{
    ServerStep step;
    if (phases.connection == CONNECTION_READY && !standingIn(phases.music)) {
        restartAt(phases, startByte, MUSIC_RESTARTING, paused, step);
        return step;
    }
    // No stream plays the music: the clock moves there on the wall clock, and the music goes on
    // from the clock once a new stream is ready.
    step.standIn = true;
    step.standInBytes = static_cast<double>(startByte);
    step.silenceBegins = !standingIn(phases.music);
    if (phases.music != MUSIC_RETURNING) phases.music = MUSIC_LOST;
    if (phases.connection == CONNECTION_READY) placeMusic(phases, static_cast<double>(startByte), paused, step);
    return step;
}

ServerStep serverPause(ServerPhases& phases, bool paused, double heardNow)
{
    ServerStep step;
    if (standingIn(phases.music)) {
        step.standIn = true;
        step.standInBytes = heardNow;
    }
    if (phases.music == MUSIC_RETURNING && !paused) {
        // The wall clock stood meanwhile: the music is placed anew.
        placeMusic(phases, heardNow, paused, step);
    } else if (fed(phases.music)) {
        cork(phases, paused, step);
        askTiming(phases, step);
    }
    return step;
}

ServerStep serverStop(ServerPhases& phases, double now)
{
    ServerStep step;
    restartAt(phases, phases.handed, MUSIC_STOPPED, true, step);
    step.silenceEnds = true;
    step.silenceEndSeconds = now;
    return step;
}

bool serverFeeding(const ServerPhases& phases) { return fed(phases.music); }

void serverHanded(ServerPhases& phases, std::size_t bytes) { phases.handed += bytes; }

ServerStep serverRequested(ServerPhases& phases, bool met)
{
    ServerStep step;
    if (met) phases.requestMetSinceFlush = true;
    askTiming(phases, step);
    return step;
}

void serverTimingAsked(ServerPhases& phases, bool sent)
{
    if (!sent) return;
    phases.reportAsked = true;
    phases.askedAfterRequest = phases.requestMetSinceFlush;
}

ServerStep serverTimingCame(ServerPhases& phases, const ServerTiming* timing, bool paused, double wallHeardNow)
{
    ServerStep step;
    phases.reportAsked = false;
    if (!timing || phases.connection != CONNECTION_READY) return step;
    if (phases.music == MUSIC_UNSTARTED || phases.music == MUSIC_STOPPED) return step;
    if (timing->corrupt) {
        askTiming(phases, step);
        return step;
    }
    const bool playing = timing->playing && !paused;
    double readIndex = static_cast<double>(timing->readIndex);
    if (phases.onPipeWire && playing) {
        readIndex = pacedReadIndex(phases.pacing, timing->readIndex, timing->seconds);
    } else {
        // Stopped, the read index stands at the end of the last quantum taken, heard in full
        // by now or soon: that is where the music stops.
        stopPacing(phases.pacing, timing->readIndex);
    }
    phases.sinkBytes = timing->sinkBytes;
    const double heard = static_cast<double>(phases.handed) - static_cast<double>(timing->writeIndex) + readIndex - timing->sinkBytes;
    if (phases.music == MUSIC_LOST) {
        placeMusic(phases, wallHeardNow, paused, step);
        return step;
    }
    if (phases.music == MUSIC_RETURNING) {
        // The music placed is heard: its reports are the clock from now on.
        if (!playing || heard < static_cast<double>(phases.startByte)) return step;
        phases.music = MUSIC_PLAYING;
        step.silenceEnds = true;
        step.silenceEndSeconds = timing->seconds;
    }
    // The restart's empty queue is over once a report asked after the server's first request
    // for the new music says it plays.
    if (phases.music == MUSIC_RESTARTING && playing && phases.askedAfterRequest) phases.music = MUSIC_PLAYING;
    step.publish = true;
    step.report.heardBytes = std::max(0.0, heard);
    step.report.monotonicSeconds = timing->seconds;
    step.report.playing = timing->playing;
    step.report.handedBytes = phases.handed;
    return step;
}

ServerStep serverUnderflow(ServerPhases& phases)
{
    ServerStep step;
    step.underrun = phases.connection == CONNECTION_READY && phases.music == MUSIC_PLAYING;
    restartPacing(phases.pacing);
    askTiming(phases, step);
    return step;
}

ServerStep serverStarted(ServerPhases& phases)
{
    ServerStep step;
    askTiming(phases, step);
    return step;
}
