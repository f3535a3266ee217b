#include "platform/files/loadError.h"
#include "platform/sound/audio.h"
#include "platform/sound/mp3Decoder.h"

#include <gtest/gtest.h>
#include <lame/lame.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Encodes `frames` frames of silence with one click at `clickFrame` into an MP3 with its
// info tag, so the decoder can remove the encoder delay.
std::string writeClickMp3(const std::string& name, int rate, int channels, int frames, int clickFrame)
{
    std::vector<short> left(static_cast<size_t>(frames), 0), right(static_cast<size_t>(frames), 0);
    // A short burst: a few loud samples of alternating sign survive the encoder well.
    for (int i = 0; i < 8 && clickFrame + i < frames; ++i) {
        const short value = (i % 2 == 0) ? 28000 : -28000;
        left[static_cast<size_t>(clickFrame + i)] = value;
        right[static_cast<size_t>(clickFrame + i)] = value;
    }
    lame_global_flags* flags = lame_init();
    lame_set_in_samplerate(flags, rate);
    lame_set_out_samplerate(flags, rate);
    lame_set_num_channels(flags, channels);
    lame_set_mode(flags, channels == 1 ? MONO : JOINT_STEREO);
    lame_set_brate(flags, 192);
    lame_set_quality(flags, 5);
    lame_set_bWriteVbrTag(flags, 1);
    EXPECT_EQ(lame_init_params(flags), 0);
    std::vector<unsigned char> mp3(static_cast<size_t>(frames) * 5 / 4 + 7200 * 4);
    int size = lame_encode_buffer(flags, left.data(), channels == 1 ? nullptr : right.data(), frames, mp3.data(),
                                  static_cast<int>(mp3.size()));
    EXPECT_GE(size, 0);
    size += lame_encode_flush(flags, mp3.data() + size, static_cast<int>(mp3.size()) - size);
    const std::string path = ::testing::TempDir() + name;
    FILE* file = std::fopen(path.c_str(), "w+b");
    EXPECT_NE(file, nullptr);
    std::fwrite(mp3.data(), 1, static_cast<size_t>(size), file);
    lame_mp3_tags_fid(flags, file);
    std::fclose(file);
    lame_close(flags);
    return path;
}

size_t loudestFrame(const std::vector<std::int16_t>& pcm)
{
    size_t best = 0;
    int bestValue = -1;
    for (size_t i = 0; i < pcm.size(); i += 2) {
        const int value = std::abs(static_cast<int>(pcm[i]));
        if (value > bestValue) {
            bestValue = value;
            best = i / 2;
        }
    }
    return best;
}

struct DecodeCase {
    const char* name;
    int rate;
    int channels;
};

class Mp3Decode : public ::testing::TestWithParam<DecodeCase> {};

} // namespace

TEST_P(Mp3Decode, GivesStereo44100OfTheFileLengthWithTheClickInPlace)
{
    const DecodeCase c = GetParam();
    const double seconds = 2.0;
    const int frames = static_cast<int>(seconds * c.rate);
    const double clickSeconds = 1.2345;
    const std::string path = writeClickMp3(std::string(c.name) + ".mp3", c.rate, c.channels, frames,
                                           static_cast<int>(clickSeconds * c.rate));
    std::vector<std::int16_t> pcm;
    LoadError error;
    ASSERT_TRUE(decodeMp3File(path, pcm, error)) << formatLoadError(error);

    const double expectedBytes = seconds * AUDIO_BYTES_PER_SECOND;
    const double bytes = static_cast<double>(pcm.size() * sizeof(std::int16_t));
    EXPECT_NEAR(bytes, expectedBytes, 1152.0 * 4) << "decoded length differs by more than one MP3 frame";

    const double clickAt = static_cast<double>(loudestFrame(pcm)) / AUDIO_SAMPLE_RATE;
    EXPECT_NEAR(clickAt, clickSeconds, 0.001);
    // Both channels carry the click (mono is duplicated).
    const size_t frame = loudestFrame(pcm);
    EXPECT_EQ(pcm[2 * frame], pcm[2 * frame + 1]);
}

INSTANTIATE_TEST_SUITE_P(Rates, Mp3Decode,
                         ::testing::Values(DecodeCase{"stereo44100", 44100, 2}, DecodeCase{"stereo48000", 48000, 2},
                                           DecodeCase{"mono44100", 44100, 1}),
                         [](const ::testing::TestParamInfo<DecodeCase>& info) { return std::string(info.param.name); });

TEST(Mp3DecodeErrors, ACutFileIsReportedWhereItEnds)
{
    const std::string path = writeClickMp3("cut.mp3", 44100, 2, 44100 * 3, 1000);
    FILE* file = std::fopen(path.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    std::vector<char> bytes(1 << 20);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
    std::fclose(file);
    const std::string cut = ::testing::TempDir() + "cut-half.mp3";
    file = std::fopen(cut.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size() / 2, file);
    std::fclose(file);

    std::vector<std::int16_t> pcm;
    LoadError error;
    EXPECT_FALSE(decodeMp3File(cut, pcm, error));
    EXPECT_EQ(error.offset, static_cast<long long>(bytes.size() / 2));
    EXPECT_NE(error.text.find("ends early"), std::string::npos) << error.text;
}

TEST(AudioClock, RunsFromZeroAndNeverGoesBackwards)
{
    // Silent playback still drives the clock, from 0 and in whole stereo frames.
    std::string message;
    AudioOutput* output = audioOpen(message);
    ASSERT_NE(output, nullptr);
    std::vector<std::int16_t> pcm(AUDIO_SAMPLE_RATE * 2, 0);
    EXPECT_EQ(audioPosition(output), 0u);
    audioPlay(output, &pcm);
    std::uint32_t last = 0;
    for (int i = 0; i < 2000; ++i) {
        const std::uint32_t now = audioPosition(output);
        EXPECT_GE(now, last);
        EXPECT_EQ(now % 4, 0u);
        last = now;
    }
    audioStop(output);
    const std::uint32_t stoppedAt = audioPosition(output);
    EXPECT_EQ(audioPosition(output), stoppedAt);
    audioClose(output);
}
