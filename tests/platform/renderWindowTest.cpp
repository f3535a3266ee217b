#include "platform/display/renderWindow.h"

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

// The offscreen driver's display offers only its desktop mode, 1024 x 768: there the log
// holds all eleven steps, each OK; at 640 x 480 it stops at the failed mode change, and the
// window and context are made all the same. Releasing clears what it released, so a second
// pass meets only cleared handles and reports no failure.
TEST_F(RenderWindowCreation, LogsEachStepUntilTheFirstFailureAndReleasesOnce)
{
    std::string allOk;
    for (const char* label : labels) allOk += std::string(label) + "OK\n";
    struct Row {
        int width, height;
        std::string log;
    };
    for (const Row& row : {Row{1024, 768, allOk},
                           Row{640, 480, "Registering The Window Class: OK\nChangeDisplaySettings: fAiLUre\n"}}) {
        SCOPED_TRACE(row.width);
        RenderWindow renderWindow;
        PlatformWindow* window = nullptr;
        bool deviceContext = false;
        createRenderWindow(renderWindow, &window, &deviceContext, row.width, row.height, 32, 16);
        EXPECT_EQ(readLog(), row.log);
        ASSERT_NE(renderWindow.renderingContext, nullptr);
        EXPECT_NE(renderWindow.glActiveTextureARB, nullptr);
        GLint viewport[4] = {0, 0, 0, 0}, stencilBits = 0;
        glGetIntegerv(GL_VIEWPORT, viewport);
        glGetIntegerv(GL_STENCIL_BITS, &stencilBits);
        EXPECT_EQ(viewport[2], row.width);
        EXPECT_EQ(viewport[3], row.height);
        EXPECT_GE(stencilBits, 1);
        ::testing::internal::CaptureStderr();
        destroyRenderWindow(renderWindow, &window, &deviceContext);
        EXPECT_EQ(renderWindow.renderingContext, nullptr);
        EXPECT_EQ(window, nullptr);
        EXPECT_FALSE(deviceContext);
        destroyRenderWindow(renderWindow, &window, &deviceContext);
        EXPECT_EQ(::testing::internal::GetCapturedStderr().find("SHUTDOWN ERROR"), std::string::npos);
    }
}
