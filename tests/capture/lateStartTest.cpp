// A capture that steps the frames before its pictures against one that draws every frame
// from 0: the particles' history, the logo column's phase, the GL state earlier windows leave
// and the credits' open tunnel end all come out the same, but for rounding: the driver's
// caches of compiled shaders follow its history and may round a pixel one step apart.
#include "tests/capture/captureRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

TEST(LateStart, SteppedFramesGiveThePicturesOfARunThatDrawsEveryFrame)
{
    const std::string folder = makeTempFolder("late-start");
    // Sparks at 86 s, the robot at 120 s, the finale's logo phase at 150 s, the closing at 170.5 s.
    std::vector<std::string> args = {"--size", "96x72", "--fps", "20", "--at", "86",  "--at",
                                     "120",    "--at",  "150",  "--at", "170.5"};
    std::vector<std::string> stepped = args, drawn = args;
    stepped.insert(stepped.end(), {"--out", folder + "/stepped"});
    drawn.insert(drawn.end(), {"--every-frame", "--out", folder + "/drawn"});
    for (const auto& run : {stepped, drawn}) {
        const ProcessResult result = runCapture(run, 300.0);
        ASSERT_EQ(result.exitStatus, 0) << result.err;
    }
    const std::vector<std::string> steppedFiles = pngFilesIn(folder + "/stepped");
    const std::vector<std::string> drawnFiles = pngFilesIn(folder + "/drawn");
    ASSERT_EQ(steppedFiles.size(), 4u);
    ASSERT_EQ(drawnFiles.size(), 4u);
    for (std::size_t i = 0; i < steppedFiles.size(); ++i) {
        std::string error;
        const Picture a = readPicture(steppedFiles[i], error);
        const Picture b = readPicture(drawnFiles[i], error);
        ASSERT_TRUE(error.empty()) << error;
        ASSERT_EQ(a.rgba.size(), b.rgba.size());
        int largest = 0;
        for (std::size_t k = 0; k < a.rgba.size(); ++k) {
            largest = std::max(largest, std::abs(static_cast<unsigned char>(a.rgba[k]) -
                                                 static_cast<unsigned char>(b.rgba[k])));
        }
        EXPECT_LE(largest, 2) << steppedFiles[i];
    }
}
