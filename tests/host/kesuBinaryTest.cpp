#include "tests/support/processRunner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>
#include <string>

namespace {

const std::string kesuBinary = std::string(KESU_BINARY_DIR) + "/host/kesu";

ProcessOptions headless(const std::string& folder)
{
    ProcessOptions options;
    options.workingDirectory = folder;
    options.setEnvironment = {{"SDL_VIDEODRIVER", "offscreen"}, {"SDL_AUDIODRIVER", "dummy"}};
    options.timeoutSeconds = 120.0;
    return options;
}

std::string readFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

} // namespace

TEST(KesuProgram, PlaysAndEndsWithinASecondOfACloseRequest)
{
    const std::string folder = makeRunFolder("kesu-run", "1024 768 0\n");
    ASSERT_FALSE(folder.empty()) << "the generated data pack is missing from the build";
    ProcessOptions options = headless(folder);
    // The close request (SDL turns SIGTERM into one) comes two seconds into the music, so
    // the loop has drawn many frames by then.
    double playingSince = -1.0;
    options.sendSignalWhen = [&playingSince](const std::string& out, const std::string&) {
        if (out.find("kesu: playing") == std::string::npos) return false;
        const double now = std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
        if (playingSince < 0) playingSince = now;
        return now - playingSince >= 2.0;
    };
    double afterSignal = -1.0;
    const ProcessResult result = runProcess(kesuBinary, {}, options, &afterSignal);
    EXPECT_FALSE(result.timedOut) << result.err;
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    ASSERT_GE(afterSignal, 0.0) << "the program never started playing: " << result.err;
    EXPECT_LT(afterSignal, 1.0);

    std::string expected;
    for (const char* label : {"Registering The Window Class: ", "ChangeDisplaySettings: ", "AdjustWindowRectEx: ",
                              "CreateWindowEx: ", "GetDC: ", "ChoosePixelFormat: ", "SetPixelFormat: ",
                              "wglCreateContext: ", "wglMakeCurrent: ", "ShowWindow: ", "SetForegroundWindow: "})
        expected += std::string(label) + "OK\n";
    EXPECT_EQ(readFile(folder + "/kesu.log"), expected);
}

TEST(KesuProgram, StopsWithAMessageWhenThereIsNoDisplay)
{
    const std::string folder = makeRunFolder("kesu-nodisplay", "1024 768 0\n");
    ASSERT_FALSE(folder.empty()) << "the generated data pack is missing from the build";
    ProcessOptions options = headless(folder);
    options.setEnvironment = {{"SDL_AUDIODRIVER", "dummy"}};
    options.unsetEnvironment = {"SDL_VIDEODRIVER", "DISPLAY", "WAYLAND_DISPLAY"};
    const ProcessResult result = runProcess(kesuBinary, {}, options);
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitStatus, 1);
    // One cause, one message: the first failed step, then what to do.
    EXPECT_NE(result.err.find("no display"), std::string::npos) << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 2) << result.err;
    EXPECT_NE(result.err.find("kesu-capture"), std::string::npos) << result.err;
}

TEST(KesuProgram, StopsBeforeTheWindowWhenTheMusicIsMissing)
{
    const std::string folder = makeRunFolder("kesu-nomusic", "1024 768 0\n");
    ASSERT_FALSE(folder.empty()) << "the generated data pack is missing from the build";
    ASSERT_EQ(std::remove((folder + "/data/little.mp3").c_str()), 0);
    const ProcessResult result = runProcess(kesuBinary, {}, headless(folder));
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_NE(result.err.find("data/little.mp3"), std::string::npos) << result.err;
    // Nothing of the window was attempted: no log was written.
    EXPECT_EQ(readFile(folder + "/kesu.log"), "");
}
