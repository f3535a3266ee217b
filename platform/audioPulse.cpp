#include "platform/audioPulse.h"

#include "platform/audioReport.h"

#include <pulse/pulseaudio.h>

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>

namespace {

constexpr double bytesPerSecond = 176400.0;
constexpr std::uint32_t bytesPerFrame = 4;

// The stream asks for 500 ms of audio in all (tlength), topped up 25 ms at a time (minreq);
// the server splits it between the sink's own buffer and the stream's queue. The clock counts
// all of it and a stop drops it, so a long queue costs only a later first sound (the clock
// waits for it). What it buys: the server's main thread, which carries both the requests and
// the music between the feeder and the sink, runs at an ordinary priority and can be held up
// by other busy programs; the queue must outlast that. Measured with both cores busy (load
// average 7, other programs at nice -10): the feeder, at real-time priority, once went 184 ms
// without a request and a 200 ms queue ran dry four times in a run; at 100 ms without
// real-time priority the margin had already fallen to 14 ms. PipeWire's service grants at
// most about 314 ms of it, still more than those stalls.
constexpr std::uint32_t queueBytes = 22050 * bytesPerFrame;
constexpr std::uint32_t refillBytes = 1103 * bytesPerFrame;

// The server's own threads run at real-time priority 5 by default; the feeder sits just below.
constexpr int feederPriority = 4;

// After the server goes away, a new connection is tried this often.
constexpr pa_usec_t reconnectIntervalUsec = PA_USEC_PER_SEC;

// PipeWire's service moves the stream's read index a whole processing quantum at a time, as
// the graph takes the quantum to play it: between two moves the read index stands a part of
// a quantum ahead of what is heard, and just before a move exactly at it. Over the reports of
// the last paceWindowSeconds, the read index's lowest stand against the nominal rate is what
// is heard. Reports are also asked for every reportIntervalUsec, a period unrelated to the
// quantum's, so that some always come just before a move.
constexpr double paceWindowSeconds = 2.0;
constexpr pa_usec_t reportIntervalUsec = 17 * PA_USEC_PER_MSEC;
// A read index that falls this far below its lowest stand has missed a graph cycle: the
// service skipped the stream without saying so, and the music stopped for that long. Only
// checked once the reports have had this long to find the lowest stand.
constexpr double dropoutMarginBytes = 0.0015 * bytesPerSecond;
constexpr double paceSettleSeconds = 1.0;

} // namespace

struct PulseOutput {
    pa_threaded_mainloop* loop = nullptr;
    pa_context* context = nullptr;
    pa_stream* stream = nullptr;
    PulseNotice notice;   // called on the loop's thread

    // The loop's thread only, or under the loop's lock.
    const std::vector<std::int16_t>* pcm = nullptr;
    std::uint64_t startByte = 0;   // where in the music the stream began
    std::uint64_t handed = 0;      // bytes of the music handed over, counted from its start
    bool playRequested = false;   // nothing is fed before pulsePlay
    bool stopped = false;
    bool paused = false;
    bool priorityTried = false;
    bool timingPending = false;
    bool onPipeWire = false;       // PipeWire's PulseAudio service, which needs the quantum counted

    // PipeWire: the read index less the nominal rate's bytes at the recent reports while
    // playing, (seconds, bytes), and when playing last began.
    std::deque<std::pair<double, double>> paces;
    double playingSince = -1.0;
    bool lowPace = false;             // the last report stood below the lowest stand
    pa_time_event* reportTimer = nullptr;

    // The server gone: the clock goes on from where the music was, at the nominal rate, and a
    // new connection is tried every second.
    bool lost = false;
    bool reconnecting = false;     // a new context is connecting or a new stream starting
    pa_time_event* retryTimer = nullptr;
    double lostSince = 0.0;
    double sinkLatencyBytes = 0.0;   // the last sink latency the server gave, in bytes

    AudioReportSlot report;   // written by the loop's thread only
    std::atomic<std::uint32_t> underruns{0};
    std::atomic<std::uint32_t> dropouts{0};
    std::atomic<double> droppedSeconds{0.0};
    std::atomic<double> silentSeconds{0.0};
};

namespace {

void say(PulseOutput* output, const std::string& text)
{
    if (output->notice) output->notice(text);
}

std::string musicTime(double bytes)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f s", bytes / bytesPerSecond);
    return text;
}

// Where the music stands now by the last report, at the nominal rate while it plays.
double positionNow(const PulseOutput* output, double now)
{
    const AudioReport report = output->report.last();
    return report.playing ? report.heardBytes + (now - report.monotonicSeconds) * bytesPerSecond : report.heardBytes;
}

// The clock, while no server plays the music: on from `heard` at the nominal rate unless
// paused, as if the music were heard.
void publishWallClock(PulseOutput* output, double heard, double now)
{
    AudioReport report;
    report.heardBytes = heard;
    report.monotonicSeconds = now;
    report.playing = !output->paused;
    report.handedBytes = UINT64_MAX;
    output->report.publish(report);
}

// What is heard on PipeWire, in bytes of the stream, at `seconds`: the read index's lowest
// stand against the nominal rate over the recent reports. Counts a dropout when the read
// index falls below that stand, once it has settled.
double pipeWireHeard(PulseOutput* output, std::uint64_t readIndex, double seconds)
{
    const double pace = static_cast<double>(readIndex) - seconds * bytesPerSecond;
    while (!output->paces.empty() && output->paces.front().first < seconds - paceWindowSeconds) output->paces.pop_front();
    double lowest = pace;
    for (const auto& entry : output->paces) lowest = std::min(lowest, entry.second);
    if (!output->paces.empty() && pace < lowest - dropoutMarginBytes && seconds - output->playingSince > paceSettleSeconds) {
        // One report so low may be one answered late; two in a row are a read index that
        // fell behind for good.
        if (!output->lowPace) {
            output->lowPace = true;
            return lowest + seconds * bytesPerSecond;
        }
        output->dropouts.fetch_add(1, std::memory_order_relaxed);
        output->droppedSeconds.store(output->droppedSeconds.load(std::memory_order_relaxed) + (lowest - pace) / bytesPerSecond,
                                     std::memory_order_relaxed);
        // The stand before the dropout no longer holds.
        output->paces.clear();
        lowest = pace;
    }
    output->lowPace = false;
    output->paces.emplace_back(seconds, pace);
    return lowest + seconds * bytesPerSecond;
}

// The server's last timing report, as it stands: at its timestamp the sink was about to take
// the byte at read_index from the stream and held sink_usec of audio not yet played, so the
// sample leaving it then was read_index less that. Everything queued in the stream and the
// sink is counted. On PipeWire the read index moves a quantum at a time, ahead of what is
// heard between moves (pipeWireHeard). The library's own interpolation is not used: it runs
// ahead of the server while a stream starts.
void publishTiming(PulseOutput* output)
{
    if (!output->stream || output->stopped) return;
    const pa_timing_info* timing = pa_stream_get_timing_info(output->stream);
    if (!timing || timing->read_index_corrupt || timing->read_index < 0) return;
    const std::uint64_t readIndex = static_cast<std::uint64_t>(timing->read_index);
    const double seconds = pulseMonotonicSeconds(timing->timestamp);
    const bool playing = timing->playing != 0 && !output->paused;
    output->sinkLatencyBytes = static_cast<double>(timing->sink_usec) * bytesPerSecond / 1e6;
    // A stream started after the server came back takes over the clock only once it plays:
    // until then the clock goes on from where the music was.
    if (output->reconnecting && !playing) return;
    double streamHeard = static_cast<double>(readIndex);
    if (output->onPipeWire && playing) {
        if (output->playingSince < 0.0) output->playingSince = seconds;
        streamHeard = pipeWireHeard(output, readIndex, seconds);
    } else {
        // Stopped, the read index stands at the end of the last quantum taken, heard in full
        // by now or soon: that is where the music stops.
        output->paces.clear();
        output->playingSince = -1.0;
    }
    AudioReport report;
    report.heardBytes = std::max(0.0, static_cast<double>(output->startByte) + streamHeard - output->sinkLatencyBytes);
    report.monotonicSeconds = seconds;
    report.playing = timing->playing != 0;
    report.handedBytes = output->handed;
    if (output->reconnecting) {
        output->reconnecting = false;
        output->silentSeconds.store(output->silentSeconds.load(std::memory_order_relaxed) + seconds - output->lostSince,
                                    std::memory_order_relaxed);
        say(output, "the sound server is back; the music goes on from " + musicTime(report.heardBytes));
    }
    output->report.publish(report);
}

void requestTiming(PulseOutput* output);

void onReportTimer(pa_mainloop_api* api, pa_time_event* event, const struct timeval*, void* user)
{
    PulseOutput* output = static_cast<PulseOutput*>(user);
    if (output->playRequested && !output->stopped && output->onPipeWire) requestTiming(output);
    timeval next{};
    pa_gettimeofday(&next);
    pa_timeval_add(&next, reportIntervalUsec);
    api->time_restart(event, &next);
}

void startReportTimer(PulseOutput* output)
{
    if (output->reportTimer) return;
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(output->loop);
    timeval next{};
    pa_gettimeofday(&next);
    pa_timeval_add(&next, reportIntervalUsec);
    output->reportTimer = api->time_new(api, &next, onReportTimer, output);
}

void onTimingReply(pa_stream*, int, void* user)
{
    PulseOutput* output = static_cast<PulseOutput*>(user);
    output->timingPending = false;
    publishTiming(output);
}

// One report asked for at a time; each refill asks for the next, so reports come every 25 ms.
void requestTiming(PulseOutput* output)
{
    if (output->timingPending || !output->stream || pa_stream_get_state(output->stream) != PA_STREAM_READY) return;
    pa_operation* operation = pa_stream_update_timing_info(output->stream, onTimingReply, output);
    if (!operation) return;
    output->timingPending = true;
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

void feed(PulseOutput* output, unsigned char* data, std::size_t size)
{
    std::size_t music = 0;
    if (output->pcm) {
        const std::uint64_t total = output->pcm->size() * sizeof(std::int16_t);
        if (output->handed < total) {
            music = static_cast<std::size_t>(std::min<std::uint64_t>(size, total - output->handed));
            std::memcpy(data, reinterpret_cast<const unsigned char*>(output->pcm->data()) + output->handed, music);
        }
    }
    std::memset(data + music, 0, size - music);
    output->handed += size;
}

void onWrite(pa_stream* stream, std::size_t requested, void* user)
{
    PulseOutput* output = static_cast<PulseOutput*>(user);
    if (!output->priorityTried && pa_threaded_mainloop_in_thread(output->loop)) {
        output->priorityTried = true;
        raiseFeederPriority();
    }
    if (!output->playRequested || stream != output->stream) return;
    while (requested >= bytesPerFrame && !output->stopped) {
        void* data = nullptr;
        std::size_t size = requested;
        if (pa_stream_begin_write(stream, &data, &size) < 0 || !data) break;
        size = std::min(size, requested) & ~static_cast<std::size_t>(bytesPerFrame - 1);
        if (size == 0) {
            pa_stream_cancel_write(stream);
            break;
        }
        feed(output, static_cast<unsigned char*>(data), size);
        if (pa_stream_write(stream, data, size, nullptr, 0, PA_SEEK_RELATIVE) < 0) break;
        requested -= size;
    }
    requestTiming(output);
}

// Playback has begun or stalled: the clock should know at once.
void onStarted(pa_stream*, void* user) { requestTiming(static_cast<PulseOutput*>(user)); }

void onUnderflow(pa_stream*, void* user)
{
    PulseOutput* output = static_cast<PulseOutput*>(user);
    if (!output->stopped) output->underruns.fetch_add(1, std::memory_order_relaxed);
    output->paces.clear();
    output->playingSince = -1.0;
    requestTiming(output);
}

void scheduleReconnect(PulseOutput* output);

// The server dropped the stream or the connection mid-run (it quit, or was restarted): the
// clock goes on from where the music was, at the nominal rate, the user is told once, and a
// new connection is tried every second.
void loseServer(PulseOutput* output)
{
    if (output->stopped || !output->playRequested || output->lost) return;
    const double now = audioMonotonicSeconds();
    const double heard = positionNow(output, now);
    publishWallClock(output, heard, now);
    output->lost = true;
    output->reconnecting = false;
    output->lostSince = now;
    say(output, "the sound server went away at " + musicTime(heard) +
                    " of the music; the demo goes on silent on the wall clock and tries to reconnect every second");
    scheduleReconnect(output);
}

void dropConnection(PulseOutput* output)
{
    if (output->stream) {
        pa_stream_set_state_callback(output->stream, nullptr, nullptr);
        pa_stream_set_write_callback(output->stream, nullptr, nullptr);
        pa_stream_set_started_callback(output->stream, nullptr, nullptr);
        pa_stream_set_underflow_callback(output->stream, nullptr, nullptr);
        pa_stream_disconnect(output->stream);
        pa_stream_unref(output->stream);
        output->stream = nullptr;
    }
    if (output->context) {
        pa_context_set_state_callback(output->context, nullptr, nullptr);
        pa_context_disconnect(output->context);
        pa_context_unref(output->context);
        output->context = nullptr;
    }
    output->timingPending = false;
    output->paces.clear();
    output->playingSince = -1.0;
}

void onStreamState(pa_stream* stream, void* user)
{
    PulseOutput* output = static_cast<PulseOutput*>(user);
    const pa_stream_state_t state = pa_stream_get_state(stream);
    if (!PA_STREAM_IS_GOOD(state)) loseServer(output);
    pa_threaded_mainloop_signal(output->loop, 0);
}

std::string contextError(pa_context* context) { return pa_strerror(pa_context_errno(context)); }

pa_stream* newStream(PulseOutput* output, pa_stream_flags_t flags)
{
    const pa_sample_spec sampleFormat{PA_SAMPLE_S16LE, 44100, 2};
    pa_stream* stream = pa_stream_new(output->context, "music", &sampleFormat, nullptr);
    if (!stream) return nullptr;
    pa_stream_set_state_callback(stream, onStreamState, output);
    pa_stream_set_write_callback(stream, onWrite, output);
    pa_stream_set_started_callback(stream, onStarted, output);
    pa_stream_set_underflow_callback(stream, onUnderflow, output);
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.tlength = queueBytes;
    attr.prebuf = static_cast<std::uint32_t>(-1);
    attr.minreq = refillBytes;
    attr.fragsize = static_cast<std::uint32_t>(-1);
    if (pa_stream_connect_playback(stream, nullptr, &attr, static_cast<pa_stream_flags_t>(flags | PA_STREAM_ADJUST_LATENCY),
                                   nullptr, nullptr) < 0) {
        pa_stream_unref(stream);
        return nullptr;
    }
    return stream;
}

void onServerInfo(pa_context*, const pa_server_info* info, void* user)
{
    PulseOutput* output = static_cast<PulseOutput*>(user);
    output->onPipeWire = info && info->server_name && std::strstr(info->server_name, "PipeWire");
    pa_threaded_mainloop_signal(output->loop, 0);
}

void askServerName(PulseOutput* output)
{
    pa_operation* operation = pa_context_get_server_info(output->context, onServerInfo, output);
    if (operation) pa_operation_unref(operation);
}

// A new stream after the server came back: it starts where the picture will be once its
// first sound leaves the sink, and takes over the clock when it plays.
void onReconnectedStreamState(pa_stream* stream, void* user)
{
    PulseOutput* output = static_cast<PulseOutput*>(user);
    const pa_stream_state_t state = pa_stream_get_state(stream);
    if (state == PA_STREAM_READY && output->reconnecting) {
        pa_stream_set_state_callback(stream, onStreamState, output);
        const double start = positionNow(output, audioMonotonicSeconds()) + output->sinkLatencyBytes;
        output->startByte = static_cast<std::uint64_t>(std::max(0.0, start)) & ~static_cast<std::uint64_t>(bytesPerFrame - 1);
        output->handed = output->startByte;
        const std::size_t writable = pa_stream_writable_size(stream);
        if (writable != static_cast<std::size_t>(-1)) onWrite(stream, writable, output);
        if (!output->paused) {
            pa_operation* operation = pa_stream_cork(stream, 0, nullptr, nullptr);
            if (operation) pa_operation_unref(operation);
        }
        requestTiming(output);
    } else if (!PA_STREAM_IS_GOOD(state)) {
        output->reconnecting = false;
        scheduleReconnect(output);
    }
}

void onReconnectedContextState(pa_context* context, void* user)
{
    PulseOutput* output = static_cast<PulseOutput*>(user);
    const pa_context_state_t state = pa_context_get_state(context);
    if (state == PA_CONTEXT_READY) {
        askServerName(output);
        output->stream = newStream(output, PA_STREAM_START_CORKED);
        if (!output->stream) {
            output->reconnecting = false;
            scheduleReconnect(output);
            return;
        }
        pa_stream_set_state_callback(output->stream, onReconnectedStreamState, output);
        output->lost = false;
    } else if (!PA_CONTEXT_IS_GOOD(state)) {
        if (output->reconnecting && !output->stream) {
            output->reconnecting = false;
            scheduleReconnect(output);
        } else {
            loseServer(output);
        }
    }
}

void tryReconnect(pa_mainloop_api* api, pa_time_event* event, const struct timeval*, void* user)
{
    PulseOutput* output = static_cast<PulseOutput*>(user);
    api->time_free(event);
    output->retryTimer = nullptr;
    if (output->stopped) return;
    dropConnection(output);
    output->reconnecting = true;
    output->context = pa_context_new(pa_threaded_mainloop_get_api(output->loop), "Kesu Tamrick");
    if (!output->context) {
        output->reconnecting = false;
        scheduleReconnect(output);
        return;
    }
    pa_context_set_state_callback(output->context, onReconnectedContextState, output);
    if (pa_context_connect(output->context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        output->reconnecting = false;
        scheduleReconnect(output);
    }
}

void scheduleReconnect(PulseOutput* output)
{
    if (output->retryTimer || output->stopped) return;
    output->lost = true;
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(output->loop);
    timeval when{};
    pa_gettimeofday(&when);
    pa_timeval_add(&when, reconnectIntervalUsec);
    output->retryTimer = api->time_new(api, &when, tryReconnect, output);
}

// The first connection's context: failing later loses the server.
void onContextState(pa_context* context, void* user)
{
    PulseOutput* output = static_cast<PulseOutput*>(user);
    if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context))) loseServer(output);
    pa_threaded_mainloop_signal(output->loop, 0);
}

// The stream starts corked and unfed: nothing plays and the server's clock stays at 0 until
// pulsePlay.
bool connectStream(PulseOutput* output, std::string& message)
{
    output->stream = newStream(output, PA_STREAM_START_CORKED);
    if (!output->stream) {
        message = "pa_stream_connect_playback: " + contextError(output->context);
        return false;
    }
    for (;;) {
        const pa_stream_state_t state = pa_stream_get_state(output->stream);
        if (state == PA_STREAM_READY) return true;
        if (!PA_STREAM_IS_GOOD(state)) {
            message = "pa_stream_connect_playback: " + contextError(output->context);
            return false;
        }
        pa_threaded_mainloop_wait(output->loop);
    }
}

// The connection to a server that accepts the socket but never answers gives up after this.
constexpr pa_usec_t connectTimeoutUsec = 3 * PA_USEC_PER_SEC;

void onConnectingState(pa_context*, void* loop) { pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(loop), 0); }

struct ConnectWait {
    pa_threaded_mainloop* loop;
    bool timedOut;
};

void onConnectTimeout(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* user)
{
    ConnectWait* wait = static_cast<ConnectWait*>(user);
    wait->timedOut = true;
    pa_threaded_mainloop_signal(wait->loop, 0);
}

} // namespace

pa_context* pulseConnect(pa_threaded_mainloop* loop, const char* server, std::string& message)
{
    pa_context* context = pa_context_new(pa_threaded_mainloop_get_api(loop), "Kesu Tamrick");
    if (!context) {
        message = "pa_context_new failed";
        return nullptr;
    }
    pa_context_set_state_callback(context, onConnectingState, loop);
    if (pa_context_connect(context, server, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        message = std::string("pa_context_connect: ") + pa_strerror(pa_context_errno(context));
        pa_context_unref(context);
        return nullptr;
    }
    ConnectWait wait{loop, false};
    pa_time_event* timeout = pa_context_rttime_new(context, pa_rtclock_now() + connectTimeoutUsec, onConnectTimeout, &wait);
    bool ready = false;
    for (;;) {
        const pa_context_state_t state = pa_context_get_state(context);
        if (state == PA_CONTEXT_READY) {
            ready = true;
            break;
        }
        if (!PA_CONTEXT_IS_GOOD(state)) {
            message = std::string("pa_context_connect: ") + pa_strerror(pa_context_errno(context));
            break;
        }
        if (wait.timedOut) {
            message = "pa_context_connect: the server did not answer within 3 s";
            break;
        }
        pa_threaded_mainloop_wait(loop);
    }
    if (timeout) pa_threaded_mainloop_get_api(loop)->time_free(timeout);
    if (ready) return context;
    pa_context_disconnect(context);
    pa_context_unref(context);
    return nullptr;
}

double pulseMonotonicSeconds(const struct timeval& timestamp)
{
    timespec real{}, monotonic{};
    clock_gettime(CLOCK_REALTIME, &real);
    clock_gettime(CLOCK_MONOTONIC, &monotonic);
    const double realToMonotonic = static_cast<double>(monotonic.tv_sec - real.tv_sec) +
                                   static_cast<double>(monotonic.tv_nsec - real.tv_nsec) * 1e-9;
    return static_cast<double>(timestamp.tv_sec) + static_cast<double>(timestamp.tv_usec) * 1e-6 + realToMonotonic;
}

PulseOutput* pulseOpen(std::string& message, PulseNotice notice)
{
    PulseOutput* output = new PulseOutput;
    output->notice = std::move(notice);
    output->loop = pa_threaded_mainloop_new();
    if (!output->loop) {
        message = "pa_threaded_mainloop_new failed";
        delete output;
        return nullptr;
    }
    if (pa_threaded_mainloop_start(output->loop) < 0) {
        message = "pa_threaded_mainloop_start failed";
        pa_threaded_mainloop_free(output->loop);
        delete output;
        return nullptr;
    }
    pa_threaded_mainloop_lock(output->loop);
    output->context = pulseConnect(output->loop, nullptr, message);
    bool ready = output->context != nullptr;
    if (ready) {
        pa_context_set_state_callback(output->context, onContextState, output);
        pa_operation* operation = pa_context_get_server_info(output->context, onServerInfo, output);
        while (operation && pa_operation_get_state(operation) == PA_OPERATION_RUNNING) pa_threaded_mainloop_wait(output->loop);
        if (operation) pa_operation_unref(operation);
        ready = connectStream(output, message);
    }
    if (ready) startReportTimer(output);
    pa_threaded_mainloop_unlock(output->loop);
    if (!ready) {
        pulseClose(output);
        return nullptr;
    }
    return output;
}

void pulsePlay(PulseOutput* output, const std::vector<std::int16_t>* pcm, std::uint32_t startByte)
{
    pa_threaded_mainloop_lock(output->loop);
    output->pcm = pcm;
    output->startByte = startByte;
    output->handed = startByte;
    output->playRequested = true;
    if (output->stream && pa_stream_get_state(output->stream) == PA_STREAM_READY) {
        const std::size_t writable = pa_stream_writable_size(output->stream);
        if (writable != static_cast<std::size_t>(-1)) onWrite(output->stream, writable, output);
        pa_operation* operation = pa_stream_cork(output->stream, 0, nullptr, nullptr);
        if (operation) pa_operation_unref(operation);
    }
    pa_threaded_mainloop_unlock(output->loop);
}

void pulsePause(PulseOutput* output, bool paused)
{
    pa_threaded_mainloop_lock(output->loop);
    const double now = audioMonotonicSeconds();
    const double heard = positionNow(output, now);
    output->paused = paused;
    if (output->lost || output->reconnecting) {
        // No server plays: the wall clock holds and goes on from the same place.
        publishWallClock(output, heard, now);
    } else if (output->stream && pa_stream_get_state(output->stream) == PA_STREAM_READY) {
        pa_operation* operation = pa_stream_cork(output->stream, paused ? 1 : 0, nullptr, nullptr);
        if (operation) pa_operation_unref(operation);
        requestTiming(output);
    }
    pa_threaded_mainloop_unlock(output->loop);
}

const AudioReportSlot& pulseReport(const PulseOutput* output) { return output->report; }

PulseCounts pulseCounts(const PulseOutput* output)
{
    PulseCounts counts;
    counts.underruns = output->underruns.load(std::memory_order_relaxed);
    counts.dropouts = output->dropouts.load(std::memory_order_relaxed);
    counts.droppedSeconds = output->droppedSeconds.load(std::memory_order_relaxed);
    counts.silentSeconds = output->silentSeconds.load(std::memory_order_relaxed);
    if (output->lost || output->reconnecting) counts.silentSeconds += audioMonotonicSeconds() - output->lostSince;
    return counts;
}

void pulseStop(PulseOutput* output)
{
    pa_threaded_mainloop_lock(output->loop);
    output->stopped = true;
    if (output->stream && pa_stream_get_state(output->stream) == PA_STREAM_READY) {
        pa_operation* operation = pa_stream_flush(output->stream, nullptr, nullptr);
        if (operation) pa_operation_unref(operation);
        operation = pa_stream_cork(output->stream, 1, nullptr, nullptr);
        if (operation) pa_operation_unref(operation);
    }
    pa_threaded_mainloop_unlock(output->loop);
}

void pulseClose(PulseOutput* output)
{
    if (!output) return;
    pa_threaded_mainloop_lock(output->loop);
    output->stopped = true;
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(output->loop);
    for (pa_time_event** timer : {&output->retryTimer, &output->reportTimer}) {
        if (*timer) api->time_free(*timer);
        *timer = nullptr;
    }
    dropConnection(output);
    pa_threaded_mainloop_unlock(output->loop);
    pa_threaded_mainloop_stop(output->loop);
    pa_threaded_mainloop_free(output->loop);
    delete output;
}
