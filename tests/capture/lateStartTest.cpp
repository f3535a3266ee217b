// A capture that steps the frames before its pictures, and the player's late start, against a
// capture that draws every frame from 0: the particles' history, the logo column's phase, the GL state earlier windows leave
// and the credits' open tunnel end all come out the same, but for rounding: the driver's
// caches of compiled shaders follow its history and may round a pixel one step apart.
#include "platform/display/renderWindow.h"
#include "platform/files/loadError.h"
#include "tests/capture/captureRun.h"
#include "tests/support/regularBuildOnly.h"
#include "timeline/demoSession.h"

#include <GL/gl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>

TEST(LateStart, SteppedFramesGiveThePicturesOfARunThatDrawsEveryFrame)
{
    KESU_REGULAR_BUILD_ONLY("pictures compared; stepping runs in GoldenFrames and WildScenes");
    const std::string folder = makeTempFolder("late-start");
    // The grass under the warp overlay at 30 s (a window that clears, after the title's that
    // keeps its picture), sparks at 86 s, the robot at 120 s, the finale's logo phase at 150 s,
    // the closing at 170.5 s.
    std::vector<std::string> args = {"--size", "96x72", "--fps", "20", "--at", "30", "--at", "86",
                                     "--at",   "120",   "--at",  "150", "--at", "170.5"};
    std::vector<std::string> stepped = args, drawn = args;
    stepped.insert(stepped.end(), {"--out", folder + "/stepped"});
    drawn.insert(drawn.end(), {"--every-frame", "--out", folder + "/drawn"});
    for (const auto& run : {stepped, drawn}) {
        const ProcessResult result = runCapture(run, 300.0);
        ASSERT_EQ(result.exitStatus, 0) << result.err;
    }
    const std::vector<std::string> steppedFiles = pngFilesIn(folder + "/stepped");
    const std::vector<std::string> drawnFiles = pngFilesIn(folder + "/drawn");
    ASSERT_EQ(steppedFiles.size(), 5u);
    ASSERT_EQ(drawnFiles.size(), 5u);
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

namespace {

// The back buffer as a picture, top row first.
Picture readBack(int width, int height)
{
    Picture picture{width, height, std::string(static_cast<std::size_t>(width * height * 4), '\0')};
    std::string bottomUp(picture.rgba.size(), '\0');
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, &bottomUp[0]);
    for (int row = 0; row < height; ++row)
        picture.rgba.replace(static_cast<std::size_t>(row * width * 4), static_cast<std::size_t>(width * 4), bottomUp,
                             static_cast<std::size_t>((height - 1 - row) * width * 4), static_cast<std::size_t>(width * 4));
    return picture;
}

} // namespace

// The player's own restart, as --from, a seek and a loop use it, in this process: a session
// seeked back and forth lands at each time on the frame a capture that draws every frame
// from 0 shows then, the particles, the beat and the GL state earlier windows leave all
// brought there. In the windows that keep their picture (the title with its blinds at 14 s,
// the credits at 100 s) only the last frames the picture builds on are drawn again, over the
// wait screen or what was on screen: what they keep of older frames may differ, by no more
// than the bounds below. Then a loop (a restart at 0) lands at 40 s on the first landing's
// picture.
TEST(Seek, SessionSeekedBackAndForthLandsOnTheFramesOfARunFromZero)
{
    KESU_REGULAR_BUILD_ONLY("pictures compared; restarts run in HistoryStep and the keys' X test");
    const std::string folder = makeTempFolder("seek");
    const ProcessResult result = runCapture({"--size", "64x48", "--fps", "60", "--at", "14", "--at", "40", "--at", "100",
                                             "--at", "120", "--at", "150", "--every-frame", "--out", folder},
                                            600.0);
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    std::map<double, Picture> fromZero;
    std::string error;
    for (const std::string& file : pngFilesIn(folder)) {
        const double at = std::atof(file.substr(file.rfind("at-") + 3).c_str());
        fromZero[at] = readPicture(file, error);
        ASSERT_TRUE(error.empty()) << error;
    }
    ASSERT_EQ(fromZero.size(), 5u);

    PlatformOffscreen offscreen;
    RenderWindow renderWindow;
    ASSERT_TRUE(createOffscreenRenderWindow(64, 48, renderWindow, offscreen, error)) << error;
    ASSERT_EQ(chdir((std::string(KESU_BINARY_DIR) + "/testdata").c_str()), 0);
    DemoSession session;
    session.renderWindow = &renderWindow;
    LoadError loadError;
    ASSERT_TRUE(showWaitScreen(session, loadError) && loadDemoSession(session, loadError)) << formatLoadError(loadError);
    Picture firstAt40;
    for (const double at : {40.0, 100.0, 14.0, 120.0, 150.0, 100.0, 0.0, 40.0}) {
        SCOPED_TRACE("landing at " + std::to_string(at) + " s");
        const float start = restartDemoSession(session, at);
        EXPECT_EQ(start, static_cast<float>(at));
        stepDemoFrame(session, start);
        const Picture landing = readBack(64, 48);
        if (at == 0.0) continue;
        const bool keptPicture = at == 14.0 || at == 100.0;
        const PictureDifference difference = comparePictures(landing, fromZero[at]);
        std::printf("landing at %.0f s against a run from 0: mean difference %.2f, %.2f%% of pixels off by more than 32\n",
                    at, difference.meanAbsolute, 100.0 * difference.fractionOffBy32);
        EXPECT_LT(difference.meanAbsolute, keptPicture ? 6.0 : 2.0);
        EXPECT_LT(difference.fractionOffBy32, keptPicture ? 0.08 : 0.01);
        if (at == 40.0 && firstAt40.rgba.empty()) {
            firstAt40 = landing;
        } else if (at == 40.0) {
            EXPECT_EQ(comparePictures(landing, firstAt40).meanAbsolute, 0.0) << "a loop's second pass differs from its first";
        }
    }
    std::printf("snapshots kept: %zu, %.1f MB\n", session.history.snapshots.size(), session.history.bytes() / 1e6);
    destroyOffscreenRenderWindow(renderWindow, offscreen);
}
