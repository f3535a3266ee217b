#include "effects/robotCore.h"
#include "particles/particleEmitter.h"
#include "render/mesh.h"
#include "scene3ds/scene.h"
#include "tests/effects/effectFixture.h"

#include <GL/gl.h>

namespace {

class RobotCore : public EffectTest {
protected:
    void SetUp() override
    {
        EffectTest::SetUp();
        static std::unique_ptr<Scene> robot;
        if (!robot) {
            // The camera stands far enough back for the core sphere (radius 100) to fill only
            // the middle of the view.
            robot = loadScene(stillScene({facingSquare("body", -10.0f, -10.0f, 10.0f, 10.0f),
                                          facingSquare("rdzen", -5.0f, -5.0f, 5.0f, 5.0f)},
                                         1000.0f),
                              "robot");
            ASSERT_GE(robot->findNode("rdzen"), 0);
            setRobotCore(robot.get(), solidTexture(40, 40, 40, 255), solidTexture(20, 20, 60, 255),
                         solidTexture(255, 255, 255, 255), solidTexture(255, 255, 0, 255),
                         solidTexture(255, 255, 255, 255));
            setRobotCoreWindow(105.0f, 135.0f);
        }
        fillScreen(0.0f, 1.0f, 0.0f);
    }
};

} // namespace

TEST_F(RobotCore, BuildsItsCoreAndAShellOfOneParticlePerVertex)
{
    const Mesh& core = robotCoreMesh();
    EXPECT_EQ(core.vertexCount, 642);
    EXPECT_EQ(core.flags, 0x3CBu);
    // The shell's last node ends the list: as many nodes as vertices, never more.
    EXPECT_EQ(listLength(robotCoreShell()), core.vertexCount);
    EXPECT_FLOAT_EQ(robotCoreShell().scale[0], 1.025f);
}

TEST_F(RobotCore, DrawsNothingAtEitherEndOfItsWindow)
{
    glDisable(GL_TEXTURE_2D);
    drawRobotCore(105.0f, 0.0f);
    drawRobotCore(135.0f, 0.5f);
    EXPECT_TRUE(pixelNear(readPixel(32, 32), {0, 255, 0, 255}));
    EXPECT_FALSE(enabled(GL_TEXTURE_2D));
    EXPECT_FALSE(enabled(GL_FOG));
}

TEST_F(RobotCore, CoversTheScreenWithItsBackgroundSheets)
{
    drawRobotCore(112.0f, 0.0f);
    // The far sheet fills the screen: no pixel of the green fill survives at the corners.
    for (const auto& corner : {readPixel(0, 0), readPixel(63, 0), readPixel(0, 63), readPixel(63, 63)}) {
        EXPECT_LT(corner[1], 200);
    }
}

TEST_F(RobotCore, LeavesDepthTestOnAndFogLightingBlendingTexturingAndCullingOff)
{
    drawRobotCore(120.0f, 0.3f);
    EXPECT_TRUE(enabled(GL_DEPTH_TEST));
    EXPECT_FALSE(enabled(GL_FOG));
    EXPECT_FALSE(enabled(GL_LIGHTING));
    EXPECT_FALSE(enabled(GL_LIGHT0));
    EXPECT_FALSE(enabled(GL_LIGHT1));
    EXPECT_FALSE(enabled(GL_LIGHT2));
    EXPECT_FALSE(enabled(GL_BLEND));
    EXPECT_FALSE(enabled(GL_TEXTURE_2D));
    EXPECT_FALSE(enabled(GL_CULL_FACE));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(RobotCore, RecomputesTheDeformationFromTheRestShapeEachFrame)
{
    // The same clock and pulse give the same frame 1, whatever was drawn in between.
    drawRobotCore(118.0f, 0.25f);
    const Mesh& core = robotCoreMesh();
    const float first[3] = {core.positions[1][0], core.positions[1][1], core.positions[1][2]};
    drawRobotCore(121.0f, 0.7f);
    drawRobotCore(118.0f, 0.25f);
    EXPECT_FLOAT_EQ(core.positions[1][0], first[0]);
    EXPECT_FLOAT_EQ(core.positions[1][1], first[1]);
    EXPECT_FLOAT_EQ(core.positions[1][2], first[2]);
    // Frame 0 keeps the rest sphere of radius 100.
    const float* rest = core.positions[0];
    EXPECT_NEAR(rest[0] * rest[0] + rest[1] * rest[1] + rest[2] * rest[2], 10000.0f, 0.1f);
}
