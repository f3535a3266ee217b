#include "platform/audio.h"

#include "platform/audioPulse.h"
#include "platform/audioReport.h"
#include "platform/loadError.h"

#include <SDL.h>
#include <mpg123.h>
#include <syn123.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// SDL device buffer of 512 frames (11.6 ms); the device is taken to hold about two of them.
constexpr int deviceBufferFrames = 512;
constexpr std::uint32_t bytesPerFrame = 4;

std::string mpgError(mpg123_handle* handle)
{
    return handle ? mpg123_strerror(handle) : "";
}

bool decodeFloat(const std::string& path, std::vector<float>& samples, long& rate, int& channels,
                 LoadError& error)
{
#if MPG123_API_VERSION < 46
    mpg123_init();
#endif
    int result = MPG123_OK;
    mpg123_handle* handle = mpg123_new(nullptr, &result);
    if (!handle) return failLoad(error, path, -1, -1, std::string("cannot start the MP3 decoder: ") + mpg123_plain_strerror(result));

    bool ok = false;
    do {
        // Gapless decoding is mpg123's default; ask for it anyway and keep the decoder quiet.
        mpg123_param(handle, MPG123_FLAGS, MPG123_GAPLESS | MPG123_QUIET, 0.0);
        mpg123_format_none(handle);
        const long* rates = nullptr;
        size_t rateCount = 0;
        mpg123_rates(&rates, &rateCount);
        for (size_t i = 0; i < rateCount; ++i)
            mpg123_format(handle, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32);
        if (mpg123_open(handle, path.c_str()) != MPG123_OK) {
            failLoad(error, path, -1, -1, "cannot open the music: " + mpgError(handle));
            break;
        }
        int encoding = 0;
        if (mpg123_getformat(handle, &rate, &channels, &encoding) != MPG123_OK) {
            const off_t where = mpg123_tell_stream(handle);
            failLoad(error, path, where >= 0 ? static_cast<long long>(where) : -1, -1,
                     "no MPEG audio frame found: " + mpgError(handle));
            break;
        }
        mpg123_format_none(handle);
        mpg123_format(handle, rate, channels, MPG123_ENC_FLOAT_32);
        const off_t announced = mpg123_length(handle);
        std::vector<unsigned char> chunk(65536);
        for (;;) {
            size_t done = 0;
            result = mpg123_read(handle, chunk.data(), chunk.size(), &done);
            const size_t count = done / sizeof(float);
            const size_t old = samples.size();
            samples.resize(old + count);
            std::memcpy(samples.data() + old, chunk.data(), count * sizeof(float));
            if (result == MPG123_DONE) break;
            if (result == MPG123_NEW_FORMAT) continue;
            if (result != MPG123_OK) {
                const off_t where = mpg123_tell_stream(handle);
                failLoad(error, path, where >= 0 ? static_cast<long long>(where) : -1, -1,
                         "damaged MPEG audio: " + mpgError(handle));
                break;
            }
        }
        if (result != MPG123_DONE) break;
        if (samples.empty()) {
            failLoad(error, path, -1, -1, "the file holds no decodable MPEG audio");
            break;
        }
        // The info tag (or, without one, the first frame and the file size) announces the
        // length; a file cut short decodes cleanly up to its cut, so compare.
        const long long decodedFrames = static_cast<long long>(samples.size()) / channels;
        if (announced > 0 && decodedFrames + 1152 < static_cast<long long>(announced)) {
            const off_t end = mpg123_tell_stream(handle);
            char text[160];
            std::snprintf(text, sizeof text, "the music ends early: %.2f s decoded of the %.2f s its header announces",
                          static_cast<double>(decodedFrames) / rate, static_cast<double>(announced) / rate);
            failLoad(error, path, end >= 0 ? static_cast<long long>(end) : -1, -1, text);
            break;
        }
        ok = true;
    } while (false);

    mpg123_close(handle);
    mpg123_delete(handle);
    return ok;
}

bool resampleTo44100(const std::string& path, std::vector<float>& stereo, long rate, LoadError& error)
{
    int result = 0;
    syn123_handle* handle = syn123_new(AUDIO_SAMPLE_RATE, 2, MPG123_ENC_FLOAT_32, 0, &result);
    if (!handle) return failLoad(error, path, -1, -1, std::string("cannot start the resampler: ") + syn123_strerror(result));
    if ((result = syn123_setup_resample(handle, rate, AUDIO_SAMPLE_RATE, 2, 0, 0)) != SYN123_OK) {
        syn123_del(handle);
        return failLoad(error, path, -1, -1,
                        "cannot resample from " + std::to_string(rate) + " Hz: " + syn123_strerror(result));
    }
    const size_t inFrames = stereo.size() / 2;
    const size_t block = std::min<size_t>(syn123_resample_maxincount(rate, AUDIO_SAMPLE_RATE), 16384);
    std::vector<float> out;
    out.reserve(static_cast<size_t>(syn123_resample_total(rate, AUDIO_SAMPLE_RATE, static_cast<off_t>(inFrames))) * 2 + 16);
    std::vector<float> buffer(syn123_resample_count(rate, AUDIO_SAMPLE_RATE, block) * 2 + 16);
    for (size_t at = 0; at < inFrames; at += block) {
        const size_t count = std::min(block, inFrames - at);
        const size_t made = syn123_resample(handle, buffer.data(), stereo.data() + at * 2, count);
        out.insert(out.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(made * 2));
    }
    syn123_del(handle);
    stereo.swap(out);
    return true;
}

} // namespace

bool decodeMp3File(const std::string& path, std::vector<std::int16_t>& pcm, LoadError& error)
{
    pcm.clear();
    std::vector<float> samples;
    long rate = 0;
    int channels = 0;
    if (!decodeFloat(path, samples, rate, channels, error)) return false;
    if (channels == 1) {
        std::vector<float> stereo(samples.size() * 2);
        for (size_t i = 0; i < samples.size(); ++i) stereo[2 * i] = stereo[2 * i + 1] = samples[i];
        samples.swap(stereo);
    }
    if (rate != AUDIO_SAMPLE_RATE && !resampleTo44100(path, samples, rate, error)) return false;
    pcm.resize(samples.size() & ~static_cast<size_t>(1));
    for (size_t i = 0; i < pcm.size(); ++i) {
        const float scaled = std::nearbyint(samples[i] * 32768.0f);
        pcm[i] = static_cast<std::int16_t>(std::clamp(scaled, -32768.0f, 32767.0f));
    }
    return true;
}

struct AudioOutput {
    PulseOutput* pulse = nullptr;         // the stream on a sound server, when one answers
    SDL_AudioDeviceID device = 0;         // otherwise an SDL device
    bool silent = false;                  // neither: the clock runs from the wall clock
    // SDL device: the device callback's own, changed by the main thread only under
    // SDL_LockAudioDevice while the callback cannot run (audioPlay, audioStop).
    const std::vector<std::int16_t>* pcm = nullptr;
    bool stopped = false;
    std::uint64_t handedBytes = 0;        // bytes given to the device since audioPlay
    std::uint32_t heldBytes = 0;          // what the device holds after a callback
    AudioReportSlot report;               // written by the callback, read by the clock
    // Main thread only.
    std::uint64_t lastPosition = 0;
    double smoothPosition = 0.0;          // the followed clock, in bytes
    double smoothSeconds = 0.0;           // monotonic clock when it was last advanced
    bool smoothStarted = false;
    double silentStart = 0.0;
    bool paused = false;
    double pausedAt = 0.0;                // monotonic clock when the pause began
    double resumedAt = 0.0;               // reports older than this were made before the pause
};

namespace {

// SDL_AUDIODRIVER unset, or naming PulseAudio: the music goes to the sound server through
// its own library, which reports how much it still holds; SDL's backend for it does not.
bool pulseWanted()
{
    const char* driver = std::getenv("SDL_AUDIODRIVER");
    return !driver || !*driver || std::strcmp(driver, "pulseaudio") == 0 || std::strcmp(driver, "pulse") == 0;
}

void fillDevice(void* user, Uint8* stream, int length)
{
    AudioOutput* output = static_cast<AudioOutput*>(user);
    std::memset(stream, 0, static_cast<size_t>(length));
    if (output->pcm && !output->stopped) {
        const std::uint64_t totalBytes = output->pcm->size() * sizeof(std::int16_t);
        if (output->handedBytes < totalBytes) {
            const std::uint64_t count = std::min<std::uint64_t>(static_cast<std::uint64_t>(length), totalBytes - output->handedBytes);
            std::memcpy(stream, reinterpret_cast<const Uint8*>(output->pcm->data()) + output->handedBytes, count);
        }
    }
    if (!output->stopped && output->pcm) {
        output->handedBytes += static_cast<std::uint64_t>(length);
        // The device plays what it held before this buffer: the callback runs when it has
        // room for one more, so about two buffers are queued ahead of the speaker.
        AudioReport report;
        report.handedBytes = output->handedBytes;
        report.heardBytes = std::max(0.0, static_cast<double>(output->handedBytes) - output->heldBytes);
        report.monotonicSeconds = audioMonotonicSeconds();
        report.playing = true;
        output->report.publish(report);
    }
}

// What the output says is being heard now, in bytes, and whether it is advancing. False when
// it has said nothing yet. Between reports the output plays on at the nominal rate.
bool readHeard(const AudioOutput* output, double now, double& heard, bool& playing)
{
    AudioReport report;
    if (!(output->pulse ? pulseReport(output->pulse) : output->report).read(report)) return false;
    if (report.monotonicSeconds < output->resumedAt) return false;
    heard = report.heardBytes;
    if (report.playing) heard += (now - report.monotonicSeconds) * AUDIO_BYTES_PER_SECOND;
    heard = std::clamp(heard, 0.0, static_cast<double>(report.handedBytes));
    playing = report.playing;
    return true;
}

} // namespace

AudioOutput* audioOpen(std::string& message, AudioNotice notice)
{
    AudioOutput* output = new AudioOutput;
    message.clear();
    std::string serverProblem;
    if (pulseWanted()) {
        output->pulse = pulseOpen(serverProblem, std::move(notice));
        if (output->pulse) return output;
        serverProblem = "; no sound server: " + serverProblem;
    }
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        message = std::string("no audio (") + SDL_GetError() + serverProblem + "): the demo plays silent";
        output->silent = true;
        return output;
    }
    SDL_AudioSpec wanted{};
    wanted.freq = AUDIO_SAMPLE_RATE;
    wanted.format = AUDIO_S16LSB;
    wanted.channels = 2;
    wanted.samples = deviceBufferFrames;
    wanted.callback = fillDevice;
    wanted.userdata = output;
    SDL_AudioSpec obtained{};
    output->device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (output->device == 0) {
        message = std::string("no audio device (") + SDL_GetError() + serverProblem + "): the demo plays silent";
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        output->silent = true;
        return output;
    }
    output->heldBytes = 2u * obtained.samples * bytesPerFrame;
    return output;
}

bool audioIsSilent(const AudioOutput* output) { return !output || output->silent; }

void audioPlay(AudioOutput* output, const std::vector<std::int16_t>* pcm, std::uint32_t startByte)
{
    if (!output) return;
    startByte &= ~(bytesPerFrame - 1);
    output->lastPosition = startByte;
    output->smoothStarted = false;
    if (output->silent) {
        output->pcm = pcm;
        output->silentStart = audioMonotonicSeconds() - static_cast<double>(startByte) / AUDIO_BYTES_PER_SECOND;
        return;
    }
    if (output->pulse) {
        pulsePlay(output->pulse, pcm, startByte);
        return;
    }
    SDL_LockAudioDevice(output->device);
    output->pcm = pcm;
    output->handedBytes = startByte;
    output->stopped = false;
    SDL_UnlockAudioDevice(output->device);
    SDL_PauseAudioDevice(output->device, 0);
}

void audioPause(AudioOutput* output, bool paused)
{
    if (!output || output->stopped || output->paused == paused) return;
    const double now = audioMonotonicSeconds();
    if (paused) {
        audioPosition(output);
        output->paused = true;
        output->pausedAt = now;
    } else {
        // The clock holds where it stopped until the output reports anew; the wall clock of a
        // silent run skips the pause.
        output->paused = false;
        output->resumedAt = now;
        output->smoothStarted = false;
        output->silentStart += now - output->pausedAt;
    }
    if (output->pulse) {
        pulsePause(output->pulse, paused);
    } else if (!output->silent) {
        SDL_PauseAudioDevice(output->device, paused ? 1 : 0);
    }
}

std::uint32_t audioPosition(AudioOutput* output)
{
    if (!output) return 0;
    if (output->paused) return static_cast<std::uint32_t>(output->lastPosition);
    const double now = audioMonotonicSeconds();
    std::uint64_t position = output->lastPosition;
    if (output->stopped) {
        // The clock stays where it was stopped.
    } else if (output->silent) {
        if (output->pcm) position = static_cast<std::uint64_t>((now - output->silentStart) * AUDIO_BYTES_PER_SECOND);
    } else {
        double heard = 0.0;
        bool playing = false;
        const bool reported = readHeard(output, now, heard, playing);
        if (reported || output->smoothStarted) {
            // The reported clock runs at the nominal rate while the output plays and follows
            // what the output says: at once for the sound server, whose reports are exact, and
            // softly for an SDL device, whose callbacks come in uneven bursts. It snaps only
            // when far off (the start, a stall) or while nothing plays. A report that cannot
            // be read this time (its writer was interrupted half-way) leaves the nominal rate.
            double predicted = output->smoothPosition + (now - output->smoothSeconds) * AUDIO_BYTES_PER_SECOND;
            const double error = heard - predicted;
            if (reported && (!output->smoothStarted || !playing || std::fabs(error) > 0.05 * AUDIO_BYTES_PER_SECOND)) {
                predicted = heard;
                output->smoothStarted = playing;
            } else if (reported) {
                const double followSeconds = output->pulse ? 0.0 : 0.25;
                predicted += followSeconds > 0.0 ? error * std::min(1.0, (now - output->smoothSeconds) / followSeconds) : error;
            }
            output->smoothPosition = predicted;
            output->smoothSeconds = now;
            position = static_cast<std::uint64_t>(std::max(predicted, 0.0));
        }
    }
    position &= ~static_cast<std::uint64_t>(bytesPerFrame - 1);
    position = std::max(position, output->lastPosition);
    position = std::min<std::uint64_t>(position, 0xFFFFFFFCu);
    output->lastPosition = position;
    return static_cast<std::uint32_t>(position);
}

AudioTrouble audioTrouble(const AudioOutput* output)
{
    AudioTrouble trouble;
    if (!output || !output->pulse) return trouble;
    const PulseCounts counts = pulseCounts(output->pulse);
    trouble.underruns = counts.underruns;
    trouble.dropouts = counts.dropouts;
    trouble.droppedSeconds = counts.droppedSeconds;
    trouble.silentSeconds = counts.silentSeconds;
    return trouble;
}

void audioStop(AudioOutput* output)
{
    if (!output) return;
    audioPosition(output);
    if (output->pulse) {
        output->stopped = true;
        pulseStop(output->pulse);
        return;
    }
    if (output->silent) {
        output->stopped = true;
        return;
    }
    SDL_LockAudioDevice(output->device);
    output->stopped = true;
    SDL_UnlockAudioDevice(output->device);
    SDL_PauseAudioDevice(output->device, 1);
}

void audioClose(AudioOutput* output)
{
    if (!output) return;
    if (output->pulse) pulseClose(output->pulse);
    if (output->device != 0) {
        SDL_CloseAudioDevice(output->device);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    delete output;
}
