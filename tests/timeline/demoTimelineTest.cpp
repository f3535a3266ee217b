#include "effects/blobOrbit.h"
#include "effects/grassScene.h"
#include "effects/robotCore.h"
#include "scene3ds/scene.h"
#include "effects/titleStreams.h"
#include "tests/timeline/demoPackFixture.h"
#include "timeline/demoSchedule.h"
#include "timeline/demoTimeline.h"

#include <GL/gl.h>

#include <array>
#include <cctype>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

using DemoTimeline = DemoPackTest;

// "closing sequence" is drawn by drawClosingSequence, "TitleStreams" by drawTitleStreams.
std::string drawNameOf(const char* scheduleName)
{
    std::string name = "draw";
    bool wordStart = true;
    for (const char* c = scheduleName; *c; ++c) {
        if (*c == ' ') {
            wordStart = true;
            continue;
        }
        name += wordStart ? static_cast<char>(std::toupper(static_cast<unsigned char>(*c))) : *c;
        wordStart = false;
    }
    return name;
}

// The fixture's frame: a blue-grey fill, depth test on, blending and texturing off.
void resetFrame()
{
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    glClearColor(0.2f, 0.4f, 0.6f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
}

std::array<float, 16> projection()
{
    std::array<float, 16> values{};
    glGetFloatv(GL_PROJECTION_MATRIX, values.data());
    return values;
}

} // namespace

// At each start and end of the schedule exactly the effects whose windows hold that moment
// strictly draw. Every draw sets its own projection, so a projection changed between two of
// the composer's draw calls shows that the draw in between did draw. Where nothing should
// draw the frame stays as it was; where one effect should, the frame equals that effect's
// own picture at the same clock (redrawn with no time passing, so its particles stand still).
TEST_F(DemoTimeline, AtEveryWindowEdgeOnlyTheWindowsHoldingItDraw)
{
    const std::map<std::string, std::function<void(float)>> drawAlone = {
        {"drawTitleStreams", [](float t) { drawTitleStreams(t, t, titleStreamsWindow.start, titleStreamsWindow.end); }},
        {"drawGrassScene", [](float t) { drawGrassScene(t, frameBeat().pulse); }},
    };
    std::set<float> edges;
    for (const ScheduledWindow& scheduled : demoSchedule) edges.insert({scheduled.window.start, scheduled.window.end});
    const std::array<float, 16> sentinel = {0.5f, 0, 0, 0, 0, 0.5f, 0, 0, 0, 0, 0.5f, 0, 0, 0, 0, 1};
    for (float t : edges) {
        SCOPED_TRACE(::testing::Message() << "at " << t << " s");
        std::vector<std::string> expected, drawn;
        for (const ScheduledWindow& scheduled : demoSchedule) {
            if (insideWindow(scheduled.window, t)) expected.push_back(drawNameOf(scheduled.name));
        }
        resetFrame();
        glMatrixMode(GL_PROJECTION);
        glLoadMatrixf(sentinel.data());
        glMatrixMode(GL_MODELVIEW);
        setEffectCheck([&](const char* drawName, float) {
            if (projection() == sentinel) return;
            drawn.push_back(drawName);
            glMatrixMode(GL_PROJECTION);
            glLoadMatrixf(sentinel.data());
            glMatrixMode(GL_MODELVIEW);
        });
        composeFrame(t, t - 1.0f / 60.0f);
        setEffectCheck({});
        EXPECT_EQ(drawn, expected);
        const std::vector<std::array<int, 4>> composed = probes();
        if (expected.empty()) {
            EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
            EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
            EXPECT_FALSE(glIsEnabled(GL_BLEND));
        }
        resetFrame();
        for (const std::string& name : expected) {
            ASSERT_EQ(drawAlone.count(name), 1u) << "no way to draw " << name << " alone";
            drawAlone.at(name)(t);
        }
        const std::vector<std::array<int, 4>> alone = probes();
        for (std::size_t i = 0; i < composed.size(); ++i) EXPECT_TRUE(pixelNear(composed[i], alone[i])) << "probe " << i;
    }
}

// Lights between effects, in the order the schedule runs them: a scene turns its own lights
// on and every other off, the blob orbit turns off the ones it lit, the robot core the three
// it lit its core with. So no effect shines an earlier one's lights.
TEST_F(DemoTimeline, EachEffectLeavesOnlyTheLightsItsOwnSceneLeftOn)
{
    const auto enabled = [] {
        std::vector<int> on;
        for (int i = 0; i < 8; ++i) {
            if (glIsEnabled(GL_LIGHT0 + i)) on.push_back(i);
        }
        return on;
    };
    const auto lightsFrom = [](int first, int count) {
        std::vector<int> lights;
        for (int i = first; i < count; ++i) lights.push_back(i);
        return lights;
    };
    for (int i = 0; i < 8; ++i) glEnable(GL_LIGHT0 + i);
    drawGrassScene(30.0f, 0.0f);
    EXPECT_EQ(enabled(), lightsFrom(0, demoScene(SCENE_GRASS).lightCount)) << "after the grass scene";
    drawBlobOrbit(57.0f, 0.0f);
    EXPECT_EQ(enabled(), std::vector<int>{}) << "after the blob orbit";
    drawRobotCore(120.0f, 0.0f);
    EXPECT_EQ(enabled(), lightsFrom(3, demoScene(SCENE_ROBOT).lightCount)) << "after the robot core";
}
