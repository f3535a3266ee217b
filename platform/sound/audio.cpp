#include "platform/sound/audio.h"

#include "platform/sound/audioOutput.h"
#include "platform/system/monotonicClock.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

void AudioReportSlot::publish(const AudioReport& report)
{
    const std::uint32_t count = sequence.load(std::memory_order_relaxed);
    sequence.store(count + 1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    heardBytes.store(report.heardBytes, std::memory_order_relaxed);
    monotonicSeconds.store(report.monotonicSeconds, std::memory_order_relaxed);
    playing.store(report.playing, std::memory_order_relaxed);
    handedBytes.store(report.handedBytes, std::memory_order_relaxed);
    sequence.store(count + 2, std::memory_order_release);
}

bool AudioReportSlot::read(AudioReport& report) const
{
    for (int attempt = 0; attempt < 64; ++attempt) {
        const std::uint32_t before = sequence.load(std::memory_order_acquire);
        if (before == 0) return false;
        if (before & 1u) continue;
        const AudioReport copy = last();
        std::atomic_thread_fence(std::memory_order_acquire);
        if (sequence.load(std::memory_order_relaxed) == before) {
            report = copy;
            return true;
        }
    }
    return false;
}

AudioReport AudioReportSlot::last() const
{
    AudioReport copy;
    copy.heardBytes = heardBytes.load(std::memory_order_relaxed);
    copy.monotonicSeconds = monotonicSeconds.load(std::memory_order_relaxed);
    copy.playing = playing.load(std::memory_order_relaxed);
    copy.handedBytes = handedBytes.load(std::memory_order_relaxed);
    return copy;
}

std::uint64_t audioCopyMusic(const AudioOutput& output, std::uint64_t from, unsigned char* data, std::size_t size)
{
    std::size_t music = 0;
    if (output.pcm) {
        const std::uint64_t total = output.pcm->size() * sizeof(std::int16_t);
        if (from < total) {
            music = static_cast<std::size_t>(std::min<std::uint64_t>(size, total - from));
            std::memcpy(data, reinterpret_cast<const unsigned char*>(output.pcm->data()) + from, music);
        }
    }
    std::memset(data + music, 0, size - music);
    return from + size;
}

namespace {

// What a report says is heard at `now`: between reports the output plays on at the nominal rate.
double heardAt(const AudioReport& report, double now)
{
    return report.playing ? report.heardBytes + (now - report.monotonicSeconds) * AUDIO_BYTES_PER_SECOND
                          : report.heardBytes;
}

} // namespace

double audioHeardAt(const AudioOutput& output, double now) { return heardAt(output.report.last(), now); }

void audioStandIn(AudioOutput& output, double fromBytes, double now)
{
    AudioReport report;
    report.heardBytes = fromBytes;
    report.monotonicSeconds = now;
    report.playing = !output.paused;
    report.handedBytes = UINT64_MAX;
    output.report.publish(report);
}

void audioEndSilence(AudioOutput& output, double now)
{
    const double since = output.silentSince.exchange(-1.0, std::memory_order_relaxed);
    if (since >= 0.0)
        output.silentSeconds.store(output.silentSeconds.load(std::memory_order_relaxed) + now - since, std::memory_order_relaxed);
}

std::string audioMusicTime(double bytes)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f s", bytes / AUDIO_BYTES_PER_SECOND);
    return text;
}

namespace {

// What the output says is being heard `now`, in bytes, and whether it is advancing. False when
// it has said nothing since the last resume or restart. Between reports the output plays on
// at the nominal rate.
bool readHeard(const AudioOutput& output, double now, double& heard, bool& playing)
{
    AudioReport report;
    if (!output.report.read(report) || report.monotonicSeconds < output.reportsFrom) return false;
    heard = std::clamp(heardAt(report, now), 0.0, static_cast<double>(report.handedBytes));
    playing = report.playing;
    return true;
}

// The clock runs at the nominal rate while the output plays and takes in what the output says
// over the backend's follow time: at once for exact reports, softly for an SDL device, whose
// callbacks come in uneven bursts. It snaps only when far off (a start, a stall) or while
// nothing plays. A report that cannot be read this time (its writer was interrupted half-way)
// leaves the nominal rate.
double followedPosition(AudioOutput& output, double now)
{
    double heard = 0.0;
    bool playing = false;
    const bool reported = readHeard(output, now, heard, playing);
    if (!reported && !output.following) return static_cast<double>(output.lastPosition);
    double predicted = output.followedBytes + (now - output.followedSeconds) * AUDIO_BYTES_PER_SECOND;
    const double error = heard - predicted;
    if (reported && (!output.following || !playing || std::fabs(error) > 0.05 * AUDIO_BYTES_PER_SECOND)) {
        predicted = heard;
        output.following = playing;
    } else if (reported) {
        const double follow = output.backend->followSeconds;
        predicted += follow > 0.0 ? error * std::min(1.0, (now - output.followedSeconds) / follow) : error;
    }
    output.followedBytes = predicted;
    output.followedSeconds = now;
    return predicted;
}

// Reports made before now are stale, and the clock follows anew from the next one.
void forgetReports(AudioOutput& output, double now)
{
    output.reportsFrom = now;
    output.following = false;
}

} // namespace

AudioOutput* audioOpen(std::string& message, AudioNotice notice)
{
    AudioOutput* output = new AudioOutput;
    output->notice = std::move(notice);
    message.clear();
    std::string problems;
    for (const AudioBackend* const* backend = audioBackends(); *backend; ++backend) {
        if (!(*backend)->wanted()) continue;
        std::string problem;
        if ((*backend)->open(*output, problem)) {
            output->backend = *backend;
            break;
        }
        problems += (problems.empty() ? "" : "; ") + problem;
    }
    if (output->backend == &silentBackend) message = "no audio (" + problems + "): the demo plays silent";
    return output;
}

bool audioIsSilent(const AudioOutput* output) { return !output || output->backend == &silentBackend; }

void audioPlay(AudioOutput* output, const std::vector<std::int16_t>* pcm, std::uint32_t startByte)
{
    if (!output) return;
    output->pcm = pcm;
    audioRestart(output, startByte);
}

void audioRestart(AudioOutput* output, std::uint32_t startByte)
{
    if (!output) return;
    startByte &= ~(AUDIO_BYTES_PER_FRAME - 1);
    output->lastPosition = startByte;
    output->stopped = false;
    forgetReports(*output, platformMonotonicSeconds());
    output->backend->start(*output, startByte);
}

void audioPause(AudioOutput* output, bool paused)
{
    if (!output || output->stopped || output->paused == paused) return;
    const double now = platformMonotonicSeconds();
    if (paused) {
        audioPosition(output);
        output->pausedAt = now;
    } else {
        // The clock holds where it stopped until the output reports anew.
        output->pausedSeconds += now - output->pausedAt;
        forgetReports(*output, now);
    }
    output->paused = paused;
    output->backend->pause(*output);
}

double audioPausedSeconds(const AudioOutput* output)
{
    if (!output) return 0.0;
    return output->pausedSeconds + (output->paused ? platformMonotonicSeconds() - output->pausedAt : 0.0);
}

std::uint32_t audioPosition(AudioOutput* output)
{
    if (!output) return 0;
    if (output->paused || output->stopped) return static_cast<std::uint32_t>(output->lastPosition);
    if (output->backend->report) output->backend->report(*output);
    std::uint64_t position = static_cast<std::uint64_t>(std::max(followedPosition(*output, platformMonotonicSeconds()), 0.0));
    position &= ~static_cast<std::uint64_t>(AUDIO_BYTES_PER_FRAME - 1);
    position = std::min<std::uint64_t>(std::max(position, output->lastPosition), 0xFFFFFFFCu);
    output->lastPosition = position;
    return static_cast<std::uint32_t>(position);
}

AudioTrouble audioTrouble(const AudioOutput* output)
{
    AudioTrouble trouble;
    if (!output) return trouble;
    trouble.underruns = output->underruns.load(std::memory_order_relaxed);
    trouble.dropouts = output->dropouts.load(std::memory_order_relaxed);
    trouble.droppedSeconds = output->droppedSeconds.load(std::memory_order_relaxed);
    trouble.silentSeconds = output->silentSeconds.load(std::memory_order_relaxed);
    const double silentSince = output->silentSince.load(std::memory_order_relaxed);
    if (silentSince >= 0.0) trouble.silentSeconds += platformMonotonicSeconds() - silentSince;
    return trouble;
}

double audioGainOf(double level)
{
    const double clamped = std::clamp(level, 0.0, 1.0);
    return clamped * clamped * clamped;
}

void audioSetVolume(AudioOutput* output, double level)
{
    if (!output) return;
    output->level = std::clamp(level, 0.0, 1.0);
    if (output->backend->volume) output->backend->volume(*output);
}

double audioVolume(const AudioOutput* output) { return output ? output->level.load() : 1.0; }

void audioStop(AudioOutput* output)
{
    if (!output || output->stopped) return;
    audioPosition(output);
    output->stopped = true;
    output->backend->stop(*output);
}

void audioClose(AudioOutput* output)
{
    if (!output) return;
    output->backend->close(*output);
    delete output;
}
