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
#include <cstring>

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
// real-time priority the margin had already fallen to 14 ms.
constexpr std::uint32_t queueBytes = 22050 * bytesPerFrame;
constexpr std::uint32_t refillBytes = 1103 * bytesPerFrame;

// The server's own threads run at real-time priority 5 by default; the feeder sits just below.
constexpr int feederPriority = 4;

} // namespace

struct PulseOutput {
    pa_threaded_mainloop* loop = nullptr;
    pa_context* context = nullptr;
    pa_stream* stream = nullptr;

    // The loop's thread only, or under the loop's lock.
    const std::vector<std::int16_t>* pcm = nullptr;
    std::uint64_t startByte = 0;   // where in the music the stream began
    std::uint64_t handed = 0;      // bytes of the music handed over, counted from its start
    bool playRequested = false;   // nothing is fed before pulsePlay
    bool stopped = false;
    bool priorityTried = false;
    bool timingPending = false;

    AudioReportSlot report;   // written by the loop's thread only
    std::atomic<std::uint32_t> underruns{0};
};

namespace {

// The server's last timing report, as it stands: at its timestamp the sink was about to take
// the byte at read_index from the stream and held sink_usec of audio not yet played, so the
// sample leaving it then was read_index less that. Everything queued in the stream and the
// sink is counted. The library's own interpolation is not used: it runs ahead of the server
// while a stream starts.
void publishTiming(PulseOutput* output)
{
    if (!output->stream || output->stopped) return;
    const pa_timing_info* timing = pa_stream_get_timing_info(output->stream);
    if (!timing || timing->read_index_corrupt) return;
    AudioReport report;
    report.heardBytes = std::max(0.0, static_cast<double>(output->startByte) + static_cast<double>(timing->read_index) -
                                          static_cast<double>(timing->sink_usec) * bytesPerSecond / 1e6);
    report.monotonicSeconds = pulseMonotonicSeconds(timing->timestamp);
    report.playing = timing->playing != 0;
    report.handedBytes = output->handed;
    output->report.publish(report);
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
    if (output->timingPending || !output->stream) return;
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
    if (!output->playRequested) return;
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
    requestTiming(output);
}

// A stream the server drops mid-run (the server quit) leaves the clock on the wall clock from
// where it was, so the pictures go on, silent.
void onStreamState(pa_stream* stream, void* user)
{
    PulseOutput* output = static_cast<PulseOutput*>(user);
    const pa_stream_state_t state = pa_stream_get_state(stream);
    if (state == PA_STREAM_FAILED && output->playRequested && !output->stopped) {
        AudioReport report = output->report.last();
        const double now = audioMonotonicSeconds();
        if (report.playing) report.heardBytes += (now - report.monotonicSeconds) * bytesPerSecond;
        report.monotonicSeconds = now;
        report.playing = true;
        report.handedBytes = UINT64_MAX;
        output->report.publish(report);
        output->stopped = true;
    }
    pa_threaded_mainloop_signal(output->loop, 0);
}

std::string contextError(pa_context* context) { return pa_strerror(pa_context_errno(context)); }

// The stream starts corked and unfed: nothing plays and the server's clock stays at 0 until
// pulsePlay.
bool connectStream(PulseOutput* output, std::string& message)
{
    const pa_sample_spec sampleFormat{PA_SAMPLE_S16LE, 44100, 2};
    output->stream = pa_stream_new(output->context, "music", &sampleFormat, nullptr);
    if (!output->stream) {
        message = "pa_stream_new: " + contextError(output->context);
        return false;
    }
    pa_stream_set_state_callback(output->stream, onStreamState, output);
    pa_stream_set_write_callback(output->stream, onWrite, output);
    pa_stream_set_started_callback(output->stream, onStarted, output);
    pa_stream_set_underflow_callback(output->stream, onUnderflow, output);
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.tlength = queueBytes;
    attr.prebuf = static_cast<std::uint32_t>(-1);
    attr.minreq = refillBytes;
    attr.fragsize = static_cast<std::uint32_t>(-1);
    const pa_stream_flags_t flags = static_cast<pa_stream_flags_t>(
        PA_STREAM_START_CORKED | PA_STREAM_ADJUST_LATENCY);
    if (pa_stream_connect_playback(output->stream, nullptr, &attr, flags, nullptr, nullptr) < 0) {
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

void onContextState(pa_context*, void* loop) { pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(loop), 0); }

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
    pa_context_set_state_callback(context, onContextState, loop);
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

PulseOutput* pulseOpen(std::string& message)
{
    PulseOutput* output = new PulseOutput;
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
    const bool ready = output->context && connectStream(output, message);
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
    const std::size_t writable = pa_stream_writable_size(output->stream);
    if (writable != static_cast<std::size_t>(-1)) onWrite(output->stream, writable, output);
    pa_operation* operation = pa_stream_cork(output->stream, 0, nullptr, nullptr);
    if (operation) pa_operation_unref(operation);
    pa_threaded_mainloop_unlock(output->loop);
}

void pulsePause(PulseOutput* output, bool paused)
{
    pa_threaded_mainloop_lock(output->loop);
    if (output->stream && pa_stream_get_state(output->stream) == PA_STREAM_READY) {
        pa_operation* operation = pa_stream_cork(output->stream, paused ? 1 : 0, nullptr, nullptr);
        if (operation) pa_operation_unref(operation);
        requestTiming(output);
    }
    pa_threaded_mainloop_unlock(output->loop);
}

const AudioReportSlot& pulseReport(const PulseOutput* output) { return output->report; }

std::uint32_t pulseUnderruns(const PulseOutput* output) { return output->underruns.load(std::memory_order_relaxed); }

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
    if (output->stream) {
        pa_stream_disconnect(output->stream);
        pa_stream_unref(output->stream);
        output->stream = nullptr;
    }
    if (output->context) {
        pa_context_disconnect(output->context);
        pa_context_unref(output->context);
        output->context = nullptr;
    }
    pa_threaded_mainloop_unlock(output->loop);
    pa_threaded_mainloop_stop(output->loop);
    pa_threaded_mainloop_free(output->loop);
    delete output;
}
