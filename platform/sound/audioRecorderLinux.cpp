#include "platform/sound/audioRecorder.h"

#include "platform/sound/audio.h"
#include "platform/sound/audioServerConnect.h"
#include "platform/system/threadPriority.h"

#include <algorithm>
#include <cstring>

namespace {

// Blocks of 10 ms; the server keeps up to 4 s for a recorder that falls behind.
constexpr std::uint32_t blockBytes = 441 * AUDIO_BYTES_PER_FRAME;
constexpr std::uint32_t serverQueueBytes = 4 * AUDIO_BYTES_PER_SECOND;

} // namespace

struct AudioRecorder {
    pa_threaded_mainloop* loop = nullptr;
    pa_context* context = nullptr;
    pa_stream* stream = nullptr;
    // The loop's thread only, or under the loop's lock.
    RecordedSound sound;
    std::size_t capacitySamples = 0;
    bool timingPending = false;
    bool priorityTried = false;
};

namespace {

// At the report's timestamp the server had written write_index bytes into our queue and the
// monitored sink held sink_usec not yet played (the source itself adds source_usec before
// delivering), so the frame leaving the sink then is write_index + source - sink.
void onTimingReply(pa_stream* stream, int success, void* user)
{
    AudioRecorder* recorder = static_cast<AudioRecorder*>(user);
    recorder->timingPending = false;
    const pa_timing_info* timing = pa_stream_get_timing_info(stream);
    if (!success || !timing || timing->write_index_corrupt) return;
    RecordMark mark;
    mark.frame = (static_cast<double>(timing->write_index) +
                  (static_cast<double>(timing->source_usec) - static_cast<double>(timing->sink_usec)) * AUDIO_BYTES_PER_SECOND / 1e6) /
                 AUDIO_BYTES_PER_FRAME;
    mark.monotonicSeconds = serverMonotonicSeconds(timing->timestamp);
    recorder->sound.marks.push_back(mark);
}

void onRead(pa_stream* stream, std::size_t, void* user)
{
    AudioRecorder* recorder = static_cast<AudioRecorder*>(user);
    if (!recorder->priorityTried) {
        recorder->priorityTried = true;
        raiseThreadPriority(4);
    }
    std::vector<std::int16_t>& pcm = recorder->sound.pcm;
    for (;;) {
        const void* data = nullptr;
        std::size_t size = 0;
        if (pa_stream_peek(stream, &data, &size) < 0 || size == 0) break;
        const std::size_t samples = size / sizeof(std::int16_t);
        if (pcm.size() + samples > recorder->capacitySamples) {
            ++recorder->sound.lostBlocks;
        } else if (!data) {
            // A hole: the server lost this much; kept as silence so later frames stay in place.
            ++recorder->sound.lostBlocks;
            pcm.insert(pcm.end(), samples, 0);
        } else {
            const std::size_t at = pcm.size();
            pcm.resize(at + samples);
            std::memcpy(pcm.data() + at, data, samples * sizeof(std::int16_t));
        }
        pa_stream_drop(stream);
    }
    if (!recorder->timingPending) {
        pa_operation* operation = pa_stream_update_timing_info(stream, onTimingReply, recorder);
        if (operation) {
            recorder->timingPending = true;
            pa_operation_unref(operation);
        }
    }
}

void onOverflow(pa_stream*, void* user) { ++static_cast<AudioRecorder*>(user)->sound.lostBlocks; }

void onStreamState(pa_stream*, void* user) { pa_threaded_mainloop_signal(static_cast<AudioRecorder*>(user)->loop, 0); }

void onContextState(pa_context*, void* user) { pa_threaded_mainloop_signal(static_cast<AudioRecorder*>(user)->loop, 0); }

bool connectContext(AudioRecorder* recorder, const std::string& server, std::string& message)
{
    recorder->context = serverConnectStart(recorder->loop, server.empty() ? nullptr : server.c_str(), onContextState, recorder, message);
    if (!recorder->context) return false;
    pa_context* context = recorder->context;
    const bool answered = serverWaitUntil(recorder->loop, [context] {
        const pa_context_state_t state = pa_context_get_state(context);
        return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
    });
    if (pa_context_get_state(context) == PA_CONTEXT_READY) return true;
    message = answered ? "pa_context_connect: " + serverError(context) : "pa_context_connect: the server did not answer within 3 s";
    return false;
}

void releaseRecorder(AudioRecorder* recorder)
{
    if (recorder->loop) {
        pa_threaded_mainloop_lock(recorder->loop);
        serverDisconnect(recorder->context, recorder->stream);
        pa_threaded_mainloop_unlock(recorder->loop);
        serverLoopEnd(recorder->loop);
    }
    delete recorder;
}

bool connectRecording(AudioRecorder* recorder, const std::string& source, std::string& message)
{
    const pa_sample_spec sampleFormat{PA_SAMPLE_S16LE, AUDIO_SAMPLE_RATE, 2};
    recorder->stream = pa_stream_new(recorder->context, "clock measurement", &sampleFormat, nullptr);
    if (!recorder->stream) {
        message = "pa_stream_new: " + serverError(recorder->context);
        return false;
    }
    pa_stream_set_state_callback(recorder->stream, onStreamState, recorder);
    pa_stream_set_read_callback(recorder->stream, onRead, recorder);
    pa_stream_set_overflow_callback(recorder->stream, onOverflow, recorder);
    pa_buffer_attr attr{};
    attr.maxlength = serverQueueBytes;
    attr.fragsize = blockBytes;
    attr.tlength = attr.prebuf = attr.minreq = static_cast<std::uint32_t>(-1);
    if (pa_stream_connect_record(recorder->stream, source.c_str(), &attr, PA_STREAM_ADJUST_LATENCY) < 0) {
        message = source + ": pa_stream_connect_record: " + serverError(recorder->context);
        return false;
    }
    for (;;) {
        const pa_stream_state_t state = pa_stream_get_state(recorder->stream);
        if (state == PA_STREAM_READY) return true;
        if (!PA_STREAM_IS_GOOD(state)) {
            message = source + ": pa_stream_connect_record: " + serverError(recorder->context);
            return false;
        }
        pa_threaded_mainloop_wait(recorder->loop);
    }
}

} // namespace

AudioRecorder* recorderStart(const std::string& server, const std::string& source, double maxSeconds,
                             std::string& message)
{
    AudioRecorder* recorder = new AudioRecorder;
    // Reserved up front, so the loop's thread never reallocates while recording.
    recorder->capacitySamples = static_cast<std::size_t>(std::max(0.0, maxSeconds) * AUDIO_SAMPLE_RATE) * 2;
    recorder->sound.pcm.reserve(recorder->capacitySamples);
    recorder->sound.marks.reserve(static_cast<std::size_t>(std::max(0.0, maxSeconds) * 200.0) + 16);
    recorder->loop = serverLoopStart(message);
    if (!recorder->loop) {
        releaseRecorder(recorder);
        return nullptr;
    }
    pa_threaded_mainloop_lock(recorder->loop);
    const bool ready = connectContext(recorder, server, message) && connectRecording(recorder, source, message);
    pa_threaded_mainloop_unlock(recorder->loop);
    if (!ready) {
        releaseRecorder(recorder);
        return nullptr;
    }
    return recorder;
}

std::size_t recorderFrames(AudioRecorder* recorder)
{
    pa_threaded_mainloop_lock(recorder->loop);
    const std::size_t frames = recorder->sound.pcm.size() / 2;
    pa_threaded_mainloop_unlock(recorder->loop);
    return frames;
}

void recorderStop(AudioRecorder* recorder, RecordedSound& sound)
{
    pa_threaded_mainloop_lock(recorder->loop);
    sound = std::move(recorder->sound);
    recorder->sound = RecordedSound();
    recorder->capacitySamples = 0;
    pa_threaded_mainloop_unlock(recorder->loop);
    releaseRecorder(recorder);
}
