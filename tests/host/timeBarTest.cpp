// The time bar over the show: the pixels under it are put back after each frame, so the
// picture a window keeps from frame to frame never holds it.
#include "host/timeBar.h"

#include "platform/display/renderWindow.h"
#include "platform/files/loadError.h"
#include "timeline/demoSession.h"

#include <GL/gl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

std::vector<unsigned char> readBack(int width, int height)
{
    std::vector<unsigned char> pixels(static_cast<std::size_t>(width * height * 4));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

} // namespace

TEST(TimeBar, ShowsTheTimeAndThePart)
{
    EXPECT_EQ(timeBarText(83.46, 173.0), "1:23.4 / 2:53");
    EXPECT_EQ(timeBarText(5.0, 173.0), "0:05.0 / 2:53");
    EXPECT_EQ(timeBarText(200.0, 173.0), "2:53.0 / 2:53");
}

// The bar shows over the picture, and taken out it leaves the picture exactly as it was: the
// picture the next frame builds on, and the one a screenshot while paused reads.
TEST(TimeBar, TakenOutItLeavesThePictureAsItWas)
{
    constexpr int width = 160, height = 120;
    PlatformOffscreen offscreen;
    RenderWindow renderWindow;
    std::string error;
    ASSERT_TRUE(createOffscreenRenderWindow(width, height, renderWindow, offscreen, error)) << error;
    ASSERT_EQ(chdir((std::string(KESU_BINARY_DIR) + "/testdata").c_str()), 0);
    DemoSession session;
    session.renderWindow = &renderWindow;
    LoadError loadError;
    ASSERT_TRUE(showWaitScreen(session, loadError) && loadDemoSession(session, loadError)) << formatLoadError(loadError);
    stepDemoFrame(session, restartDemoSession(session, 90.0));
    const std::vector<unsigned char> picture = readBack(width, height);
    TimeBar bar;
    drawTimeBar(bar, 90.0, width, height);
    const std::vector<unsigned char> withBar = readBack(width, height);
    EXPECT_NE(withBar, picture) << "the bar does not show";
    // Only the bottom rows change.
    EXPECT_TRUE(std::equal(withBar.begin() + static_cast<std::ptrdiff_t>(bar.height * width * 4), withBar.end(),
                           picture.begin() + static_cast<std::ptrdiff_t>(bar.height * width * 4)));
    removeTimeBar(bar);
    EXPECT_EQ(readBack(width, height), picture) << "the bar stayed in the picture";
    destroyOffscreenRenderWindow(renderWindow, offscreen);
}
