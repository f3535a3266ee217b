// Scenes as modelling tools write them: the public corpus files pass the check and draw
// inside their projected bounds; dummies, instances, pivots, objects, lights and cameras
// without nodes and scenes without camera are drawn where they belong; any render flags
// draw safely.
#include "tests/scene3ds/sceneFixtures.h"
#include "tests/support/glFixture.h"

#include "scene3ds/playbackCheck.h"
#include "scene3ds/scenePlayback.h"

#include <GL/gl.h>

#include <cmath>
#include <cstring>
#include <fstream>

using namespace writer3ds;
using fixtures::rkey;
using fixtures::vkey;

namespace {

const char* const corpusFiles[] = {"CameraRollAnimWithChildObject.3ds", "RotatingCube.3DS", "TargetCameraAnim.3ds",
                                   "cart_wheel.3DS", "cube_with_diffuse_texture.3DS", "cubes_with_alpha.3DS",
                                   "fels.3ds", "iflamigm.3ds", "test1.3ds"};

std::string corpusPath(const char* name) { return std::string(KESU_SOURCE_DIR) + "/tests/data/corpus3ds/" + name; }

std::vector<NodeBounds> boundsAt(const ::Scene& scene, int frame)
{
    std::vector<NodeBounds> boxes;
    float low[3], high[3];
    sceneBounds(scene, static_cast<std::int16_t>(frame), &boxes, low, high);
    return boxes;
}

::testing::AssertionResult boxNear(const NodeBounds& box, const Vec3& low, const Vec3& high, float tolerance = 1e-3f)
{
    for (int c = 0; c < 3; ++c) {
        if (std::fabs(box.low[c] - low[c]) > tolerance || std::fabs(box.high[c] - high[c]) > tolerance) {
            return ::testing::AssertionFailure() << "axis " << c << ": box " << box.low[c] << " .. " << box.high[c]
                                                 << ", expected " << low[c] << " .. " << high[c];
        }
    }
    return ::testing::AssertionSuccess();
}

// The point after a column-major matrix.
Vec3 transformed(const float* m, const Vec3& p)
{
    Vec3 out;
    for (int r = 0; r < 3; ++r) out[r] = m[r] * p[0] + m[4 + r] * p[1] + m[8 + r] * p[2] + m[12 + r];
    return out;
}

class RealScenes : public GlTest {
protected:
    void read(::Scene& scene, const writer3ds::Scene& description)
    {
        scene.host = &renderWindow();
        ASSERT_TRUE(fixtures::readScene(scene, description));
    }

    // Draws frame 0 the way kesu-3ds render does and returns the screen rectangle (x0, y0,
    // x1, y1) the scene's bounds project to, clamped to the viewport.
    std::array<float, 4> drawAndProject(::Scene& scene, std::uint32_t flags)
    {
        scene.host = &renderWindow();
        for (MeshObject& object : scene.objects) object.mesh->context = &renderWindow();
        if (scene.lights.empty()) scene.addHeadLight();
        scene.setMeshFlags(MESH_FILL | flags);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        scene.frame = 0;
        scene.draw();
        float projection[16], view[16];
        glGetFloatv(GL_PROJECTION_MATRIX, projection);
        std::copy(scene.viewMatrix, scene.viewMatrix + 16, view);
        std::array<float, 4> rect = {1e9f, 1e9f, -1e9f, -1e9f};
        for (const NodeBounds& box : boundsAt(scene, 0)) {
            for (int corner = 0; corner < 8; ++corner) {
                const Vec3 world = {(corner & 1) ? box.high[0] : box.low[0], (corner & 2) ? box.high[1] : box.low[1],
                                    (corner & 4) ? box.high[2] : box.low[2]};
                const Vec3 eye = transformed(view, world);
                float clip[4];
                for (int r = 0; r < 4; ++r) {
                    clip[r] = projection[r] * eye[0] + projection[4 + r] * eye[1] + projection[8 + r] * eye[2] + projection[12 + r];
                }
                // A corner behind the eye leaves the rectangle unbounded.
                if (clip[3] <= 0.0f) return {-1e9f, -1e9f, 1e9f, 1e9f};
                const float x = (clip[0] / clip[3] + 1.0f) * 0.5f * viewportWidth;
                const float y = (clip[1] / clip[3] + 1.0f) * 0.5f * viewportHeight;
                rect = {std::min(rect[0], x), std::min(rect[1], y), std::max(rect[2], x), std::max(rect[3], y)};
            }
        }
        return rect;
    }
};

// What a read in steps makes of a file, arrays and matrices, is what a whole read makes.
::testing::AssertionResult sameScene(const ::Scene& whole, const ::Scene& stepped)
{
    auto same = [](const void* a, const void* b, std::size_t bytes) { return bytes == 0 || std::memcmp(a, b, bytes) == 0; };
    if (whole.objects.size() != stepped.objects.size() || whole.nodes.size() != stepped.nodes.size())
        return ::testing::AssertionFailure() << "object or node counts differ";
    for (std::size_t i = 0; i < whole.objects.size(); ++i) {
        const Mesh& a = *whole.objects[i].mesh;
        const Mesh& b = *stepped.objects[i].mesh;
        if (a.vertexCount != b.vertexCount || a.faceCount != b.faceCount || a.texCoordCount != b.texCoordCount ||
            a.flags != b.flags || a.materialName != b.materialName ||
            !same(a.positions[0], b.positions[0], sizeof(float) * 3 * a.vertexCount) ||
            !same(a.faces, b.faces, sizeof(std::uint16_t) * 3 * a.faceCount) ||
            !same(a.faceNormals[0], b.faceNormals[0], sizeof(float) * 3 * a.faceCount) ||
            !same(a.texCoords, b.texCoords, sizeof(float) * 3 * a.texCoordCount) || !same(a.diffuse, b.diffuse, sizeof a.diffuse))
            return ::testing::AssertionFailure() << "object " << whole.objects[i].name << " differs";
    }
    for (std::size_t i = 0; i < whole.nodes.size(); ++i) {
        if (!same(whole.nodes[i].meshMatrix, stepped.nodes[i].meshMatrix, sizeof whole.nodes[i].meshMatrix))
            return ::testing::AssertionFailure() << "node " << i << "'s mesh matrix differs";
    }
    if (whole.nearPlane != stepped.nearPlane || whole.farPlane != stepped.farPlane || whole.lights.size() != stepped.lights.size())
        return ::testing::AssertionFailure() << "the view or the lights differ";
    return ::testing::AssertionSuccess();
}

} // namespace

// The corpus, and a scene of a megabyte read in several parts.
TEST(RealScenesInSteps, AReadInStepsMakesWhatAWholeReadMakes)
{
    std::vector<std::string> paths;
    for (const char* name : corpusFiles) paths.push_back(corpusPath(name));
    writer3ds::Scene big = sampleScene();
    writer3ds::Object grid;
    grid.name = "Grid";
    for (int row = 0; row < 200; ++row) {
        for (int column = 0; column < 200; ++column) grid.points.push_back({float(column), float(row), std::sin(row * 0.1f) * column});
    }
    for (int row = 0; row + 1 < 200; ++row) {
        for (int column = 0; column + 1 < 200; column += 2) {
            const std::uint16_t a = static_cast<std::uint16_t>(row * 200 + column);
            grid.faces.push_back({a, static_cast<std::uint16_t>(a + 1), static_cast<std::uint16_t>(a + 201)});
        }
    }
    grid.materialGroups.push_back({"Red", {}});
    big.objects.push_back(grid);
    const std::vector<std::uint8_t> bytes = sceneBytes(big);
    ASSERT_GT(bytes.size(), 600000u);
    paths.push_back(::testing::TempDir() + "big.3ds");
    std::ofstream(paths.back(), std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));

    for (const std::string& path : paths) {
        ::Scene whole, stepped;
        LoadError error;
        ASSERT_TRUE(whole.readFile(path, error)) << formatLoadError(error);
        const int steps = fixtures::readSceneInSteps(stepped, path, error);
        ASSERT_GT(steps, 0) << formatLoadError(error);
        EXPECT_TRUE(sameScene(whole, stepped)) << path;
        if (path == paths.back()) {
            EXPECT_GT(steps, 5) << "the megabyte is read in parts";
        }
    }
}

TEST_F(RealScenes, CorpusFilesPassTheCheckAndDrawInsideTheirProjectedBoundsWithAnyFlags)
{
    std::vector<std::uint8_t> rgba(viewportWidth * viewportHeight * 4);
    for (const char* name : corpusFiles) {
        ::Scene scene;
        LoadError error;
        ASSERT_TRUE(scene.readFile(corpusPath(name), error) && checkScenePlayback(scene, {}, error))
            << formatLoadError(error);
        const std::array<float, 4> rect = drawAndProject(scene, MESH_CULL | MESH_DEPTH_TEST | MESH_DEPTH_WRITE);
        glReadPixels(0, 0, viewportWidth, viewportHeight, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        int lit = 0, outside = 0;
        for (int y = 0; y < viewportHeight; ++y) {
            for (int x = 0; x < viewportWidth; ++x) {
                const std::uint8_t* p = &rgba[4 * (y * viewportWidth + x)];
                if (std::max({p[0], p[1], p[2]}) < 8) continue;
                ++lit;
                // A pixel covers x .. x + 1; one pixel of slack for rasterisation.
                if (x + 1 < rect[0] - 1 || x > rect[2] + 1 || y + 1 < rect[1] - 1 || y > rect[3] + 1) ++outside;
            }
        }
        EXPECT_GT(lit, 20) << name;
        EXPECT_EQ(outside, 0) << name << ": " << outside << " lit pixels outside " << rect[0] << ", " << rect[1] << " .. "
                              << rect[2] << ", " << rect[3];

        // kesu-3ds render takes any flags up to 0x3FF; adding one bit at a time up to all of
        // them reaches the textured paths on meshes without mapping and smooth shading on
        // meshes whose vertex normals the reader leaves unset.
        for (std::uint32_t flags = 1; flags <= 0x200; flags <<= 1) {
            drawAndProject(scene, flags);
            EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << name << " flags " << flags;
        }
        for (const MeshObject& object : scene.objects) {
            if (object.mesh->texCoordCount < object.mesh->vertexCount) {
                EXPECT_FALSE(object.mesh->flags & MESH_TEXTURED) << name;
            }
        }
    }
}

// A dummy at rest at (5, -3, 2) and turned, moving and turning further by frame 100; its
// child is stored where the dummy's rest places it. The dummy draws nothing.
TEST(RealScenesBounds, DummyCarriesItsChildAndDrawsNothing)
{
    writer3ds::Scene description = sampleScene();
    description.objects[0] = boxObject("Box", {-10, -10, -10}, {10, 10, 10}, "Red");
    Node child = placeObject(description.objects[0], {20, 0, 0}, 0.0f, {0, 0, 1}, {1, 1, 1}, {0, 0, 0});
    child.hierarchy = 0;
    // Stored around the dummy's rest: turned a quarter (x to -y) and moved to (5, -3, 2).
    for (Vec3& p : description.objects[0].points) p = {p[1] + 5, -p[0] - 3, p[2] + 2};
    Node dummy = dummyNode("Arm", -1, {5, -3, 2});
    dummy.tracks[0].vectorKeys = {vkey(0, 5, -3, 2), vkey(100, 5, -3, 32)};
    dummy.tracks[1].rotationKeys = {rkey(0, 1.5707963f, 0, 0, 1), rkey(100, 1.5707963f, 0, 0, 1)};
    description.keyframer.nodes[0] = child;
    description.keyframer.nodes.insert(description.keyframer.nodes.begin(), dummy);
    description.keyframer.endFrame = 200;
    ::Scene scene;
    ASSERT_TRUE(fixtures::readScene(scene, description));
    ASSERT_EQ(scene.nodes[0].mesh, nullptr);
    EXPECT_EQ(scene.findNode("Arm"), 0);
    ASSERT_EQ(scene.nodes[1].parent, &scene.nodes[0]);

    std::vector<NodeBounds> rest = boundsAt(scene, 0);
    ASSERT_EQ(rest.size(), 1u);
    EXPECT_EQ(rest[0].node, 1);
    EXPECT_TRUE(boxNear(rest[0], {-5, -33, -8}, {15, -13, 12}));
    // A half turn in all, then 30 up: the child's offset (20, 0, 0) points along -x.
    EXPECT_TRUE(boxNear(boundsAt(scene, 100)[0], {-25, -13, 22}, {-5, 7, 42}));
}

TEST(RealScenesBounds, InstancesDrawTheObjectOncePerNodeEachWithItsTracks)
{
    writer3ds::Scene description = sampleScene();
    Node copy = staticObjectNode("Box", -1, {40, 0, 0});
    copy.instanceName = "Copy";
    copy.tracks[2].vectorKeys[0].value = {2, 1, 1};
    copy.pivot = {1, 0, 0};
    description.keyframer.nodes.push_back(copy);
    ::Scene scene;
    ASSERT_TRUE(fixtures::readScene(scene, description));
    ASSERT_EQ(scene.objects.size(), 1u);
    EXPECT_EQ(scene.objects[0].nodeCount, 2);
    EXPECT_EQ(scene.findNode("Box.Copy"), 1);
    std::vector<NodeBounds> boxes = boundsAt(scene, 0);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_TRUE(boxNear(boxes[0], {-10, -10, -10}, {10, 10, 10}));
    // The copy's own pivot (1, 0, 0) shifts the object's frame before its scale of 2 in x.
    EXPECT_TRUE(boxNear(boxes[1], {18, -10, -10}, {58, 10, 10}));
}

// The pivot rule: a file written as modelling tools write it (vertices and local axes at
// T(position) . R . S . T(-pivot)) draws each vertex where it is stored while every track
// holds its first key, and the pivot point (stored at the first position key) follows the
// position track while the object turns about it. The GL path builds the same matrices.
TEST_F(RealScenes, PivotedObjectRestsWhereStoredAndTurnsAboutItsPivot)
{
    writer3ds::Scene description = sampleScene();
    writer3ds::Object& gear = description.objects[0];
    gear = boxObject("Gear", {0, 0, 0}, {10, 4, 2}, "Red");
    Node node = placeObject(gear, {10, 20, 30}, 0.5f, {0, 0, 1}, {1, 2, 1}, {5, 2, 1});
    node.tracks[0].vectorKeys.push_back(vkey(100, 40, 20, 30));
    node.tracks[1].rotationKeys.push_back(rkey(100, 1.0f, 0, 1, 0));
    description.keyframer.nodes[0] = node;
    description.keyframer.endFrame = 200;
    ::Scene scene;
    read(scene, description);

    std::vector<NodePose> poses;
    poseNodes(scene, 0, poses);
    for (const Vec3& stored : gear.points) {
        const Vec3 drawn = transformed(poses[0].drawn, stored);
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(drawn[c], stored[c], 1e-4f);
    }
    for (int frame : {50, 100}) {
        poseNodes(scene, static_cast<std::int16_t>(frame), poses);
        const Vec3 pivot = transformed(poses[0].drawn, {10, 20, 30});
        const float expected[3] = {10.0f + 0.3f * frame, 20.0f, 30.0f};
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(pivot[c], expected[c], 1e-3f) << "frame " << frame;
    }

    scene.frame = 50;
    scene.draw();
    poseNodes(scene, 50, poses);
    float modelview[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    for (int i = 0; i < 16; ++i) {
        float viewed = 0.0f;
        for (int k = 0; k < 4; ++k) viewed += scene.viewMatrix[4 * k + i % 4] * poses[0].drawn[4 * (i / 4) + k];
        EXPECT_NEAR(modelview[i], viewed, 1e-3f) << i;
    }
}

TEST_F(RealScenes, ObjectsLightsAndCamerasWithoutNodesKeepTheirStoredPlaces)
{
    writer3ds::Scene description = sampleScene();
    description.objects.push_back(boxObject("Loose", {50, 50, 50}, {60, 55, 52}, "Red"));
    description.camera.position = {0, -120, 10};
    description.camera.bank = 15.0f;
    description.camera.lens = 48.0f;
    description.lights[0].position = {30, -40, 70};
    description.lights[0].colour = {0.5f, 0.25f, 1.0f};
    description.keyframer.nodes.resize(1);   // the box's node only
    ::Scene scene;
    read(scene, description);
    ASSERT_EQ(scene.nodes.size(), 2u);
    EXPECT_EQ(scene.nodes[1].keyframerNode, -1);
    EXPECT_TRUE(boxNear(boundsAt(scene, 0)[1], {50, 50, 50}, {60, 55, 52}));
    EXPECT_FLOAT_EQ(scene.cameraTrack->keys[0].value[1], -120.0f);
    EXPECT_FLOAT_EQ(scene.rollTrack->keys[0].value, 15.0f);
    EXPECT_FLOAT_EQ(scene.fovTrack->keys[0].value, 50.0f);   // 2400 / lens
    EXPECT_FALSE(scene.defaultView);

    scene.draw();
    float diffuse[4], position[4];
    glGetLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glGetLightfv(GL_LIGHT0, GL_POSITION, position);
    EXPECT_FLOAT_EQ(diffuse[2], 1.0f);
    EXPECT_FLOAT_EQ(diffuse[1], 0.25f);
    const Vec3 eye = transformed(scene.viewMatrix, {30, -40, 70});
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(position[c], eye[c], 1e-3f);
}

// Without a camera a 45-degree view from (1, -2, 1) frames the sphere around the frame-0
// box; without usable ranges far is twice the eye's distance to the far side of that
// sphere, near a thousandth of it. The box is 20 units wide: its sphere has radius sqrt(300).
TEST_F(RealScenes, SceneWithoutCameraOrRangesIsFramedAndClippedByItsExtent)
{
    const float radius = std::sqrt(300.0f);
    const float framing = 1.05f * radius / std::sin(22.5f * 3.141592f / 180.0f);
    const std::vector<std::tuple<const char*, std::function<void(writer3ds::Scene&)>, float>> cases = {
        {"no camera", [](writer3ds::Scene& d) {
             d.hasCamera = false;
             d.keyframer.nodes.erase(d.keyframer.nodes.begin() + 1, d.keyframer.nodes.begin() + 3);
         }, 2.0f * (framing + radius)},
        {"no ranges chunk", [](writer3ds::Scene& d) { d.camera.writeRanges = false; }, 2.0f * (100.0f + radius)},
        {"near 0", [](writer3ds::Scene& d) { d.camera.nearPlane = 0.0f; }, 2.0f * (100.0f + radius)},
        {"far below near", [](writer3ds::Scene& d) { d.camera.farPlane = 0.5f; }, 2.0f * (100.0f + radius)},
    };
    for (const auto& [name, change, far] : cases) {
        writer3ds::Scene description = sampleScene();
        change(description);
        ::Scene scene;
        read(scene, description);
        EXPECT_TRUE(scene.derivedPlanes) << name;
        EXPECT_NEAR(scene.farPlane, far, 1e-3f * far) << name;
        EXPECT_FLOAT_EQ(scene.nearPlane, scene.farPlane / 1000.0f) << name;
    }

    writer3ds::Scene description = sampleScene();
    std::get<1>(cases[0])(description);
    description.lights.clear();
    description.keyframer.nodes.pop_back();
    ::Scene scene;
    read(scene, description);
    ASSERT_TRUE(scene.defaultView);
    ASSERT_FALSE(scene.nodes[0].mesh->flags & MESH_LIT);
    const std::array<float, 4> rect = drawAndProject(scene, MESH_CULL | MESH_DEPTH_TEST | MESH_DEPTH_WRITE);
    EXPECT_TRUE(scene.nodes[0].mesh->flags & MESH_LIT) << "the head light lights the meshes";
    // The box lies inside the picture and fills its middle, lit red by the head light.
    EXPECT_TRUE(rect[0] >= 0.0f && rect[1] >= 0.0f && rect[2] <= viewportWidth && rect[3] <= viewportHeight)
        << rect[0] << ", " << rect[1] << " .. " << rect[2] << ", " << rect[3];
    const std::array<int, 4> centre = readPixel(32, 32);
    EXPECT_GT(centre[0], 60);
    EXPECT_LT(centre[1], 10);
    EXPECT_TRUE(pixelNear(readPixel(1, 1), {0, 0, 0, 255}));
}
