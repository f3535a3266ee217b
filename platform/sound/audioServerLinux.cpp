// The music's stream on a sound server that speaks the PulseAudio protocol (PulseAudio, or
// PipeWire's PulseAudio service). A threaded main loop feeds the stream from the decoded PCM
// and publishes what the server says is heard; the caller's thread only reads that, so
// neither thread waits on the other. What the stream and the connection are doing is the
// record of serverPhases.h: this file turns the library's callbacks and the caller's calls
// into its events, and does what it says.
#include "platform/sound/audioOutput.h"
#include "platform/sound/audioServerConnect.h"
#include "platform/sound/serverPhases.h"
#include "platform/system/monotonicClock.h"
#include "platform/system/threadPriority.h"

#include <pulse/pulseaudio.h>

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

// The output's own timer: timing reports asked for on PipeWire, and the next connection tried.
constexpr pa_usec_t tickUsec = 17 * PA_USEC_PER_MSEC;

// The loop's thread only, or under the loop's lock.
struct ServerStream {
    AudioOutput* output = nullptr;
    pa_threaded_mainloop* loop = nullptr;
    pa_context* context = nullptr;
    pa_stream* stream = nullptr;
    pa_time_event* tick = nullptr;
    ServerPhases phases;
    std::string problem;   // why the first connection failed
    bool priorityTried = false;
};

ServerStream& streamOf(AudioOutput& output) { return *static_cast<ServerStream*>(output.backendData); }

void act(ServerStream& s, const ServerStep& step);

void failed(ServerStream& s, const std::string& problem)
{
    if (s.phases.connection == CONNECTION_FIRST) s.problem = problem;
    const double now = platformMonotonicSeconds();
    act(s, serverFailed(s.phases, now, audioHeardAt(*s.output, now)));
}

// Hands the stream up to `requested` bytes of the music from where it stands; true when
// anything went.
bool feed(ServerStream& s, std::size_t requested)
{
    bool handed = false;
    while (requested >= AUDIO_BYTES_PER_FRAME) {
        void* data = nullptr;
        std::size_t size = requested;
        if (pa_stream_begin_write(s.stream, &data, &size) < 0 || !data) break;
        size = std::min(size, requested) & ~static_cast<std::size_t>(AUDIO_BYTES_PER_FRAME - 1);
        if (size == 0) {
            pa_stream_cancel_write(s.stream);
            break;
        }
        audioCopyMusic(*s.output, s.phases.handed, static_cast<unsigned char*>(data), size);
        if (pa_stream_write(s.stream, data, size, nullptr, 0, PA_SEEK_RELATIVE) < 0) break;
        serverHanded(s.phases, size);
        handed = true;
        requested -= size;
    }
    return handed;
}

void onTimingReply(pa_stream*, int, void* user);

void askTiming(ServerStream& s)
{
    pa_operation* operation = pa_stream_update_timing_info(s.stream, onTimingReply, &s);
    serverTimingAsked(s.phases, operation != nullptr);
    serverForget(operation);
}

void connect(ServerStream& s);
bool openStream(ServerStream& s);

void act(ServerStream& s, const ServerStep& step)
{
    AudioOutput& output = *s.output;
    if (step.reconnect) {
        serverDisconnect(s.context, s.stream);
        connect(s);
    }
    if (step.openStream && !s.stream && !openStream(s)) failed(s, "pa_stream_connect_playback: " + serverError(s.context));
    if (step.refill && s.stream) {
        serverForget(pa_stream_flush(s.stream, nullptr, nullptr));
        const std::size_t writable = pa_stream_writable_size(s.stream);
        if (writable != static_cast<std::size_t>(-1) && serverFeeding(s.phases)) feed(s, writable);
    }
    if (step.cork != CORK_KEEP && s.stream) serverForget(pa_stream_cork(s.stream, step.cork == CORK_ON ? 1 : 0, nullptr, nullptr));
    if (step.askTiming && s.stream) askTiming(s);
    if (step.publish) output.report.publish(step.report);
    const double now = platformMonotonicSeconds();
    if (step.standIn) audioStandIn(output, step.standInBytes, now);
    if (step.silenceBegins) {
        double none = -1.0;
        output.silentSince.compare_exchange_strong(none, now, std::memory_order_relaxed);
    }
    if (step.silenceEnds) audioEndSilence(output, step.silenceEndSeconds);
    if (step.underrun) output.underruns.fetch_add(1, std::memory_order_relaxed);
    output.dropouts.store(s.phases.pacing.dropouts, std::memory_order_relaxed);
    output.droppedSeconds.store(s.phases.pacing.droppedBytes / AUDIO_BYTES_PER_SECOND, std::memory_order_relaxed);
    if (!step.notice.empty() && output.notice) output.notice(step.notice);
}

void onWrite(pa_stream* stream, std::size_t requested, void* user)
{
    ServerStream& s = *static_cast<ServerStream*>(user);
    if (!s.priorityTried && pa_threaded_mainloop_in_thread(s.loop)) {
        s.priorityTried = true;
        raiseThreadPriority(feederPriority);
    }
    if (stream != s.stream || !serverFeeding(s.phases)) return;
    act(s, serverRequested(s.phases, feed(s, requested)));
}

// The server's report, as it stands. The library's own interpolation is not used: it runs
// ahead of the server while a stream starts.
void onTimingReply(pa_stream*, int, void* user)
{
    ServerStream& s = *static_cast<ServerStream*>(user);
    const pa_timing_info* info = s.stream ? pa_stream_get_timing_info(s.stream) : nullptr;
    ServerTiming timing;
    if (info) {
        timing.corrupt = info->read_index_corrupt || info->write_index_corrupt;
        timing.seconds = serverMonotonicSeconds(info->timestamp);
        timing.playing = info->playing != 0;
        timing.readIndex = static_cast<std::uint64_t>(info->read_index);
        timing.writeIndex = static_cast<std::uint64_t>(info->write_index);
        timing.sinkBytes = static_cast<double>(info->sink_usec) * AUDIO_BYTES_PER_SECOND / 1e6;
    }
    act(s, serverTimingCame(s.phases, info ? &timing : nullptr, s.output->paused,
                            audioHeardAt(*s.output, platformMonotonicSeconds())));
}

void onStarted(pa_stream*, void* user)
{
    ServerStream& s = *static_cast<ServerStream*>(user);
    act(s, serverStarted(s.phases));
}

void onUnderflow(pa_stream*, void* user)
{
    ServerStream& s = *static_cast<ServerStream*>(user);
    act(s, serverUnderflow(s.phases));
}

void onTick(pa_mainloop_api* api, pa_time_event* event, const struct timeval*, void* user)
{
    ServerStream& s = *static_cast<ServerStream*>(user);
    act(s, serverTick(s.phases, platformMonotonicSeconds()));
    timeval next{};
    pa_gettimeofday(&next);
    pa_timeval_add(&next, tickUsec);
    api->time_restart(event, &next);
}

// The stream's volume for the output's level. The server's volume scale is a mixer's: its
// gain is the level cubed, as audioGainOf's.
pa_cvolume streamVolume(const AudioOutput& output)
{
    pa_cvolume volume;
    pa_cvolume_set(&volume, 2, static_cast<pa_volume_t>(output.level.load() * PA_VOLUME_NORM + 0.5));
    return volume;
}

// The stream's volume set to the output's level now: a level set while the stream was still
// connecting is taken when it is ready.
void applyVolume(ServerStream& s)
{
    if (!s.context || !s.stream || pa_stream_get_state(s.stream) != PA_STREAM_READY) return;
    const pa_cvolume volume = streamVolume(*s.output);
    serverForget(pa_context_set_sink_input_volume(s.context, pa_stream_get_index(s.stream), &volume, nullptr, nullptr));
}

void onStreamState(pa_stream* stream, void* user)
{
    ServerStream& s = *static_cast<ServerStream*>(user);
    const pa_stream_state_t state = pa_stream_get_state(stream);
    if (state == PA_STREAM_READY) {
        applyVolume(s);
        act(s, serverStreamReady(s.phases));
    } else if (!PA_STREAM_IS_GOOD(state)) {
        failed(s, "pa_stream_connect_playback: " + serverError(s.context));
    }
    pa_threaded_mainloop_signal(s.loop, 0);
}

void onServerInfo(pa_context*, const pa_server_info* info, void* user)
{
    ServerStream& s = *static_cast<ServerStream*>(user);
    s.phases.onPipeWire = info && info->server_name && std::strstr(info->server_name, "PipeWire");
}

// A corked stream; its server's name is asked first, so it is known when the stream is ready.
// Its volume is set from the start: a server restores a level it remembered for the program
// only to a stream that comes without one.
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
    const pa_cvolume volume = streamVolume(*s.output);
    return pa_stream_connect_playback(s.stream, nullptr, &attr, flags, &volume, nullptr) >= 0;
}

void onContextState(pa_context* context, void* user)
{
    ServerStream& s = *static_cast<ServerStream*>(user);
    const pa_context_state_t state = pa_context_get_state(context);
    if (state == PA_CONTEXT_READY) {
        act(s, serverContextReady(s.phases));
    } else if (!PA_CONTEXT_IS_GOOD(state)) {
        failed(s, "pa_context_connect: " + serverError(context));
    }
    pa_threaded_mainloop_signal(s.loop, 0);
}

// The one way a connection is made, the first and every later one; the stream follows once
// the context is ready.
void connect(ServerStream& s)
{
    if (s.context) return;
    std::string problem;
    s.context = serverConnectStart(s.loop, nullptr, onContextState, &s, problem);
    if (!s.context) failed(s, problem);
}

void releaseServer(ServerStream* s)
{
    if (s->loop) {
        pa_threaded_mainloop_lock(s->loop);
        serverClosing(s->phases);
        if (s->tick) pa_threaded_mainloop_get_api(s->loop)->time_free(s->tick);
        serverDisconnect(s->context, s->stream);
        pa_threaded_mainloop_unlock(s->loop);
        serverLoopEnd(s->loop);
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
    const bool answered = serverWaitUntil(s->loop, [s] { return s->phases.connection != CONNECTION_FIRST; });
    const bool ready = answered && s->phases.connection == CONNECTION_READY;
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
    act(s, serverStart(s.phases, startByte, output.paused));
    pa_threaded_mainloop_unlock(s.loop);
}

void pauseServer(AudioOutput& output)
{
    ServerStream& s = streamOf(output);
    pa_threaded_mainloop_lock(s.loop);
    act(s, serverPause(s.phases, output.paused, static_cast<double>(output.lastPosition)));
    pa_threaded_mainloop_unlock(s.loop);
}

void stopServer(AudioOutput& output)
{
    ServerStream& s = streamOf(output);
    pa_threaded_mainloop_lock(s.loop);
    act(s, serverStop(s.phases, platformMonotonicSeconds()));
    pa_threaded_mainloop_unlock(s.loop);
}

// The server applies a stream's new volume as it mixes, taking back what it had mixed ahead.
void volumeServer(AudioOutput& output)
{
    ServerStream& s = streamOf(output);
    pa_threaded_mainloop_lock(s.loop);
    applyVolume(s);
    pa_threaded_mainloop_unlock(s.loop);
}

void closeServer(AudioOutput& output)
{
    releaseServer(&streamOf(output));
    output.backendData = nullptr;
}

} // namespace

const AudioBackend serverBackend = {"sound server", serverWanted, openServer, startServer, pauseServer, stopServer, closeServer, 0.0, nullptr, volumeServer};
