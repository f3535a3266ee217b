// Scene playback: track evaluation edges and golden values, the view, projection, light
// and node matrices of Scene::draw against products computed independently, the one-shot
// offsets, frame wrapping, and a rendered lit, textured scene.
#include "tests/scene3ds/sceneFixtures.h"
#include "tests/support/glFixture.h"

#include "platform/jpegEncoder.h"
#include "scene3ds/scenePlayback.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdlib>
#include <unistd.h>

using fixtures::rkey;
using fixtures::vkey;

namespace {

const double pi = 3.14159265358979323846;

VectorTrack vectorTrack(std::initializer_list<std::pair<int, float>> keys)
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

// Column-major double matrices for the independent products.
struct Matrix {
    double m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
};

Matrix operator*(const Matrix& a, const Matrix& b)
{
    Matrix product;
    for (int col = 0; col < 4; ++col) {
        for (int row = 0; row < 4; ++row) {
            double sum = 0;
            for (int k = 0; k < 4; ++k) sum += a.m[4 * k + row] * b.m[4 * col + k];
            product.m[4 * col + row] = sum;
        }
    }
    return product;
}

Matrix rotation(double degrees, double x, double y, double z)
{
    const double length = std::sqrt(x * x + y * y + z * z);
    x /= length;
    y /= length;
    z /= length;
    const double a = degrees * pi / 180.0, c = std::cos(a), s = std::sin(a), t = 1 - c;
    Matrix r;
    const double e[9] = {t * x * x + c, t * x * y + z * s, t * x * z - y * s, t * x * y - z * s, t * y * y + c,
                         t * y * z + x * s, t * x * z + y * s, t * y * z - x * s, t * z * z + c};
    for (int col = 0; col < 3; ++col) {
        for (int row = 0; row < 3; ++row) r.m[4 * col + row] = e[3 * col + row];
    }
    return r;
}

Matrix translation(double x, double y, double z)
{
    Matrix t;
    t.m[12] = x;
    t.m[13] = y;
    t.m[14] = z;
    return t;
}

Matrix scaling(double x, double y, double z)
{
    Matrix s;
    s.m[0] = x;
    s.m[5] = y;
    s.m[10] = z;
    return s;
}

// The look-at matrix from its definition: rows s, u, -f, then the eye moved to the origin.
Matrix lookAt(const double eye[3], const double centre[3], const double up[3])
{
    double f[3] = {centre[0] - eye[0], centre[1] - eye[1], centre[2] - eye[2]};
    double fl = std::sqrt(f[0] * f[0] + f[1] * f[1] + f[2] * f[2]);
    for (double& v : f) v /= fl;
    double s[3] = {f[1] * up[2] - f[2] * up[1], f[2] * up[0] - f[0] * up[2], f[0] * up[1] - f[1] * up[0]};
    double sl = std::sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]);
    for (double& v : s) v /= sl;
    double u[3] = {s[1] * f[2] - s[2] * f[1], s[2] * f[0] - s[0] * f[2], s[0] * f[1] - s[1] * f[0]};
    Matrix m;
    for (int c = 0; c < 3; ++c) {
        m.m[4 * c + 0] = s[c];
        m.m[4 * c + 1] = u[c];
        m.m[4 * c + 2] = -f[c];
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

TEST(TrackEvaluation, TwoKeysInterpolateLinearlyFromTheFirstKeysFrameAndHoldTheEndValues)
{
    VectorTrack track = vectorTrack({{10, 3.0f}, {20, 13.0f}});
    EXPECT_FLOAT_EQ(at(track, 15), 8.0f);
    EXPECT_FLOAT_EQ(at(track, 10), 3.0f);
    EXPECT_FLOAT_EQ(at(track, 20), 13.0f);
    EXPECT_FLOAT_EQ(at(track, 250), 13.0f);
    EXPECT_FLOAT_EQ(at(track, 5), 3.0f);
}

TEST(TrackEvaluation, OneKeyGivesItsValueEverywhereAndNoKeysKeepTheValue)
{
    VectorTrack one = vectorTrack({{0, 7.0f}});
    EXPECT_FLOAT_EQ(at(one, 0), 7.0f);
    EXPECT_FLOAT_EQ(at(one, 999), 7.0f);
    VectorTrack none;
    none.current[0] = 42.0f;
    EXPECT_FLOAT_EQ(at(none, 10), 42.0f);
}

TEST(TrackEvaluation, HermiteHitsEachKeyAndBlendsTangentsBetween)
{
    // Values 0, 10, 40 have tangents 5, 20, 35; halfway through the first segment the
    // weights are 0.5, 0.125, 0.5, -0.125: 0.625 + 5 - 2.5 = 3.125.
    VectorTrack track = vectorTrack({{0, 0.0f}, {10, 10.0f}, {20, 40.0f}});
    EXPECT_FLOAT_EQ(at(track, 0), 0.0f);
    EXPECT_FLOAT_EQ(at(track, 10), 10.0f);
    EXPECT_FLOAT_EQ(at(track, 20), 40.0f);
    EXPECT_FLOAT_EQ(at(track, 5), 3.125f);
    // Second segment at t = 0.5: 0.5 * 10 + 0.125 * 20 + 0.5 * 40 - 0.125 * 35 = 23.125.
    EXPECT_FLOAT_EQ(at(track, 15), 23.125f);
    // Before the first key: its value.
    EXPECT_FLOAT_EQ(at(track, -100), 0.0f);
}

TEST(TrackEvaluation, ScalarTracksFollowTheSameRules)
{
    ScalarTrack track;
    for (auto [frame, value] : {std::pair<int, float>{0, 0.0f}, {10, 10.0f}, {20, 40.0f}}) {
        ::ScalarKey key;
        key.frame = static_cast<std::int16_t>(frame);
        key.value = value;
        track.keys.push_back(key);
    }
    track.keyCount = 3;
    computeScalarTangents(track);
    evaluateScalarTrack(track, 5);
    EXPECT_FLOAT_EQ(track.current, 3.125f);
    evaluateScalarTrack(track, 30);
    EXPECT_FLOAT_EQ(track.current, 40.0f);
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

TEST_F(ScenePlayback, RotationAtAndAfterTheLastKeyAppliesItsWholeTurn)
{
    writer3ds::Scene description = writer3ds::sampleScene();
    description.keyframer.nodes[0].tracks[1].rotationKeys = {rkey(0, 0.2f, 0, 0, 1), rkey(40, 0.6f, 0, 0, 1)};
    ::Scene scene;
    read(scene, description);
    Matrix view;
    const double toDegrees = 180.0 / 3.141592;
    for (int frame : {40, 90}) {
        scene.frame = static_cast<std::int16_t>(frame);
        scene.draw();
        for (int i = 0; i < 16; ++i) view.m[i] = scene.viewMatrix[i];
        EXPECT_TRUE(matrixNear(scene.nodes[0].world, view * rotation(-0.8 * toDegrees, 0, 0, 1), 1e-4)) << frame;
    }
}

TEST_F(ScenePlayback, LightsSitAtTheirTrackPositionWithTheTrackColour)
{
    writer3ds::Scene description = writer3ds::sampleScene();
    description.keyframer.nodes[3].tracks[1].vectorKeys = {vkey(0, 0.5f, 0.25f, 1.0f)};
    ::Scene scene;
    read(scene, description);
    scene.draw();
    EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
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

TEST_F(ScenePlayback, LitTexturedSceneShowsWhereItsCameraLooks)
{
    char pattern[] = "/tmp/kesu-playback-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string directory = std::string(pattern) + "/";
    std::vector<std::uint8_t> green(16 * 16 * 3);
    for (std::size_t i = 0; i < green.size(); i += 3) green[i + 1] = 255;
    std::string error;
    ASSERT_TRUE(encodeJpeg(directory + "green.jpg", green.data(), 16, 16, 3, 95, false, error)) << error;

    writer3ds::Scene description = writer3ds::sampleScene();
    description.materials[0].diffuse = writer3ds::colourFloat(1, 1, 1);
    description.materials[0].specular = writer3ds::colourFloat(0, 0, 0);
    description.materials[0].textureMap = "green.jpg";
    ASSERT_TRUE(writer3ds::saveFile(directory + "lit.3ds", writer3ds::sceneBytes(description), error)) << error;
    ::Scene scene;
    scene.host = &renderWindow();
    LoadError loadError;
    ASSERT_TRUE(scene.load(directory + "lit.3ds", directory, 2, loadError)) << formatLoadError(loadError);
    scene.setMeshFlags(MESH_FILL);
    scene.setMeshFlags(MESH_CULL | MESH_DEPTH_TEST | MESH_DEPTH_WRITE);
    ASSERT_EQ(scene.nodes[0].mesh->flags, MESH_LIT | MESH_TEXTURED | 0x381u);

    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    scene.draw();
    const std::array<int, 4> centre = readPixel(32, 32);
    EXPECT_GT(centre[1], 150) << "the lit green face";
    EXPECT_LT(centre[0], 30);
    EXPECT_LT(centre[2], 30);
    EXPECT_TRUE(pixelNear(readPixel(2, 2), {0, 0, 0, 255}));

    // Looking 60 units to the side, the box leaves the centre.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    scene.targetOffset[0] = 60.0f;
    scene.draw();
    EXPECT_TRUE(pixelNear(readPixel(32, 32), {0, 0, 0, 255}));
    EXPECT_EQ(std::system(("rm -rf '" + directory + "'").c_str()), 0);
}
