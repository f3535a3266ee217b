// The music's stream on a sound server that speaks the PulseAudio protocol (PulseAudio, or
// PipeWire's PulseAudio service). A threaded main loop feeds the stream from the decoded PCM
// and publishes what the server says is heard; the caller's thread only reads that, so
// neither thread waits on the other. The connection is one state machine: when the server goes
// away, the monotonic clock stands in for the music and a new connection is tried every second.
#include "platform/audioOutput.h"
#include "platform/audioServerConnect.h"
#include "platform/monotonicClock.h"
#include "platform/pipeWirePacing.h"

#include <pulse/pulseaudio.h>

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

// The stream asks for 500 ms of audio in all (tlength), topped up 25 ms at a time (minreq);
// the server splits it between the sink's own buffer and the stream's queue. The clock counts
// all of it and a restart drops it, so a long queue costs only a later first sound (the clock
// waits for it). What it buys: the server's main thread, which carries both the requests and
// the music between the feeder and the sink, runs at an ordinary priority and can be held up
// by other busy programs; the queue must outlast that. Measured with both cores busy (load
// average 7, other programs at nice -10): the feeder, at real-time priority, once went 184 ms
// without a request and a 200 ms queue ran dry four times in a run; at 100 ms without
// real-time priority the margin had already fallen to 14 ms. PipeWire's service grants at
// most about 314 ms of it, still more than those stalls.
constexpr std::uint32_t queueBytes = 22050 * AUDIO_BYTES_PER_FRAME;
constexpr std::uint32_t refillBytes = 1103 * AUDIO_BYTES_PER_FRAME;

// The server's own threads run at real-time priority 5 by default; the feeder sits just below.
constexpr int feederPriority = 4;

constexpr double reconnectSeconds = 1.0;
// On PipeWire, timing reports are also asked for this often, a period unrelated to the
// graph's quantum, so that some always come just before the read index moves.
constexpr pa_usec_t tickUsec = 17 * PA_USEC_PER_MSEC;

enum ServerState {
    SERVER_CONNECTING,   // the first connection and its stream are being made; the opener waits
    SERVER_PLAYING,      // the stream is ready and its timing reports are the clock
    SERVER_LOST,         // the server went away; a new connection and stream are being made, or the new
                         // stream's music is not heard yet: the monotonic clock stands in
    SERVER_WAITING       // the server went away or the last try failed; the next try waits for the timer
};

// The loop's thread only, or under the loop's lock.
struct ServerStream {
    AudioOutput* output = nullptr;
    pa_threaded_mainloop* loop = nullptr;
    pa_context* context = nullptr;
    pa_stream* stream = nullptr;
    ServerState state = SERVER_CONNECTING;
    std::string problem;   // why the first connection failed
    bool onPipeWire = false;
    bool musicStarted = false;   // a start was made: the music is to be heard
    bool stopped = false;
    bool paused = false;
    // The music is fed from startByte (then silence); not before the first start, after a stop,
    // nor on a new stream until its music is placed.
    bool feeding = false;
    // The stream's sound, in bytes of the music: where it starts, and the next byte to hand
    // over. What is heard is what was handed less what the stream and the sink still hold.
    std::uint64_t startByte = 0;
    std::uint64_t handed = 0;
    bool timingPending = false;
    bool timingAfterRefill = false;   // the report asked for last was asked after a refill since the restart
    bool priorityTried = false;
    // Flushed and not reported playing since the server's first request for the new music was
    // met: the queue is empty by design, and the underflow the server may signal for it is none.
    bool restarting = false;
    bool refilled = false;
    double sinkBytes = 0.0;    // what the sink held at the last report: how late a byte written now is heard
    PipeWirePacing pacing;
    pa_time_event* tick = nullptr;
    double retryAt = 0.0;   // SERVER_WAITING: when the next connection is tried
};

ServerStream& streamOf(AudioOutput& output) { return *static_cast<ServerStream*>(output.backendData); }

void say(ServerStream& s, const std::string& text)
{
    if (s.output->notice) s.output->notice(text);
}

bool streamReady(const ServerStream& s) { return s.stream && pa_stream_get_state(s.stream) == PA_STREAM_READY; }

void cork(ServerStream& s, bool corked)
{
    if (streamReady(s)) serverForget(pa_stream_cork(s.stream, corked ? 1 : 0, nullptr, nullptr));
}

void onTimingReply(pa_stream*, int, void* user);

// One report asked for at a time; each refill asks for the next, so reports come every 25 ms.
void requestTiming(ServerStream& s)
{
    if (s.timingPending || !streamReady(s)) return;
    pa_operation* operation = pa_stream_update_timing_info(s.stream, onTimingReply, &s);
    if (!operation) return;
    s.timingPending = true;
    s.timingAfterRefill = s.refilled;
    pa_operation_unref(operation);
}

// Real-time scheduling where the system allows it (root, or an RLIMIT_RTPRIO grant), else a
// higher nice level where RLIMIT_NICE allows; otherwise the feeder stays as it is.
void raiseFeederPriority()
{
    sched_param param{};
    param.sched_priority = feederPriority;
    if (pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0) return;
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), -11);
}

void onWrite(pa_stream* stream, std::size_t requested, void* user)
{
    ServerStream& s = *static_cast<ServerStream*>(user);
    if (!s.priorityTried && pa_threaded_mainloop_in_thread(s.loop)) {
        s.priorityTried = true;
        raiseFeederPriority();
    }
    if (stream != s.stream || !s.feeding) return;
    while (requested >= AUDIO_BYTES_PER_FRAME) {
        void* data = nullptr;
        std::size_t size = requested;
        if (pa_stream_begin_write(stream, &data, &size) < 0 || !data) break;
        size = std::min(size, requested) & ~static_cast<std::size_t>(AUDIO_BYTES_PER_FRAME - 1);
        if (size == 0) {
            pa_stream_cancel_write(stream);
            break;
        }
        s.handed = audioCopyMusic(*s.output, s.handed, static_cast<unsigned char*>(data), size);
        if (pa_stream_write(stream, data, size, nullptr, 0, PA_SEEK_RELATIVE) < 0) break;
        s.refilled = true;
        requested -= size;
    }
    requestTiming(s);
}

// Drops what the stream holds and feeds it anew from startByte: the server puts the next byte
// written where its read index stood at the flush. Reports asked for before the flush carry a
// write index the library marks corrupt, and are not read.
void restartStream(ServerStream& s, std::uint64_t startByte, bool feeding)
{
    s.startByte = s.handed = startByte;
    s.feeding = feeding;
    s.restarting = true;
    restartPacing(s.pacing);
    if (!streamReady(s)) return;
    serverForget(pa_stream_flush(s.stream, nullptr, nullptr));
    const std::size_t writable = pa_stream_writable_size(s.stream);
    if (writable != static_cast<std::size_t>(-1)) onWrite(s.stream, writable, &s);
    // What was writable before the flush went with it; the server asks for the new music next.
    s.refilled = false;
    cork(s, s.paused || !feeding);
    s.timingPending = false;
    requestTiming(s);
}

// A new stream after the server came back: the music goes on from where the monotonic clock
// will be when what is written now is heard, once the sink has played what it holds; the clock
// runs on the monotonic clock until then.
void placeMusic(ServerStream& s)
{
    if (!streamReady(s) || !s.musicStarted || s.stopped) return;
    const bool first = !s.feeding;
    const double heardThen = audioHeardAt(*s.output, platformMonotonicSeconds()) + (s.paused ? 0.0 : s.sinkBytes);
    const std::uint64_t resumeByte = static_cast<std::uint64_t>(std::max(0.0, heardThen)) & ~static_cast<std::uint64_t>(AUDIO_BYTES_PER_FRAME - 1);
    restartStream(s, resumeByte, true);
    if (first) say(s, "the sound server is back; the music goes on from " + audioMusicTime(static_cast<double>(resumeByte)));
}

// The server's last timing report, as it stands: at its timestamp the sink was about to take
// the byte at read_index from the stream and held sink_usec of audio not yet played; the
// stream held write_index - read_index, all of it handed over by us. So what was heard then
// is what was handed less both. On PipeWire the read index moves a quantum at a time, ahead
// of what is heard between moves (pipeWirePacing.h). The library's own interpolation is not
// used: it runs ahead of the server while a stream starts.
void publishTiming(ServerStream& s)
{
    if (!streamReady(s) || (!s.feeding && s.state != SERVER_LOST)) return;
    const pa_timing_info* timing = pa_stream_get_timing_info(s.stream);
    if (!timing) return;
    if (timing->read_index_corrupt || timing->write_index_corrupt) {
        requestTiming(s);
        return;
    }
    AudioOutput& output = *s.output;
    const double seconds = serverMonotonicSeconds(timing->timestamp);
    const bool playing = timing->playing != 0 && !s.paused;
    double readIndex = static_cast<double>(timing->read_index);
    if (s.onPipeWire && playing) {
        readIndex = pacedReadIndex(s.pacing, static_cast<std::uint64_t>(timing->read_index), seconds);
        output.dropouts.store(s.pacing.dropouts, std::memory_order_relaxed);
        output.droppedSeconds.store(s.pacing.droppedBytes / AUDIO_BYTES_PER_SECOND, std::memory_order_relaxed);
    } else {
        // Stopped, the read index stands at the end of the last quantum taken, heard in full
        // by now or soon: that is where the music stops.
        stopPacing(s.pacing, static_cast<std::uint64_t>(timing->read_index));
    }
    const double sinkBytes = static_cast<double>(timing->sink_usec) * AUDIO_BYTES_PER_SECOND / 1e6;
    s.sinkBytes = sinkBytes;
    const double heard = static_cast<double>(s.handed) - static_cast<double>(timing->write_index) + readIndex - sinkBytes;
    if (s.state == SERVER_LOST) {
        if (!s.feeding) {
            placeMusic(s);
            return;
        }
        // The music placed is heard: its reports are the clock from now on.
        if (!playing || heard < static_cast<double>(s.startByte)) return;
        s.state = SERVER_PLAYING;
        audioEndSilence(output, seconds);
    }
    if (s.state != SERVER_PLAYING || !s.feeding) return;
    if (playing && s.timingAfterRefill) s.restarting = false;
    AudioReport report;
    report.heardBytes = std::max(0.0, heard);
    report.monotonicSeconds = seconds;
    report.playing = timing->playing != 0;
    report.handedBytes = s.handed;
    output.report.publish(report);
}

void onTimingReply(pa_stream*, int, void* user)
{
    ServerStream& s = *static_cast<ServerStream*>(user);
    s.timingPending = false;
    publishTiming(s);
}

// Playback has begun or stalled: the clock should know at once.
void onStarted(pa_stream*, void* user) { requestTiming(*static_cast<ServerStream*>(user)); }

void onUnderflow(pa_stream*, void* user)
{
    ServerStream& s = *static_cast<ServerStream*>(user);
    if (s.state == SERVER_PLAYING && s.feeding && !s.restarting)
        s.output->underruns.fetch_add(1, std::memory_order_relaxed);
    restartPacing(s.pacing);
    requestTiming(s);
}

void dropConnection(ServerStream& s)
{
    if (s.stream) {
        pa_stream_set_state_callback(s.stream, nullptr, nullptr);
        pa_stream_set_write_callback(s.stream, nullptr, nullptr);
        pa_stream_set_started_callback(s.stream, nullptr, nullptr);
        pa_stream_set_underflow_callback(s.stream, nullptr, nullptr);
        pa_stream_disconnect(s.stream);
        pa_stream_unref(s.stream);
        s.stream = nullptr;
    }
    if (s.context) {
        pa_context_set_state_callback(s.context, nullptr, nullptr);
        pa_context_disconnect(s.context);
        pa_context_unref(s.context);
        s.context = nullptr;
    }
    s.timingPending = false;
    s.feeding = false;
    restartPacing(s.pacing);
}

void connect(ServerStream& s);

// One timer for the output's own pace: timing reports asked for on PipeWire, and a new
// connection tried when the wait is over (the dead one dropped then, outside its callbacks).
void onTick(pa_mainloop_api* api, pa_time_event* event, const struct timeval*, void* user)
{
    ServerStream& s = *static_cast<ServerStream*>(user);
    if (s.onPipeWire && s.feeding) requestTiming(s);
    if (s.state == SERVER_WAITING && !s.stopped && platformMonotonicSeconds() >= s.retryAt) {
        dropConnection(s);
        s.state = SERVER_LOST;
        connect(s);
    }
    timeval next{};
    pa_gettimeofday(&next);
    pa_timeval_add(&next, tickUsec);
    api->time_restart(event, &next);
}

void waitToReconnect(ServerStream& s)
{
    if (s.state != SERVER_WAITING) s.retryAt = platformMonotonicSeconds() + reconnectSeconds;
    s.state = SERVER_WAITING;
}

// The context or the stream failed. On the first connection the opener hears why; mid-run the
// music goes on on the monotonic clock from where it was heard, the user is told once, and a
// new connection is tried every second.
void connectionFailed(ServerStream& s, const std::string& problem)
{
    switch (s.state) {
    case SERVER_CONNECTING: s.problem = problem; break;
    case SERVER_PLAYING: {
        const double now = platformMonotonicSeconds();
        const bool music = s.musicStarted && !s.stopped;
        const double heard = music ? audioHeardAt(*s.output, now) : 0.0;
        if (music) {
            audioPublishWallClock(*s.output, heard, now, !s.paused);
            s.output->silentSince.store(now, std::memory_order_relaxed);
        }
        say(s, "the sound server went away at " + audioMusicTime(heard) +
                   " of the music; the demo goes on silent on the wall clock and tries to reconnect every second");
        waitToReconnect(s);
        break;
    }
    case SERVER_LOST:
    case SERVER_WAITING: waitToReconnect(s); break;
    }
}

void onStreamState(pa_stream* stream, void* user)
{
    ServerStream& s = *static_cast<ServerStream*>(user);
    const pa_stream_state_t state = pa_stream_get_state(stream);
    if (state == PA_STREAM_READY) {
        if (s.state == SERVER_CONNECTING) {
            // Corked and unfed: nothing plays and the server's clock stands until the first start.
            s.state = SERVER_PLAYING;
        } else if (s.state == SERVER_LOST) {
            // Its first report says how much the sink holds: then the music is placed.
            requestTiming(s);
        }
    } else if (!PA_STREAM_IS_GOOD(state)) {
        connectionFailed(s, "pa_stream_connect_playback: " + serverError(s.context));
    }
    pa_threaded_mainloop_signal(s.loop, 0);
}

void onServerInfo(pa_context*, const pa_server_info* info, void* user)
{
    ServerStream& s = *static_cast<ServerStream*>(user);
    s.onPipeWire = info && info->server_name && std::strstr(info->server_name, "PipeWire");
}

// A corked stream; its server's name is asked first, so it is known when the stream is ready.
bool openStream(ServerStream& s)
{
    serverForget(pa_context_get_server_info(s.context, onServerInfo, &s));
    const pa_sample_spec sampleFormat{PA_SAMPLE_S16LE, AUDIO_SAMPLE_RATE, 2};
    s.stream = pa_stream_new(s.context, "music", &sampleFormat, nullptr);
    if (!s.stream) return false;
    pa_stream_set_state_callback(s.stream, onStreamState, &s);
    pa_stream_set_write_callback(s.stream, onWrite, &s);
    pa_stream_set_started_callback(s.stream, onStarted, &s);
    pa_stream_set_underflow_callback(s.stream, onUnderflow, &s);
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.tlength = queueBytes;
    attr.prebuf = static_cast<std::uint32_t>(-1);
    attr.minreq = refillBytes;
    attr.fragsize = static_cast<std::uint32_t>(-1);
    const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_START_CORKED | PA_STREAM_ADJUST_LATENCY);
    return pa_stream_connect_playback(s.stream, nullptr, &attr, flags, nullptr, nullptr) >= 0;
}

void onContextState(pa_context* context, void* user)
{
    ServerStream& s = *static_cast<ServerStream*>(user);
    const pa_context_state_t state = pa_context_get_state(context);
    if (state == PA_CONTEXT_READY && !s.stream) {
        if (!openStream(s)) connectionFailed(s, "pa_stream_connect_playback: " + serverError(context));
    } else if (!PA_CONTEXT_IS_GOOD(state)) {
        connectionFailed(s, "pa_context_connect: " + serverError(context));
    }
    pa_threaded_mainloop_signal(s.loop, 0);
}

// The one way a connection is made, the first and every later one.
void connect(ServerStream& s)
{
    std::string problem;
    s.context = serverConnectStart(s.loop, nullptr, onContextState, &s, problem);
    if (!s.context) connectionFailed(s, problem);
}

void releaseServer(ServerStream* s)
{
    if (s->loop) {
        pa_threaded_mainloop_lock(s->loop);
        s->stopped = true;
        if (s->tick) pa_threaded_mainloop_get_api(s->loop)->time_free(s->tick);
        dropConnection(*s);
        pa_threaded_mainloop_unlock(s->loop);
        pa_threaded_mainloop_stop(s->loop);
        pa_threaded_mainloop_free(s->loop);
    }
    delete s;
}

// SDL_AUDIODRIVER unset, or naming PulseAudio: the music goes to the sound server through its
// own library, which reports how much it still holds; SDL's backend for it does not.
bool serverWanted()
{
    const char* driver = std::getenv("SDL_AUDIODRIVER");
    return !driver || !*driver || std::strcmp(driver, "pulseaudio") == 0 || std::strcmp(driver, "pulse") == 0;
}

bool openServer(AudioOutput& output, std::string& problem)
{
    ServerStream* s = new ServerStream;
    s->output = &output;
    s->loop = serverLoopStart(problem);
    if (!s->loop) {
        problem = "no sound server: " + problem;
        releaseServer(s);
        return false;
    }
    pa_threaded_mainloop_lock(s->loop);
    connect(*s);
    const bool answered = serverWaitUntil(s->loop, [s] { return s->state != SERVER_CONNECTING || !s->problem.empty(); });
    const bool ready = answered && s->state == SERVER_PLAYING;
    if (ready) {
        pa_mainloop_api* api = pa_threaded_mainloop_get_api(s->loop);
        timeval next{};
        pa_gettimeofday(&next);
        s->tick = api->time_new(api, &next, onTick, s);
    } else {
        problem = "no sound server: " + (answered ? s->problem : std::string("the server did not answer within 3 s"));
    }
    pa_threaded_mainloop_unlock(s->loop);
    if (!ready) {
        releaseServer(s);
        return false;
    }
    output.backendData = s;
    return true;
}

void startServer(AudioOutput& output, std::uint64_t startByte)
{
    ServerStream& s = streamOf(output);
    pa_threaded_mainloop_lock(s.loop);
    s.stopped = false;
    s.musicStarted = true;
    s.paused = output.paused;
    if (s.state == SERVER_PLAYING) {
        restartStream(s, startByte, true);
    } else {
        // No server plays: the clock moves there, and the music goes on from the clock once a
        // new stream is ready.
        const double now = platformMonotonicSeconds();
        audioPublishWallClock(output, static_cast<double>(startByte), now, !s.paused);
        double expected = -1.0;
        output.silentSince.compare_exchange_strong(expected, now, std::memory_order_relaxed);
        if (s.state == SERVER_LOST) placeMusic(s);
    }
    pa_threaded_mainloop_unlock(s.loop);
}

void pauseServer(AudioOutput& output, bool paused)
{
    ServerStream& s = streamOf(output);
    pa_threaded_mainloop_lock(s.loop);
    s.paused = paused;
    if (s.state == SERVER_LOST || s.state == SERVER_WAITING) {
        audioPublishWallClock(output, static_cast<double>(output.lastPosition), platformMonotonicSeconds(), !paused);
    }
    if (s.state == SERVER_LOST && s.feeding && !paused) {
        // The clock stood meanwhile: the music is placed anew.
        placeMusic(s);
    } else if (s.feeding) {
        cork(s, paused);
        requestTiming(s);
    }
    pa_threaded_mainloop_unlock(s.loop);
}

void stopServer(AudioOutput& output)
{
    ServerStream& s = streamOf(output);
    pa_threaded_mainloop_lock(s.loop);
    s.stopped = true;
    restartStream(s, s.handed, false);
    audioEndSilence(output, platformMonotonicSeconds());
    pa_threaded_mainloop_unlock(s.loop);
}

void closeServer(AudioOutput& output)
{
    releaseServer(&streamOf(output));
    output.backendData = nullptr;
}

} // namespace

const AudioBackend serverBackend = {"sound server", serverWanted, openServer, startServer, pauseServer, stopServer, closeServer, 0.0};
