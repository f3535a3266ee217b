#include "platform/audio.h"

#include "platform/loadError.h"

#include <SDL.h>
#include <mpg123.h>
#include <syn123.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// Device buffer of 512 frames (11.6 ms); the device is taken to hold about two of them.
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
    SDL_AudioDeviceID device = 0;
    bool silent = false;
    bool stopped = false;
    bool paused = false;                  // main thread only
    double pausedAt = 0.0;
    // Written by the device callback, read by the clock; guarded by SDL_LockAudioDevice.
    const std::vector<std::int16_t>* pcm = nullptr;
    std::uint64_t handedBytes = 0;        // bytes given to the device since audioPlay
    std::uint64_t callbackCounter = 0;    // performance counter at the last callback
    std::uint32_t heldBytes = 0;          // what the device holds after a callback
    // Main thread only.
    std::uint64_t lastPosition = 0;
    double smoothPosition = 0.0;          // the followed clock, in bytes
    std::uint64_t smoothCounter = 0;      // performance counter when it was last advanced
    bool smoothStarted = false;
    double silentStart = 0.0;
};

namespace {

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
        output->callbackCounter = SDL_GetPerformanceCounter();
    }
}

} // namespace

AudioOutput* audioOpen(std::string& message)
{
    AudioOutput* output = new AudioOutput;
    message.clear();
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        message = std::string("no audio (") + SDL_GetError() + "): the demo plays silent";
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
        message = std::string("no audio device (") + SDL_GetError() + "): the demo plays silent";
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
    startByte &= ~static_cast<std::uint32_t>(bytesPerFrame - 1);
    output->lastPosition = startByte;
    if (output->silent) {
        output->pcm = pcm;
        output->silentStart = static_cast<double>(SDL_GetPerformanceCounter()) / static_cast<double>(SDL_GetPerformanceFrequency()) -
                              static_cast<double>(startByte) / AUDIO_BYTES_PER_SECOND;
        return;
    }
    SDL_LockAudioDevice(output->device);
    output->pcm = pcm;
    output->handedBytes = startByte;
    output->callbackCounter = SDL_GetPerformanceCounter();
    output->stopped = false;
    output->smoothStarted = false;
    SDL_UnlockAudioDevice(output->device);
    SDL_PauseAudioDevice(output->device, 0);
}

void audioPause(AudioOutput* output, bool paused)
{
    if (!output || output->paused == paused) return;
    const double now = static_cast<double>(SDL_GetPerformanceCounter()) / static_cast<double>(SDL_GetPerformanceFrequency());
    if (paused) {
        audioPosition(output);
        output->paused = true;
        output->pausedAt = now;
        if (!output->silent) SDL_PauseAudioDevice(output->device, 1);
        return;
    }
    output->paused = false;
    if (output->silent) {
        output->silentStart += now - output->pausedAt;
        return;
    }
    // The callbacks go on from where they stopped; the clock picks them up afresh.
    SDL_LockAudioDevice(output->device);
    output->callbackCounter = SDL_GetPerformanceCounter();
    output->smoothStarted = false;
    SDL_UnlockAudioDevice(output->device);
    SDL_PauseAudioDevice(output->device, 0);
}

std::uint32_t audioPosition(AudioOutput* output)
{
    if (!output) return 0;
    if (output->paused) return static_cast<std::uint32_t>(output->lastPosition);
    const double frequency = static_cast<double>(SDL_GetPerformanceFrequency());
    std::uint64_t position = 0;
    if (output->silent) {
        if (!output->stopped && output->pcm) {
            const double now = static_cast<double>(SDL_GetPerformanceCounter()) / frequency;
            position = static_cast<std::uint64_t>((now - output->silentStart) * AUDIO_BYTES_PER_SECOND);
        } else {
            position = output->lastPosition;
        }
    } else {
        SDL_LockAudioDevice(output->device);
        const std::uint64_t handed = output->handedBytes;
        const std::uint64_t counter = output->callbackCounter;
        const bool stopped = output->stopped;
        SDL_UnlockAudioDevice(output->device);
        if (stopped) {
            position = output->lastPosition;
        } else if (handed > 0) {
            // What the callbacks say is heard: it jumps by a buffer when the device asks for
            // two buffers at once. The reported clock runs at the nominal rate on the
            // performance counter and is steered towards it softly, snapping only when
            // far off (the start, or a stalled device).
            const std::uint64_t now = SDL_GetPerformanceCounter();
            const double since = static_cast<double>(now - counter) / frequency;
            const double heard = std::clamp(static_cast<double>(handed) - output->heldBytes + since * AUDIO_BYTES_PER_SECOND,
                                            0.0, static_cast<double>(handed));
            const double elapsed = static_cast<double>(now - output->smoothCounter) / frequency;
            double predicted = output->smoothPosition + elapsed * AUDIO_BYTES_PER_SECOND;
            const double error = heard - predicted;
            if (!output->smoothStarted || std::fabs(error) > 0.05 * AUDIO_BYTES_PER_SECOND) {
                predicted = heard;
                output->smoothStarted = true;
            } else {
                predicted += error * std::min(1.0, elapsed / 0.25);
            }
            output->smoothPosition = predicted;
            output->smoothCounter = now;
            position = static_cast<std::uint64_t>(std::clamp(predicted, 0.0, static_cast<double>(handed)));
        }
    }
    position &= ~static_cast<std::uint64_t>(bytesPerFrame - 1);
    position = std::max(position, output->lastPosition);
    position = std::min<std::uint64_t>(position, 0xFFFFFFFCu);
    output->lastPosition = position;
    return static_cast<std::uint32_t>(position);
}

void audioStop(AudioOutput* output)
{
    if (!output) return;
    audioPosition(output);
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
    if (output->device != 0) {
        SDL_CloseAudioDevice(output->device);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    delete output;
}
