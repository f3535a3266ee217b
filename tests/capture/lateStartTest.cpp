// A capture that steps the frames before its pictures, and the player's late start, against a
// capture that draws every frame from 0: the particles' history, the logo column's phase, the GL state earlier windows leave
// and the credits' open tunnel end all come out the same, but for rounding: the driver's
// caches of compiled shaders follow its history and may round a pixel one step apart.
#include "platform/loadError.h"
#include "platform/renderWindow.h"
#include "tests/capture/captureRun.h"
#include "timeline/demoSession.h"

#include <GL/gl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

TEST(LateStart, SteppedFramesGiveThePicturesOfARunThatDrawsEveryFrame)
{
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

// The player's --from: the history stepped in this process as the player steps it, then the
// frame at 100 s drawn, against a capture that draws every frame from 0.
TEST(LateStart, PlayerStartingAt100sDrawsTheFrameOfARunFromZero)
{
    const std::string folder = makeTempFolder("player-from");
    const ProcessResult result =
        runCapture({"--size", "64x48", "--fps", "60", "--at", "100", "--every-frame", "--out", folder}, 300.0);
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    std::string error;
    const std::vector<std::string> files = pngFilesIn(folder);
    ASSERT_EQ(files.size(), 1u);
    const Picture fromZero = readPicture(files[0], error);
    ASSERT_TRUE(error.empty()) << error;

    PlatformOffscreen offscreen;
    RenderWindow renderWindow;
    ASSERT_TRUE(createOffscreenRenderWindow(64, 48, renderWindow, offscreen, error)) << error;
    ASSERT_EQ(chdir((std::string(KESU_BINARY_DIR) + "/testdata").c_str()), 0);
    DemoSession session;
    session.renderWindow = &renderWindow;
    LoadError loadError;
    ASSERT_TRUE(showWaitScreen(session, loadError) && loadDemoSession(session, loadError)) << formatLoadError(loadError);
    const float start = restartDemoSession(session, 100.0);
    EXPECT_EQ(start, 100.0f);
    stepDemoFrame(session, start);

    Picture player{64, 48, std::string(64 * 48 * 4, '\0')};
    std::string bottomUp(player.rgba.size(), '\0');
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, 64, 48, GL_RGBA, GL_UNSIGNED_BYTE, &bottomUp[0]);
    for (int row = 0; row < 48; ++row) player.rgba.replace(row * 64 * 4, 64 * 4, bottomUp, (47 - row) * 64 * 4, 64 * 4);
    const PictureDifference difference = comparePictures(player, fromZero);
    EXPECT_LT(difference.meanAbsolute, 2.0);
    EXPECT_LT(difference.fractionOffBy32, 0.01);
    destroyOffscreenRenderWindow(renderWindow, offscreen);
}
