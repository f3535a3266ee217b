// kesu-capture end to end on the generated data pack, at small sizes and short spans.
#include "tests/capture/captureRun.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>

namespace {

constexpr double captureTimeout = 300.0;

// The pictures of a PNG sequence, in frame order.
std::vector<Picture> readSequence(const std::string& folder)
{
    std::vector<Picture> pictures;
    for (const std::string& path : pngFilesIn(folder)) {
        std::string error;
        pictures.push_back(readPicture(path, error));
        EXPECT_TRUE(error.empty()) << error;
    }
    return pictures;
}

// "codec_type,duration,nb_frames" per stream from ffprobe.
struct StreamInfo {
    double videoSeconds = -1.0;
    double audioSeconds = -1.0;
    long videoFrames = -1;
};

StreamInfo probe(const std::string& path)
{
    StreamInfo info;
    const std::string command =
        "ffprobe -v error -show_entries stream=codec_type,duration,nb_frames -of csv=p=0 '" + path + "'";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe) return info;
    char line[256];
    while (std::fgets(line, sizeof line, pipe.get())) {
        char kind[32] = {};
        double seconds = 0.0;
        long frames = 0;
        const int fields = std::sscanf(line, "%31[^,],%lf,%ld", kind, &seconds, &frames);
        if (fields >= 2 && std::string(kind) == "video") {
            info.videoSeconds = seconds;
            if (fields == 3) info.videoFrames = frames;
        } else if (fields >= 2 && std::string(kind) == "audio") {
            info.audioSeconds = seconds;
        }
    }
    return info;
}

} // namespace

TEST(CaptureRun, TwoCapturesOfTheSameSpanGiveIdenticalPixels)
{
    const std::string folder = makeTempFolder("same-span");
    for (const char* name : {"/a", "/b"}) {
        const ProcessResult result =
            runCapture({"--size", "96x72", "--fps", "30", "--from", "2", "--to", "2.5", "--out", folder + name},
                       captureTimeout);
        ASSERT_EQ(result.exitStatus, 0) << result.err;
        EXPECT_NE(result.err.find("frames/s"), std::string::npos) << "no progress line: " << result.err;
    }
    const std::vector<Picture> first = readSequence(folder + "/a");
    const std::vector<Picture> second = readSequence(folder + "/b");
    ASSERT_EQ(first.size(), 15u);
    ASSERT_EQ(second.size(), 15u);
    for (std::size_t i = 0; i < first.size(); ++i) {
        ASSERT_EQ(first[i].width, 96);
        EXPECT_TRUE(first[i].rgba == second[i].rgba) << "frame " << i;
    }
    // The title's particles move: a sequence of one repeated picture would prove nothing.
    EXPECT_FALSE(first.front().rgba == first.back().rgba);
}

TEST(CaptureRun, SpanStartingLaterShowsTheFramesOfARunFromZero)
{
    const std::string folder = makeTempFolder("from-zero");
    const ProcessResult late =
        runCapture({"--size", "96x72", "--fps", "30", "--from", "2", "--to", "2.5", "--out", folder + "/late"},
                   captureTimeout);
    ASSERT_EQ(late.exitStatus, 0) << late.err;
    const ProcessResult whole =
        runCapture({"--size", "96x72", "--fps", "30", "--from", "0", "--to", "2.5", "--out", folder + "/whole"},
                   captureTimeout);
    ASSERT_EQ(whole.exitStatus, 0) << whole.err;
    const std::vector<Picture> lateFrames = readSequence(folder + "/late");
    const std::vector<Picture> wholeFrames = readSequence(folder + "/whole");
    ASSERT_EQ(lateFrames.size(), 15u);
    ASSERT_EQ(wholeFrames.size(), 75u);
    for (std::size_t i = 0; i < lateFrames.size(); ++i) {
        EXPECT_TRUE(lateFrames[i].rgba == wholeFrames[60 + i].rgba) << "frame " << i << " of the late span";
    }
}

TEST(CaptureRun, VideoSoundLastsAsLongAsItsPicturesToWithinOneAudioFrame)
{
    const std::string folder = makeTempFolder("video");
    struct Case {
        const char* rate;
        const char* from;
        const char* to;
        long frames;
        double seconds;
    };
    // 12 s is 359.64 frames at 30000/1001, so that span starts off the grid.
    for (const Case& c : {Case{"30000/1001", "12", "13", 30, 30 * 1001 / 30000.0}, Case{"24", "0", "0.5", 12, 0.5}}) {
        SCOPED_TRACE(c.rate);
        const std::string video = folder + "/span.mp4";
        const ProcessResult result =
            runCapture({"--size", "64x48", "--fps", c.rate, "--from", c.from, "--to", c.to, "--out", video},
                       captureTimeout);
        ASSERT_EQ(result.exitStatus, 0) << result.err;
        const StreamInfo info = probe(video);
        ASSERT_GT(info.videoSeconds, 0.0) << "no video stream; is ffprobe installed?";
        ASSERT_GT(info.audioSeconds, 0.0) << "no audio stream";
        EXPECT_EQ(info.videoFrames, c.frames);
        EXPECT_NEAR(info.videoSeconds, c.seconds, 0.0005);
        // One AAC frame is 1024 samples.
        EXPECT_NEAR(info.audioSeconds, info.videoSeconds, 1024.0 / 44100.0);
    }
}

TEST(CaptureRun, MissingFfmpegIsReportedBeforeAnyFrameIsDrawn)
{
    const std::string video = makeTempFolder("no-ffmpeg") + "/x.mp4";
    const ProcessResult result = runCapture({"--size", "64x48", "--from", "0", "--to", "1", "--out", video},
                                            captureTimeout, {{"PATH", "/nonexistent-kesu-folder"}});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_NE(result.err.find("ffmpeg is not installed"), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find("frames/s"), std::string::npos) << result.err;
    EXPECT_FALSE(std::filesystem::exists(video));
}

TEST(CaptureRun, OutputsThatCannotBeWrittenAreNamedBeforeRendering)
{
    const std::string folder = makeTempFolder("unwritable");
    const std::string blocker = folder + "/plain-file";
    std::fclose(std::fopen(blocker.c_str(), "w"));
    struct Case {
        std::vector<std::string> args;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {{"--out", folder + "/missing/x.mp4"}, "cannot write " + folder + "/missing/x.mp4"},
        {{"--contact-sheet", folder + "/missing/s.png"}, "cannot write " + folder + "/missing/s.png"},
        {{"--out", blocker + "/frames"}, "cannot create " + blocker + "/frames"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"--size", "32x24", "--fps", "10", "--from", "0", "--to", "0.5"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const ProcessResult result = runCapture(args, captureTimeout);
        EXPECT_EQ(result.exitStatus, 1) << c.expected;
        EXPECT_NE(result.err.find(c.expected), std::string::npos) << result.err;
        EXPECT_EQ(result.err.find("frames/s"), std::string::npos) << result.err;
    }
}

TEST(CaptureRun, ContactSheetLaysOutLabelledTilesOfEvenlySpreadFrames)
{
    const std::string sheetPath = makeTempFolder("sheet") + "/sheet.png";
    const ProcessResult result = runCapture(
        {"--size", "64x36", "--fps", "10", "--from", "1", "--to", "3", "--count", "4", "--contact-sheet", sheetPath},
        captureTimeout);
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    std::string error;
    const Picture sheet = readPicture(sheetPath, error);
    ASSERT_TRUE(error.empty()) << error;
    EXPECT_EQ(sheet.width, 2 * (64 + 4) + 4);
    EXPECT_EQ(sheet.height, 2 * (36 + 4) + 4);
    const auto value = [&](int x, int y) { return static_cast<unsigned char>(sheet.rgba[(y * sheet.width + x) * 4]); };
    for (int tile = 0; tile < 4; ++tile) {
        const int left = 4 + (tile % 2) * 68, top = 4 + (tile / 2) * 40;
        int white = 0;
        for (int y = top + 1; y < top + 8; ++y) {
            for (int x = left + 1; x < left + 40; ++x) white += value(x, y) == 255;
        }
        EXPECT_EQ(value(left, top), 0) << "tile " << tile << " has no label box";
        EXPECT_GT(white, 20) << "tile " << tile << " has no label text";
    }
    // The ground between tiles.
    EXPECT_EQ(value(1, 1), 24);
}

TEST(CaptureRun, BenchPrintsLoadTimeEachWindowItCrossesAndTheReadbackCost)
{
    const ProcessResult result =
        runCapture({"--size", "64x48", "--fps", "10", "--from", "9", "--to", "11", "--bench"}, captureTimeout);
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    for (const char* expected : {"load: GL context", "TitleStreams ", "TitleStreams+BlindsMask+GrassScene", "95th ms",
                                 "all frames", "glReadPixels", "PNG", "H.264"}) {
        EXPECT_NE(result.out.find(expected), std::string::npos) << expected << " missing from:\n" << result.out;
    }
    EXPECT_EQ(result.out.find("BlobOrbit"), std::string::npos) << result.out;
}

TEST(CaptureRun, BadOptionsAreRefusedWithTheReason)
{
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--fps", "0", "--out", "x"}, "--fps wants"},
        {{"--from", "5", "--to", "4", "--out", "x"}, "--from must come before --to"},
        {{"--count", "3", "--out", "x"}, "--count goes with --contact-sheet"},
        {{"--at", "1", "--out", "x.mp4"}, "--at writes PNG files"},
        {{"--bench", "--out", "x"}, "choose one of"},
        {{"--to", "174", "--out", "x"}, "--to wants seconds from 0 to 173"},
        {{"--frobnicate"}, "unknown argument"},
    };
    for (const auto& c : cases) {
        const ProcessResult result = runCapture(c.first, captureTimeout);
        EXPECT_EQ(result.exitStatus, 2) << c.second;
        EXPECT_NE(result.err.find(c.second), std::string::npos) << result.err;
    }
    const ProcessResult help = runCapture({"--help"}, captureTimeout);
    EXPECT_EQ(help.exitStatus, 0);
    EXPECT_NE(help.out.find("usage: kesu-capture"), std::string::npos) << help.out;
}
