#include "platform/renderWindow.h"

#include <gtest/gtest.h>

#include <GL/gl.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

const char* const labels[] = {"Registering The Window Class: ", "ChangeDisplaySettings: ", "AdjustWindowRectEx: ",
                              "CreateWindowEx: ", "GetDC: ", "ChoosePixelFormat: ", "SetPixelFormat: ",
                              "wglCreateContext: ", "wglMakeCurrent: ", "ShowWindow: ", "SetForegroundWindow: "};

// Runs each test in a folder of its own, since the log goes to the working directory.
class RenderWindowCreation : public ::testing::Test {
protected:
    void SetUp() override
    {
        char buffer[4096];
        ASSERT_NE(getcwd(buffer, sizeof buffer), nullptr);
        previousDirectory = buffer;
        std::string pattern = ::testing::TempDir() + "kesu-window-XXXXXX";
        ASSERT_NE(mkdtemp(&pattern[0]), nullptr);
        directory = pattern;
        ASSERT_EQ(chdir(directory.c_str()), 0);
    }
    void TearDown() override { ASSERT_EQ(chdir(previousDirectory.c_str()), 0); }

    static std::string readLog()
    {
        std::ifstream file("kesu.log", std::ios::binary);
        std::ostringstream text;
        text << file.rdbuf();
        return text.str();
    }

    std::string previousDirectory;
    std::string directory;
};

} // namespace

// The offscreen driver's display offers only its desktop mode, 1024 x 768.
TEST_F(RenderWindowCreation, LogsElevenStepsAllOkWhenTheDisplayOffersTheMode)
{
    RenderWindow renderWindow;
    PlatformWindow* window = nullptr;
    bool deviceContext = false;
    createRenderWindow(renderWindow, &window, &deviceContext, 1024, 768, 32, 16);

    std::string expected;
    for (const char* label : labels) expected += std::string(label) + "OK\n";
    EXPECT_EQ(readLog(), expected);

    ASSERT_NE(renderWindow.renderingContext, nullptr);
    EXPECT_NE(window, nullptr);
    EXPECT_EQ(renderWindow.width, 1024);
    EXPECT_EQ(renderWindow.height, 768);
    EXPECT_EQ(renderWindow.colourBits, 32);
    EXPECT_EQ(renderWindow.currentImage, &renderWindow.pendingImage);
    EXPECT_EQ(renderWindow.pendingImage.pixels, nullptr);
    EXPECT_NE(renderWindow.glActiveTextureARB, nullptr);
    EXPECT_NE(renderWindow.glMultiTexCoord2fvARB, nullptr);
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 1024);
    EXPECT_EQ(viewport[3], 768);
    GLint depthBits = 0, stencilBits = 0;
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    glGetIntegerv(GL_STENCIL_BITS, &stencilBits);
    EXPECT_GE(depthBits, 16);
    EXPECT_GE(stencilBits, 1);

    destroyRenderWindow(renderWindow, &window, &deviceContext);
}

TEST_F(RenderWindowCreation, StopsTheLogAtAFailedModeChangeAndStillCreatesTheWindow)
{
    RenderWindow renderWindow;
    PlatformWindow* window = nullptr;
    bool deviceContext = false;
    createRenderWindow(renderWindow, &window, &deviceContext, 640, 480, 32, 16);

    EXPECT_EQ(readLog(), "Registering The Window Class: OK\nChangeDisplaySettings: fAiLUre\n");
    EXPECT_NE(window, nullptr);
    EXPECT_NE(renderWindow.renderingContext, nullptr);
    EXPECT_EQ(renderWindow.width, 640);
    EXPECT_EQ(renderWindow.height, 480);
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 640);
    EXPECT_EQ(viewport[3], 480);
    destroyRenderWindow(renderWindow, &window, &deviceContext);
}

TEST_F(RenderWindowCreation, ReleaseClearsWhatItReleasedSoASecondPassReleasesNothing)
{
    RenderWindow renderWindow;
    PlatformWindow* window = nullptr;
    bool deviceContext = false;
    createRenderWindow(renderWindow, &window, &deviceContext, 1024, 768, 32, 16);
    ASSERT_NE(renderWindow.renderingContext, nullptr);

    ::testing::internal::CaptureStderr();
    destroyRenderWindow(renderWindow, &window, &deviceContext);
    EXPECT_EQ(renderWindow.renderingContext, nullptr);
    EXPECT_EQ(window, nullptr);
    EXPECT_FALSE(deviceContext);
    EXPECT_FALSE(renderWindow.instance);
    // A second pass meets only cleared handles: no release runs twice, no failure is shown.
    destroyRenderWindow(renderWindow, &window, &deviceContext);
    EXPECT_EQ(::testing::internal::GetCapturedStderr().find("SHUTDOWN ERROR"), std::string::npos);
}
