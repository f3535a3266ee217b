#include "effects/robotCore.h"
#include "render/mesh.h"
#include "scene3ds/scene.h"
#include "tests/effects/effectFixture.h"
#include "tests/support/glFeedback.h"

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

// Where the core's vertices land on the screen: each vertex of frame 1 through the core
// node's world matrix times its rest inverse, the swell and the scene's projection, into
// the 64 x 64 viewport. Counts those that some drawn vertex sits on, of those in view.
struct Landing {
    int inView = 0;
    int drawn = 0;
};

Landing coreVerticesDrawn(const std::vector<FeedbackPrimitive>& primitives, const Mesh& core, const float* frame,
                          float swell, const std::array<float, 16>& projection)
{
    Landing landing;
    for (int i = 0; i < core.vertexCount; ++i) {
        const float* v = core.positions[1] + 3 * i;
        float eye[4], clip[4];
        for (int r = 0; r < 4; ++r) eye[r] = frame[r] * v[0] * swell + frame[4 + r] * v[1] * swell + frame[8 + r] * v[2] * swell + frame[12 + r];
        for (int r = 0; r < 4; ++r) clip[r] = projection[r] * eye[0] + projection[4 + r] * eye[1] + projection[8 + r] * eye[2] + projection[12 + r] * eye[3];
        if (clip[3] <= 0.0f) continue;
        const float x = (clip[0] / clip[3] + 1.0f) * 32.0f, y = (clip[1] / clip[3] + 1.0f) * 32.0f;
        if (x < 1.0f || x > 63.0f || y < 1.0f || y > 63.0f) continue;
        ++landing.inView;
        bool found = false;
        for (const FeedbackPrimitive& primitive : primitives) {
            for (const FeedbackVertex& drawnVertex : primitive.vertices) {
                found = found || (std::fabs(drawnVertex.x - x) < 0.01f && std::fabs(drawnVertex.y - y) < 0.01f);
            }
            if (found) break;
        }
        landing.drawn += found;
    }
    return landing;
}

} // namespace

// The wobble amplitude is 0.3 sin(2 pi pulse) + 0.5 and the swell 0.2 sin(pi pulse) + 1. A
// vertex of frame 1 is k times its rest position with k - 1 proportional to the amplitude, so
// at one clock the ratios of k - 1 give the amplitudes. The core is drawn swollen in the
// frame of its node, away from the camera's and the node's own world frame: its vertices
// land where that frame, the swell and the projection put them.
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
        const std::vector<FeedbackPrimitive> primitives =
            captureFeedback([&row] { drawRobotCore(118.0f, row.pulse); }, 1 << 22);
        ASSERT_FALSE(primitives.empty());
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
        const Landing landing = coreVerticesDrawn(primitives, core, frame.data(), row.swell, matrix(GL_PROJECTION_MATRIX));
        ASSERT_GT(landing.inView, 20);
        // The side turned away is culled; the side facing the camera is drawn.
        EXPECT_GT(landing.drawn, landing.inView / 3) << landing.drawn << " of " << landing.inView;
    }
}
