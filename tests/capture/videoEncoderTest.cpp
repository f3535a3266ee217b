#include "tools/capture/videoEncoder.h"

#include "tests/support/processRunner.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace {

std::vector<std::uint8_t> readBytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::uint32_t littleEndian(const std::vector<std::uint8_t>& bytes, std::size_t at, int count)
{
    std::uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i) value = (value << 8) | bytes[at + i];
    return value;
}

// Restores PATH when the test ends.
struct PathGuard {
    std::string saved = std::getenv("PATH") ? std::getenv("PATH") : "";
    ~PathGuard() { setenv("PATH", saved.c_str(), 1); }
};

} // namespace

TEST(AudioCut, TakesTheSpanAndPadsPastTheEndWithSilence)
{
    // Three stereo samples: (1, -1), (2, -2), (3, -3).
    const std::vector<std::int16_t> music = {1, -1, 2, -2, 3, -3};
    EXPECT_EQ(cutAudio(music, 1, 2), (std::vector<std::int16_t>{2, -2, 3, -3}));
    EXPECT_EQ(cutAudio(music, 2, 3), (std::vector<std::int16_t>{3, -3, 0, 0, 0, 0}));
    EXPECT_EQ(cutAudio(music, 5, 1), (std::vector<std::int16_t>{0, 0}));
    EXPECT_TRUE(cutAudio(music, 0, 0).empty());
}

TEST(AudioCut, WavHeaderDeclaresStereoSixteenBitAt44100AndTheDataLength)
{
    const std::string path = makeTempFolder("wav") + "/cut.wav";
    std::string error;
    ASSERT_TRUE(writeWav(path, {100, -100, 0x1234, -2}, error)) << error;
    const std::vector<std::uint8_t> bytes = readBytes(path);
    ASSERT_EQ(bytes.size(), 44u + 8u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
    EXPECT_EQ(littleEndian(bytes, 4, 4), 44u + 8u - 8u);
    EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(littleEndian(bytes, 22, 2), 2u);        // channels
    EXPECT_EQ(littleEndian(bytes, 24, 4), 44100u);    // sample rate
    EXPECT_EQ(littleEndian(bytes, 28, 4), 176400u);   // bytes per second
    EXPECT_EQ(littleEndian(bytes, 34, 2), 16u);       // bits
    EXPECT_EQ(std::string(bytes.begin() + 36, bytes.begin() + 40), "data");
    EXPECT_EQ(littleEndian(bytes, 40, 4), 8u);
    EXPECT_EQ(littleEndian(bytes, 44, 2), 100u);
    EXPECT_EQ(littleEndian(bytes, 46, 2), 0xFF9Cu);   // -100
    EXPECT_EQ(littleEndian(bytes, 48, 2), 0x1234u);
}

TEST(AudioCut, WavIntoAMissingFolderIsRefusedWithTheFileName)
{
    std::string error;
    EXPECT_FALSE(writeWav("/nonexistent-kesu-folder/cut.wav", {0, 0}, error));
    EXPECT_NE(error.find("/nonexistent-kesu-folder/cut.wav"), std::string::npos) << error;
}

TEST(FindProgram, FindsOnlyExecutableFilesOnThePath)
{
    PathGuard guard;
    const std::string folder = makeTempFolder("path");
    const std::string tool = folder + "/kesu-fake-tool";
    std::ofstream(tool) << "#!/bin/sh\n";
    const std::string plain = folder + "/kesu-plain-file";
    std::ofstream(plain) << "text\n";
    ASSERT_EQ(chmod(tool.c_str(), 0755), 0);
    setenv("PATH", ("/nonexistent-kesu-folder:" + folder).c_str(), 1);
    EXPECT_EQ(findProgram("kesu-fake-tool"), tool);
    EXPECT_EQ(findProgram("kesu-plain-file"), "");
    EXPECT_EQ(findProgram("kesu-no-such-tool"), "");
}

TEST(VideoEncoder, FfmpegThatCannotWriteItsFileIsReportedAtTheEnd)
{
    // As in the capture tool: an ffmpeg that quits early makes the write fail, not the process.
    std::signal(SIGPIPE, SIG_IGN);
    const std::string ffmpeg = findProgram("ffmpeg");
    ASSERT_FALSE(ffmpeg.empty()) << "ffmpeg is not installed; scripts/setup.sh installs it";
    const std::string folder = makeTempFolder("encoder");
    std::string error;
    ASSERT_TRUE(writeWav(folder + "/a.wav", std::vector<std::int16_t>(2 * 1470, 0), error)) << error;
    VideoSettings settings;
    settings.ffmpegPath = ffmpeg;
    settings.audioPath = folder + "/a.wav";
    settings.outputPath = folder + "/missing-folder/out.mp4";
    settings.width = 16;
    settings.height = 16;
    settings.rate = FrameRate{30, 1};
    VideoEncoder encoder;
    ASSERT_TRUE(startVideo(encoder, settings, error)) << error;
    const std::vector<std::uint8_t> frame(16 * 16 * 4, 128);
    bool fed = true;
    for (int i = 0; i < 2 && fed; ++i) fed = encodeFrame(encoder, frame.data(), frame.size(), error);
    EXPECT_FALSE(finishVideo(encoder, error));
    EXPECT_NE(error.find("ffmpeg"), std::string::npos) << error;
}
