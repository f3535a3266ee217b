#include "tests/timeline/demoPackFixture.h"

#include "platform/files/loadError.h"
#include "tests/support/processRunner.h"

#include <GL/gl.h>

#include <unistd.h>

#include <string>

DemoSession& DemoPackTest::session()
{
    static DemoSession demoSession;
    return demoSession;
}

void DemoPackTest::SetUp()
{
    GlTest::SetUp();
    static bool loaded = false;
    static std::string problem;
    if (!loaded && problem.empty()) {
        const std::string data = generatedDataFolder();
        session().renderWindow = &renderWindow();
        LoadError error;
        if (data.empty()) {
            problem = "the generated data pack is missing";
        } else if (chdir((data + "/..").c_str()) != 0) {
            problem = "cannot enter " + data + "/..";
        } else if (!showWaitScreen(session(), error) || !loadDemoSession(session(), error)) {
            problem = formatLoadError(error);
        } else {
            loaded = true;
        }
    }
    ASSERT_TRUE(loaded) << problem;
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_STENCIL_TEST);
    glClearColor(0.2f, 0.4f, 0.6f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
}

std::vector<std::array<int, 4>> DemoPackTest::probes()
{
    std::vector<std::array<int, 4>> pixels;
    for (int y : {2, 20, 32, 45, 61}) {
        for (int x : {2, 17, 32, 48, 61}) pixels.push_back(readPixel(x, y));
    }
    return pixels;
}
