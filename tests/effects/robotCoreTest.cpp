#include "effects/robotCore.h"
#include "render/mesh.h"
#include "scene3ds/scene.h"
#include "tests/effects/effectFixture.h"

#include <GL/gl.h>

#include <cmath>

namespace {

class RobotCore : public EffectTest {
protected:
    void SetUp() override
    {
        EffectTest::SetUp();
        static std::unique_ptr<Scene> loaded;
        if (!loaded) {
            // The core node rests away from the origin and moves from there, so its frame is
            // neither the camera's nor its own world matrix alone.
            writer3ds::Scene description = stillScene(
                {facingSquare("body", -10.0f, -10.0f, 10.0f, 10.0f), facingSquare("rdzen", 35.0f, 15.0f, 45.0f, 25.0f)},
                1000.0f);
            sceneNode(description, "rdzen").tracks[0] =
                writer3ds::vectorTrack(CHUNK_POSITION_TRACK, {{0, {40.0f, 0.0f, 20.0f}, {}}, {3000, {-260.0f, 0.0f, 320.0f}, {}}});
            loaded = loadScene(description, "robot");
            setRobotCore(loaded.get(), solidTexture(40, 40, 40, 255), solidTexture(20, 20, 60, 255),
                         solidTexture(255, 255, 255, 255), solidTexture(255, 255, 0, 255),
                         solidTexture(255, 255, 255, 255));
            setRobotCoreWindow(105.0f, 135.0f);
        }
        robot = loaded.get();
        fillScreen(0.0f, 1.0f, 0.0f);
    }

    Scene* robot = nullptr;
};

// a x b for column-major 4 x 4 matrices.
std::array<float, 16> product(const float* a, const float* b)
{
    std::array<float, 16> out{};
    for (int column = 0; column < 4; ++column) {
        for (int row = 0; row < 4; ++row) {
            for (int k = 0; k < 4; ++k) out[column * 4 + row] += a[k * 4 + row] * b[column * 4 + k];
        }
    }
    return out;
}

float length(const float* v) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }

} // namespace

// The wobble amplitude is 0.3 sin(2 pi pulse) + 0.5 and the swell 0.2 sin(pi pulse) + 1. A
// vertex of frame 1 is k times its rest position with k - 1 proportional to the amplitude, so
// at one clock the ratios of k - 1 give the amplitudes; the swell and the shell's 1.025 stay
// on the model-view matrix after the node's world matrix times its rest inverse.
TEST_F(RobotCore, PulseDrivesTheWobbleByTwoPiAndTheSwellByPiInTheFrameOfTheCoreNode)
{
    struct Row {
        float pulse, amplitude, swell;
    };
    const Row rows[] = {{0.0f, 0.5f, 1.0f}, {0.25f, 0.8f, 1.1414214f}, {0.5f, 0.5f, 1.2f}, {0.75f, 0.2f, 1.1414214f}};
    const Mesh& core = robotCoreMesh();
    int vertex = 0;
    float restK = 1.0f;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.pulse);
        drawRobotCore(118.0f, row.pulse);
        if (row.pulse == 0.0f) {
            for (int i = 0; i < core.vertexCount; ++i) {
                const float k = length(core.positions[1] + 3 * i) / length(core.positions[0] + 3 * i);
                if (std::fabs(k - 1.0f) > std::fabs(restK - 1.0f)) vertex = i, restK = k;
            }
            ASSERT_GT(std::fabs(restK - 1.0f), 0.05f);
        }
        const float k = length(core.positions[1] + 3 * vertex) / length(core.positions[0] + 3 * vertex);
        EXPECT_NEAR((k - 1.0f) / (restK - 1.0f), row.amplitude / 0.5f, 1e-3f);

        const SceneNode& node = robot->nodes[robot->findNode("rdzen")];
        const std::array<float, 16> frame = product(node.world, node.restInverse);
        ASSERT_GT(std::fabs(frame[12] - robot->viewMatrix[12]) + std::fabs(frame[14] - robot->viewMatrix[14]), 1.0f);
        ASSERT_GT(std::fabs(frame[12] - node.world[12]) + std::fabs(frame[14] - node.world[14]), 1.0f);
        const std::array<float, 16> modelview = matrix(GL_MODELVIEW_MATRIX);
        for (int i = 0; i < 16; ++i) {
            const float scale = i < 12 ? row.swell * 1.025f : 1.0f;
            EXPECT_NEAR(modelview[i], frame[i] * scale, 1e-3f * (1.0f + std::fabs(frame[i]))) << "element " << i;
        }
    }
}
