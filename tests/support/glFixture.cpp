#include "tests/support/glFixture.h"

#include "platform/display/desktopWindow.h"

#include <cstdlib>
#include <string>

namespace {

PlatformOffscreen offscreen;
RenderWindow* testWindow = nullptr;

} // namespace

bool ensureGlContext(std::string& error)
{
    if (testWindow) return true;
    auto* window = new RenderWindow;
    if (!createOffscreenRenderWindow(GlTest::viewportWidth, GlTest::viewportHeight, *window, offscreen, error)) {
        delete window;
        return false;
    }
    testWindow = window;
    // The context lives until the test program exits; the driver tears it down then.
    return true;
}

void releaseGlContext() { platformMakeCurrent(nullptr, nullptr); }

void restoreGlContext() { platformMakeCurrent(offscreen.window, offscreen.context); }

void GlTest::SetUp()
{
    std::string error;
    ASSERT_TRUE(ensureGlContext(error)) << "no GL context: " << error;
    glViewport(0, 0, viewportWidth, viewportHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    while (glGetError() != GL_NO_ERROR) {
    }
}

void GlTest::TearDown()
{
    if (testWindow) {
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
}

RenderWindow& GlTest::renderWindow() { return *testWindow; }

std::array<int, 4> GlTest::readPixel(int x, int y)
{
    unsigned char rgba[4] = {0, 0, 0, 0};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    return {rgba[0], rgba[1], rgba[2], rgba[3]};
}

::testing::AssertionResult pixelNear(const std::array<int, 4>& actual, const std::array<int, 4>& expected,
                                     int tolerance)
{
    for (int i = 0; i < 4; ++i) {
        if (std::abs(actual[i] - expected[i]) > tolerance) {
            return ::testing::AssertionFailure()
                   << "pixel (" << actual[0] << ", " << actual[1] << ", " << actual[2] << ", " << actual[3]
                   << ") differs from (" << expected[0] << ", " << expected[1] << ", " << expected[2] << ", "
                   << expected[3] << ") by more than " << tolerance;
        }
    }
    return ::testing::AssertionSuccess();
}
