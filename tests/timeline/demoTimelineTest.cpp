#include "effects/titleStreams.h"
#include "effects/grassScene.h"
#include "particles/particleEmitter.h"
#include "platform/loadError.h"
#include "scene3ds/scene.h"
#include "tests/timeline/demoPackFixture.h"
#include "tests/support/processRunner.h"
#include "timeline/demoTimeline.h"

#include <GL/gl.h>

#include <unistd.h>

#include <string>
#include <vector>

namespace {

using DemoTimeline = DemoPackTest;

int listLength(const ParticleEmitter& emitter)
{
    int length = 0;
    for (const Particle* node = emitter.head; node; node = node->next) ++length;
    return length;
}

} // namespace

TEST_F(DemoTimeline, NothingDrawsAtTheExactBoundariesBetweenEffects)
{
    for (float t : {50.0f, 65.0f, 85.0f, 105.0f, 135.0f, 169.0f}) {
        composeFrame(t, t - 1.0f / 60.0f);
        for (const auto& pixel : probes()) {
            ASSERT_TRUE(pixelNear(pixel, {51, 102, 153, 255})) << "at " << t << " s";
        }
        // Not even the state: the effects return before touching anything.
        EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST)) << "at " << t << " s";
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D)) << "at " << t << " s";
        EXPECT_FALSE(glIsEnabled(GL_BLEND)) << "at " << t << " s";
    }
}

TEST_F(DemoTimeline, OnlyTheGrassSceneDrawsAtExactlySeventeenAndAHalfSeconds)
{
    const int jetParticles = listLength(titleStreamsJetA());
    composeFrame(17.5f, 17.5f - 1.0f / 60.0f);
    const std::vector<std::array<int, 4>> composed = probes();
    EXPECT_EQ(listLength(titleStreamsJetA()), jetParticles);
    EXPECT_FALSE(glIsEnabled(GL_STENCIL_TEST));

    // The grass scene alone, with the same pulse, gives the same picture: no logo trail of
    // the warp overlay on top of it.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    drawGrassScene(17.5f, framePulse());
    const std::vector<std::array<int, 4>> alone = probes();
    for (std::size_t i = 0; i < composed.size(); ++i) EXPECT_TRUE(pixelNear(composed[i], alone[i])) << "probe " << i;
}

TEST_F(DemoTimeline, ClearsAndDrawsTheClosingSceneOnlyInsideItsWindow)
{
    composeFrame(170.0f, 170.0f - 1.0f / 60.0f);
    bool changed = false;
    for (const auto& pixel : probes()) changed = changed || !pixelNear(pixel, {51, 102, 153, 255});
    EXPECT_TRUE(changed);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(DemoTimeline, PulseOfTheComposedFrameIsZeroAfterTheLastBeat)
{
    composeFrame(165.36f, 165.35f);
    composeFrame(166.0f, 165.36f);
    EXPECT_EQ(framePulse(), 0.0f);
}

TEST(DemoStartUp, AMissingPictureStopsTheStartUpWithTheLoadersMessage)
{
    const std::string folder = makeRunFolder("missing-picture", nullptr);
    ASSERT_FALSE(folder.empty()) << "the generated data pack is missing";
    ASSERT_EQ(unlink((folder + "/data/rewind.jpg").c_str()), 0);
    ProcessOptions options;
    options.workingDirectory = folder;
    options.timeoutSeconds = 120.0;
    const ProcessResult result = runProcess(std::string(KESU_BINARY_DIR) + "/tools/capture/kesu-capture",
                                            {"--size", "64x48", "--at", "1", "--out", folder + "/frames"}, options);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_NE(result.err.find("data/rewind.jpg"), std::string::npos) << result.err;
    EXPECT_EQ(result.out.find(".png"), std::string::npos);
}

TEST(DemoStartUp, ASceneWithoutTheRobotCoreNodeIsReportedByName)
{
    const std::string folder = makeRunFolder("missing-node", nullptr);
    ASSERT_FALSE(folder.empty()) << "the generated data pack is missing";
    // The final scene in place of the robot scene: a well-formed file without "rdzen".
    ASSERT_EQ(std::system(("cp '" + folder + "/data/last.3ds' '" + folder + "/data/girorobo.3ds'").c_str()), 0);
    ProcessOptions options;
    options.workingDirectory = folder;
    options.timeoutSeconds = 120.0;
    const ProcessResult result = runProcess(std::string(KESU_BINARY_DIR) + "/tools/capture/kesu-capture",
                                            {"--size", "64x48", "--at", "1", "--out", folder + "/frames"}, options);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_NE(result.err.find("girorobo.3ds"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("rdzen"), std::string::npos) << result.err;
}
