// Scene playback: track evaluation edges and golden values, the view, projection, light
// and node matrices of Scene::draw against products computed apart from GL, the one-shot
// offsets and frame wrapping.
#include "tests/scene3ds/sceneFixtures.h"
#include "tests/support/glFixture.h"

#include "scene3ds/matrix4.h"
#include "scene3ds/scenePlayback.h"

#include <GL/gl.h>

#include <cmath>

using fixtures::rkey;
using fixtures::vkey;

namespace {

const double pi = 3.14159265358979323846;

VectorTrack vectorTrack(const std::vector<std::pair<int, float>>& keys)
{
    VectorTrack track;
    for (const auto& key : keys) {
        ::VectorKey vectorKey;
        vectorKey.frame = static_cast<std::int16_t>(key.first);
        vectorKey.value[0] = key.second;
        track.keys.push_back(vectorKey);
    }
    track.keyCount = static_cast<std::int16_t>(track.keys.size());
    if (track.keyCount > 2) computeVectorTangents(track);
    return track;
}

float at(VectorTrack& track, int frame)
{
    evaluateVectorTrack(track, static_cast<std::int16_t>(frame));
    return track.current[0];
}

// Column-major matrices built apart from GL (scene3ds/matrix4), to check what GL built.
struct Matrix {
    float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
};

Matrix operator*(const Matrix& a, const Matrix& b)
{
    Matrix product;
    multiplyMatrices(a.m, b.m, product.m);
    return product;
}

Matrix rotation(double degrees, float x, float y, float z)
{
    Matrix r;
    rotationMatrix(static_cast<float>(degrees), x, y, z, r.m);
    return r;
}

Matrix translation(double x, double y, double z)
{
    Matrix t;
    translationMatrix(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z), t.m);
    return t;
}

Matrix scaling(float x, float y, float z)
{
    Matrix s;
    scaleMatrix(x, y, z, s.m);
    return s;
}

// The look-at matrix from its definition: rows s, u, -f, then the eye moved to the origin.
Matrix lookAt(const double eye[3], const double centre[3], const double up[3])
{
    double f[3] = {centre[0] - eye[0], centre[1] - eye[1], centre[2] - eye[2]};
    const double fl = std::sqrt(f[0] * f[0] + f[1] * f[1] + f[2] * f[2]);
    double s[3] = {f[1] * up[2] - f[2] * up[1], f[2] * up[0] - f[0] * up[2], f[0] * up[1] - f[1] * up[0]};
    const double sl = std::sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]);
    double u[3] = {s[1] * f[2] - s[2] * f[1], s[2] * f[0] - s[0] * f[2], s[0] * f[1] - s[1] * f[0]};
    Matrix m;
    for (int c = 0; c < 3; ++c) {
        m.m[4 * c + 0] = static_cast<float>(s[c] / sl);
        m.m[4 * c + 1] = static_cast<float>(u[c] / (sl * fl));
        m.m[4 * c + 2] = static_cast<float>(-f[c] / fl);
    }
    return m * translation(-eye[0], -eye[1], -eye[2]);
}

::testing::AssertionResult matrixNear(const float* actual, const Matrix& expected, double tolerance)
{
    for (int i = 0; i < 16; ++i) {
        if (std::fabs(actual[i] - expected.m[i]) > tolerance) {
            return ::testing::AssertionFailure()
                   << "element " << i << " is " << actual[i] << ", expected " << expected.m[i];
        }
    }
    return ::testing::AssertionSuccess();
}

class ScenePlayback : public GlTest {
protected:
    // Reads the description with the test window as host.
    void read(::Scene& scene, const writer3ds::Scene& description)
    {
        scene.host = &renderWindow();
        ASSERT_TRUE(fixtures::readScene(scene, description));
    }
};

} // namespace

TEST(TrackEvaluation, EdgesFirstThenLinearBetweenTwoKeysAndHermiteOverMore)
{
    // Keys (frame, value), then (frame, expected value) pairs. Values 0, 10, 40 have tangents
    // 5, 20, 35; halfway through the first segment the Hermite weights are 0.5, 0.125, 0.5,
    // -0.125: 0.625 + 5 - 2.5 = 3.125; through the second 5 + 2.5 + 20 - 4.375 = 23.125.
    const std::vector<std::pair<std::vector<std::pair<int, float>>, std::vector<std::pair<int, float>>>> rows = {
        {{{10, 3.0f}, {20, 13.0f}}, {{15, 8.0f}, {10, 3.0f}, {20, 13.0f}, {250, 13.0f}, {5, 3.0f}}},
        {{{0, 7.0f}}, {{0, 7.0f}, {999, 7.0f}}},
        {{{10, 7.0f}}, {{0, 7.0f}, {-32768, 7.0f}}},
        {{{0, 0.0f}, {10, 10.0f}, {20, 40.0f}}, {{0, 0.0f}, {10, 10.0f}, {20, 40.0f}, {5, 3.125f}, {15, 23.125f}, {-100, 0.0f}}},
    };
    for (const auto& [keys, checks] : rows) {
        VectorTrack track = vectorTrack(keys);
        ScalarTrack scalar;
        for (const ::VectorKey& key : track.keys) scalar.keys.push_back({key.frame, key.value[0], 0.0f});
        scalar.keyCount = track.keyCount;
        if (scalar.keyCount > 2) computeScalarTangents(scalar);
        for (const auto& [frame, expected] : checks) {
            EXPECT_FLOAT_EQ(at(track, frame), expected) << keys.size() << " keys, frame " << frame;
            evaluateScalarTrack(scalar, static_cast<std::int16_t>(frame));
            EXPECT_FLOAT_EQ(scalar.current, expected) << keys.size() << " scalar keys, frame " << frame;
        }
    }
    VectorTrack none;
    none.current[0] = 42.0f;
    EXPECT_FLOAT_EQ(at(none, 10), 42.0f);
}

TEST_F(ScenePlayback, ViewAndProjectionAreTheRolledLookAtAndThePerspective)
{
    writer3ds::Scene description = writer3ds::sampleScene();
    writer3ds::Node& camera = description.keyframer.nodes[1];
    camera.tracks[0].vectorKeys = {vkey(0, 10, -100, 20)};
    camera.tracks[1].scalarKeys[0].value = 60.0f;
    camera.tracks[2].scalarKeys[0].value = 30.0f;
    description.keyframer.nodes[2].tracks[0].vectorKeys = {vkey(0, 1, 2, 3)};
    description.camera.nearPlane = 2.0f;
    description.camera.farPlane = 500.0f;
    ::Scene scene;
    read(scene, description);
    scene.draw();

    const double eye[3] = {10, -100, 20}, centre[3] = {1, 2, 3}, up[3] = {0, 0, 1};
    EXPECT_TRUE(matrixNear(scene.viewMatrix, rotation(30, 0, 0, 1) * lookAt(eye, centre, up), 1e-5));

    float projection[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    const double f = 1.0 / std::tan(30.0 * pi / 180.0);
    EXPECT_NEAR(projection[0], f / (64.0 / 64.0), 1e-5);
    EXPECT_NEAR(projection[5], f, 1e-5);
    EXPECT_NEAR(projection[10], (500.0 + 2.0) / (2.0 - 500.0), 1e-5);
    EXPECT_NEAR(projection[14], 2.0 * 500.0 * 2.0 / (2.0 - 500.0), 1e-4);
    GLint mode;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
}

// A camera looking straight down has its view along the up direction (0, 0, 1); it looks
// with up (0, 1, 0) instead, rolled as any other, and sees the floor below it.
TEST_F(ScenePlayback, CameraLookingStraightDownSeesTheFloorBelowIt)
{
    writer3ds::Scene description = writer3ds::sampleScene();
    description.objects = {writer3ds::quadObject("Floor", -1.0f, 2.26f, 1.0f, 4.26f, 0.0f, "Red")};
    description.keyframer.nodes[0] = writer3ds::staticObjectNode("Floor", -1, {0, 0, 0});
    writer3ds::Node& camera = description.keyframer.nodes[1];
    camera.tracks[0].vectorKeys = {vkey(0, 0, 3.26f, 1.14f)};
    camera.tracks[2].scalarKeys[0].value = 30.0f;
    description.keyframer.nodes[2].tracks[0].vectorKeys = {vkey(0, 0, 3.26f, 0.14f)};
    description.camera.nearPlane = 0.1f;
    description.camera.farPlane = 10.0f;
    ::Scene scene;
    read(scene, description);
    scene.setMeshFlags(MESH_FILL);
    glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    scene.draw();

    const double eye[3] = {0, 3.26f, 1.14f}, centre[3] = {0, 3.26f, 0.14f}, up[3] = {0, 1, 0};
    EXPECT_TRUE(matrixNear(scene.viewMatrix, rotation(30, 0, 0, 1) * lookAt(eye, centre, up), 1e-5));
    for (const auto& [x, y] : {std::pair{32, 32}, std::pair{8, 8}, std::pair{56, 56}}) {
        EXPECT_NE(readPixel(x, y)[2], 255) << "the floor is not drawn at (" << x << ", " << y << ")";
    }
}

TEST_F(ScenePlayback, NodeWorldIsViewTimesTranslationTurnAndScaleAfterItsParent)
{
    writer3ds::Scene description = writer3ds::sampleScene();
    writer3ds::Node& parent = description.keyframer.nodes[0];
    parent.tracks[0].vectorKeys = {vkey(0, 0, 0, 0), vkey(100, 10, 20, 30)};
    parent.tracks[1].rotationKeys = {rkey(0, 0.2f, 0, 0, 1), rkey(100, 0.6f, 1, 0, 0)};
    parent.tracks[2].vectorKeys = {vkey(0, 2, 2, 2)};
    parent.pivot = {1, 2, 3};
    description.objects.push_back(writer3ds::boxObject("Child", {0, 0, 0}, {1, 1, 1}, "Red"));
    description.keyframer.nodes.insert(description.keyframer.nodes.begin() + 1,
                                       writer3ds::staticObjectNode("Child", 0, {1, 0, 0}));
    ::Scene scene;
    read(scene, description);
    scene.frame = 50;
    scene.draw();

    Matrix view;
    for (int i = 0; i < 16; ++i) view.m[i] = scene.viewMatrix[i];
    const double toDegrees = 180.0 / 3.141592;   // the program's constant, a little below pi
    // Halfway through key 1: half its turn, after key 0's accumulated turn.
    const Matrix parentWorld = view * translation(5, 10, 15) * rotation(-0.5 * 0.6 * toDegrees, 1, 0, 0) *
                               rotation(-0.2 * toDegrees, 0, 0, 1) * scaling(2, 2, 2);
    EXPECT_TRUE(matrixNear(scene.nodes[0].world, parentWorld, 1e-4));
    ASSERT_EQ(scene.nodes[1].parent, &scene.nodes[0]);
    EXPECT_TRUE(matrixNear(scene.nodes[1].world, parentWorld * translation(1, 0, 0), 1e-4));

    // The model-view keeps the last node's full matrix: world . T(-pivot) . restInverse.
    float modelview[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    Matrix rest;
    for (int i = 0; i < 16; ++i) rest.m[i] = scene.nodes[1].restInverse[i];
    EXPECT_TRUE(matrixNear(modelview, parentWorld * translation(1, 0, 0) * rest, 1e-4));
}

TEST_F(ScenePlayback, RotationTurnsByWholeKeysBeforeTheFirstAndAfterTheLastAndByPartsBetween)
{
    // Keys, then (frame, total turn in radians about z).
    const std::vector<std::pair<std::vector<writer3ds::RotationKey>, std::vector<std::pair<int, double>>>> rows = {
        {{rkey(0, 0.2f, 0, 0, 1), rkey(40, 0.6f, 0, 0, 1)}, {{40, 0.8}, {90, 0.8}, {10, 0.35}}},
        {{rkey(10, 0.5f, 0, 0, 1)}, {{0, 0.5}, {10, 0.5}, {90, 0.5}}},
        {{rkey(10, 0.2f, 0, 0, 1), rkey(30, 0.6f, 0, 0, 1)}, {{0, 0.2}, {20, 0.5}}},
    };
    const double toDegrees = 180.0 / 3.141592;
    for (const auto& [keys, checks] : rows) {
        writer3ds::Scene description = writer3ds::sampleScene();
        description.keyframer.nodes[0].tracks[1].rotationKeys = keys;
        ::Scene scene;
        read(scene, description);
        for (const auto& [frame, turn] : checks) {
            scene.frame = static_cast<std::int16_t>(frame);
            scene.draw();
            Matrix view;
            for (int i = 0; i < 16; ++i) view.m[i] = scene.viewMatrix[i];
            EXPECT_TRUE(matrixNear(scene.nodes[0].world, view * rotation(-turn * toDegrees, 0, 0, 1), 1e-4))
                << keys.size() << " keys, frame " << frame;
        }
    }
}

TEST_F(ScenePlayback, LightsSitAtTheirTrackPositionWithTheTrackColour)
{
    writer3ds::Scene description = writer3ds::sampleScene();
    description.keyframer.nodes[3].tracks[1].vectorKeys = {vkey(0, 0.5f, 0.25f, 1.0f)};
    ::Scene scene;
    read(scene, description);
    // Lights left on by an earlier scene go off: only the scene's own shine.
    glEnable(GL_LIGHT1);
    glEnable(GL_LIGHT7);
    scene.draw();
    EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
    EXPECT_FALSE(glIsEnabled(GL_LIGHT1));
    EXPECT_FALSE(glIsEnabled(GL_LIGHT7));
    float diffuse[4], position[4], specular[4];
    glGetLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glGetLightfv(GL_LIGHT0, GL_POSITION, position);
    glGetLightfv(GL_LIGHT0, GL_SPECULAR, specular);
    EXPECT_FLOAT_EQ(diffuse[0], 0.5f);
    EXPECT_FLOAT_EQ(diffuse[1], 0.25f);
    EXPECT_FLOAT_EQ(diffuse[3], 1.0f);
    EXPECT_FLOAT_EQ(specular[0], 1.0f);
    // GL keeps the position in eye space: the view applied to the track's point.
    const double point[3] = {0, -100, 50};
    for (int r = 0; r < 3; ++r) {
        double expected = scene.viewMatrix[12 + r];
        for (int c = 0; c < 3; ++c) expected += scene.viewMatrix[4 * c + r] * point[c];
        EXPECT_NEAR(position[r], expected, 1e-3) << r;
    }
    EXPECT_FLOAT_EQ(position[3], 1.0f);
}

TEST_F(ScenePlayback, OffsetsApplyToOneDrawAndAreClearedAfterIt)
{
    ::Scene scene;
    read(scene, writer3ds::sampleScene());
    scene.draw();
    float plain[16];
    std::copy(scene.viewMatrix, scene.viewMatrix + 16, plain);

    scene.cameraOffset[2] = 30.0f;
    scene.targetOffset[0] = 5.0f;
    scene.rollOffset = 10.0f;
    scene.fovOffset = 20.0f;
    scene.draw();
    bool differs = false;
    for (int i = 0; i < 16; ++i) differs = differs || std::fabs(scene.viewMatrix[i] - plain[i]) > 1e-3;
    EXPECT_TRUE(differs);
    float projection[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    EXPECT_NEAR(projection[5], 1.0 / std::tan(32.5 * pi / 180.0), 1e-5);
    EXPECT_EQ(scene.cameraOffset[2], 0.0f);
    EXPECT_EQ(scene.targetOffset[0], 0.0f);
    EXPECT_EQ(scene.rollOffset, 0.0f);
    EXPECT_EQ(scene.fovOffset, 0.0f);

    scene.draw();
    for (int i = 0; i < 16; ++i) EXPECT_FLOAT_EQ(scene.viewMatrix[i], plain[i]) << i;
}

TEST_F(ScenePlayback, NegativeFramesDrawAsZeroAndLaterOnesWrap)
{
    writer3ds::Scene description = writer3ds::sampleScene();
    description.keyframer.nodes[0].tracks[0].vectorKeys = {vkey(0, 0, 0, 0), vkey(100, 100, 0, 0)};
    ::Scene scene;
    read(scene, description);
    scene.frame = -5;
    scene.draw();
    EXPECT_EQ(scene.frame, 0);
    EXPECT_FLOAT_EQ(scene.nodes[0].posTrack->current[0], 0.0f);
    scene.frame = 250;
    scene.draw();
    EXPECT_EQ(scene.frame, 50);
    EXPECT_FLOAT_EQ(scene.nodes[0].posTrack->current[0], 50.0f);
}
