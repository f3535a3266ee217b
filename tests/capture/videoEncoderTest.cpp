#include "tools/capture/videoEncoder.h"

#include "tests/support/processRunner.h"

#include <gtest/gtest.h>

#include <csignal>

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
