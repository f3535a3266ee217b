#include "platform/sound/mp3Decoder.h"

#include "platform/files/loadError.h"
#include "platform/sound/audio.h"

#include <mpg123.h>
#include <syn123.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// A refusal at the byte of the file the decoder has reached, with its own words.
bool failAt(LoadError& error, const std::string& path, mpg123_handle* handle, const std::string& text)
{
    const off_t where = mpg123_tell_stream(handle);
    return failLoad(error, path, where >= 0 ? static_cast<long long>(where) : -1, -1, text + ": " + mpg123_strerror(handle));
}

// Interleaved stereo: mono is decoded into both channels.
bool decodeFloat(const std::string& path, std::vector<float>& samples, long& rate, LoadError& error)
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
        mpg123_param(handle, MPG123_FLAGS, MPG123_GAPLESS | MPG123_QUIET | MPG123_FORCE_STEREO, 0.0);
        mpg123_format_none(handle);
        const long* rates = nullptr;
        size_t rateCount = 0;
        mpg123_rates(&rates, &rateCount);
        for (size_t i = 0; i < rateCount; ++i) mpg123_format(handle, rates[i], MPG123_STEREO, MPG123_ENC_FLOAT_32);
        if (mpg123_open(handle, path.c_str()) != MPG123_OK) {
            failLoad(error, path, -1, -1, std::string("cannot open the music: ") + mpg123_strerror(handle));
            break;
        }
        int channels = 0, encoding = 0;
        if (mpg123_getformat(handle, &rate, &channels, &encoding) != MPG123_OK) {
            failAt(error, path, handle, "no MPEG audio frame found");
            break;
        }
        mpg123_format_none(handle);
        mpg123_format(handle, rate, MPG123_STEREO, MPG123_ENC_FLOAT_32);
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
                failAt(error, path, handle, "damaged MPEG audio");
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
        const long long decodedFrames = static_cast<long long>(samples.size()) / 2;
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
    if (!decodeFloat(path, samples, rate, error)) return false;
    if (rate != AUDIO_SAMPLE_RATE && !resampleTo44100(path, samples, rate, error)) return false;
    pcm.resize(samples.size() & ~static_cast<size_t>(1));
    for (size_t i = 0; i < pcm.size(); ++i) {
        const float scaled = std::nearbyint(samples[i] * 32768.0f);
        pcm[i] = static_cast<std::int16_t>(std::clamp(scaled, -32768.0f, 32767.0f));
    }
    return true;
}
