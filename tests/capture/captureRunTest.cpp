// kesu-capture end to end on the generated data pack, at small sizes and short spans.
#include "tests/capture/captureRun.h"
#include "tests/support/regularBuildOnly.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>

namespace {

constexpr double captureTimeout = 300.0;

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

// 12 s is 359.64 frames at 30000/1001, so the span starts off the grid; one AAC frame is
// 1024 samples. The span's music alone, as a WAV, is exactly the samples its 30 frames last:
// round(30 x 44100 x 1001 / 30000) = 44144.
TEST(CaptureRun, VideoSoundLastsAsLongAsItsPicturesToWithinOneAudioFrame)
{
    const std::string video = makeTempFolder("video") + "/span.mp4";
    const ProcessResult result = runCapture(
        {"--size", "64x48", "--fps", "30000/1001", "--from", "12", "--to", "13", "--out", video}, captureTimeout);
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    const StreamInfo info = probe(video);
    ASSERT_GT(info.videoSeconds, 0.0) << "no video stream; is ffprobe installed?";
    EXPECT_EQ(info.videoFrames, 30);
    EXPECT_NEAR(info.videoSeconds, 30 * 1001 / 30000.0, 0.0005);
    EXPECT_NEAR(info.audioSeconds, info.videoSeconds, 1024.0 / 44100.0);

    const std::string sound = makeTempFolder("sound") + "/span.wav";
    const ProcessResult wav =
        runCapture({"--fps", "30000/1001", "--from", "12", "--to", "13", "--out", sound}, captureTimeout);
    ASSERT_EQ(wav.exitStatus, 0) << wav.err;
    EXPECT_EQ(std::filesystem::file_size(sound), 44u + 44144u * 4u);
}

TEST(CaptureRun, OutputsThatCannotBeMadeAreNamedBeforeRendering)
{
    const std::string folder = makeTempFolder("unwritable");
    const std::string blocker = folder + "/plain-file";
    std::fclose(std::fopen(blocker.c_str(), "w"));
    struct Case {
        std::string option, output, expected;
        std::vector<std::pair<std::string, std::string>> environment;
    };
    const std::vector<Case> cases = {
        {"--out", folder + "/x.mp4", "ffmpeg is not installed", {{"PATH", "/nonexistent-kesu-folder"}}},
        {"--out", folder + "/missing/x.mp4", "cannot write " + folder + "/missing/x.mp4", {}},
        {"--contact-sheet", folder + "/missing/s.png", "cannot write " + folder + "/missing/s.png", {}},
        {"--out", blocker + "/frames", "cannot create " + blocker + "/frames", {}},
    };
    for (const Case& c : cases) {
        const ProcessResult result = runCapture(
            {"--size", "32x24", "--fps", "10", "--from", "0", "--to", "0.5", c.option, c.output}, captureTimeout,
            c.environment);
        EXPECT_EQ(result.exitStatus, 1) << c.expected;
        EXPECT_NE(result.err.find(c.expected), std::string::npos) << result.err;
        EXPECT_EQ(result.err.find("frames/s"), std::string::npos) << result.err;
        EXPECT_FALSE(std::filesystem::exists(c.output)) << c.output;
    }
}

// The immediate calls (KESU_IMMEDIATE=1) against the default path of recorded and
// batched geometry, across the show: the same pictures, but where the driver rounds a
// replayed list or a shader variant compiled along another history one or two steps apart.
TEST(ImmediatePath, DrawsThePicturesOfTheDefaultPathAcrossTheDemo)
{
    KESU_REGULAR_BUILD_ONLY("pictures compared; each path runs in the drawing folders' own tests");
    const std::string folder = makeTempFolder("immediate");
    std::vector<std::string> args = {"--size", "160x120", "--fps", "30"};
    for (const char* at : {"14", "30", "57", "75", "95", "120", "150", "170.5"}) args.insert(args.end(), {"--at", at});
    for (const char* path : {"immediate", "default"}) {
        std::vector<std::string> run = args;
        run.insert(run.end(), {"--out", folder + "/" + path});
        const ProcessResult result = runCapture(
            run, captureTimeout, {{"KESU_IMMEDIATE", std::string(path) == "immediate" ? "1" : "0"}});
        ASSERT_EQ(result.exitStatus, 0) << result.err;
    }
    const std::vector<std::string> immediate = pngFilesIn(folder + "/immediate");
    const std::vector<std::string> fast = pngFilesIn(folder + "/default");
    ASSERT_EQ(immediate.size(), 8u);
    ASSERT_EQ(fast.size(), 8u);
    for (std::size_t i = 0; i < immediate.size(); ++i) {
        std::string error;
        const Picture a = readPicture(immediate[i], error), b = readPicture(fast[i], error);
        ASSERT_EQ(a.rgba.size(), b.rgba.size()) << error;
        int largest = 0, differing = 0;
        for (std::size_t k = 0; k < a.rgba.size(); ++k) {
            const int step = std::abs(static_cast<unsigned char>(a.rgba[k]) - static_cast<unsigned char>(b.rgba[k]));
            largest = std::max(largest, step);
            differing += step != 0;
        }
        EXPECT_LE(largest, 2) << fast[i] << ": " << differing << " channel values differ";
    }
}
