#include "platform/loadError.h"
#include "scene3ds/scene.h"
#include "tools/datagen/meshKit.h"
#include "tools/datagen/sceneKit.h"
#include "tools/datagen/stableMath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

TEST(StableMath, MatchesKnownValuesWithoutTheCLibrary)
{
    EXPECT_NEAR(stableSin(STABLE_PI / 6.0), 0.5, 1e-14);
    EXPECT_NEAR(stableSin(-7.0 * STABLE_PI / 2.0), 1.0, 1e-13);
    EXPECT_NEAR(stableCos(STABLE_PI), -1.0, 1e-14);
    EXPECT_NEAR(stableExp(1.0), 2.718281828459045, 1e-14);
    EXPECT_NEAR(stableExp(-10.0), 4.5399929762484854e-05, 1e-18);
    EXPECT_NEAR(stableLog(10.0), 2.302585092994046, 1e-13);
    EXPECT_NEAR(stablePow(2.0, 0.5), 1.4142135623730951, 1e-13);
    EXPECT_NEAR(stableAtan(1.0), STABLE_PI / 4.0, 1e-14);
    EXPECT_NEAR(stableAtan(-3.0), -1.2490457723982544, 1e-13);
}

// Sum over faces of (face normal . (face centre - inside point)): every face of a closed
// shape built outward-facing must have a positive term.
int inwardFaces(const MeshData& mesh, V3 inside)
{
    int inward = 0;
    for (const auto& face : mesh.faces) {
        const V3 a = mesh.points[face[0]], b = mesh.points[face[1]], c = mesh.points[face[2]];
        const V3 normal = cross(b - a, c - a);
        const V3 centre = (a + b + c) * (1.0 / 3.0);
        inward += dot(normal, centre - inside) <= 0.0 ? 1 : 0;
    }
    return inward;
}

TEST(MeshKit, ClosedShapesFaceOutwardsAndFlippingTurnsThemIn)
{
    EXPECT_EQ(inwardFaces(boxMesh({2.0, 3.0, 4.0}), {}), 0);
    EXPECT_EQ(inwardFaces(cylinderMesh(2.0, 5.0, 12, true), {}), 0);
    EXPECT_EQ(inwardFaces(sphereMesh(3.0, 8, 12), {}), 0);
    MeshData ring = torusMesh(10.0, 2.0, 24, 8);
    // A torus faces away from its core circle: test each face against the nearest point of it.
    int inward = 0;
    for (const auto& face : ring.faces) {
        const V3 a = ring.points[face[0]], b = ring.points[face[1]], c = ring.points[face[2]];
        const V3 centre = (a + b + c) * (1.0 / 3.0);
        const V3 core = normalised({centre.x, centre.y, 0.0}) * 10.0;
        inward += dot(cross(b - a, c - a), centre - core) <= 0.0 ? 1 : 0;
    }
    EXPECT_EQ(inward, 0);
    MeshData tube = tubeMesh({{0, 0, 0}, {0, 10, 0}, {5, 20, 3}}, 1.0, 8, 0.1);
    EXPECT_EQ(tube.faces.size(), 2u * 8u * 2u);
    MeshData inside = boxMesh({2.0, 2.0, 2.0});
    flipFaces(inside);
    EXPECT_EQ(inwardFaces(inside, {}), static_cast<int>(inside.faces.size()));
}

// The kit stores each mesh where its frame-0 transform puts it, ancestors included, and
// writes rotation keys the reader turns the right way: the reader's rest inverse must
// take every stored point back to the object's own coordinates.
TEST(SceneKit, StoredPointsAreTheLocalMeshMovedByTheFrameZeroTransform)
{
    SceneBuilder builder(100);
    builder.addMaterial(sceneMaterial("m", {1.0, 1.0, 1.0}));
    SceneObject parent;
    parent.name = "parent";
    parent.mesh = boxMesh({1.0, 1.0, 1.0});
    parent.material = "m";
    parent.positions = {{0, {10.0, 0.0, 0.0}}};
    parent.spin = {{0, STABLE_PI * 0.5}, {100, STABLE_PI}};
    const int parentIndex = builder.addObject(parent);
    SceneObject child;
    child.name = "child";
    child.mesh.addTriangle({1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0}, {1, 0}, {0, 1});
    child.material = "m";
    child.parent = parentIndex;
    child.positions = {{0, {0.0, 5.0, 0.0}}};
    builder.addObject(child);
    builder.setCamera({{0, {0, -50, 0}}}, {{0, {0, 0, 0}}}, {{0, 45.0}}, {{0, 0.0}}, 1.0, 100.0);

    std::vector<std::uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(builder.bytes(bytes, error)) << error;
    Scene scene;
    LoadError loadError;
    ASSERT_TRUE(scene.readBytes(bytes.data(), bytes.size(), "kit.3ds", loadError)) << formatLoadError(loadError);
    ASSERT_EQ(scene.nodeCount, 2);
    const SceneNode& node = scene.nodes[1];
    EXPECT_EQ(node.parent, &scene.nodes[0]);
    // Parent at (10, 0, 0) turned a quarter turn counter-clockwise: the child's origin
    // (0, 5, 0) lands at (5, 0, 0) and its point (1, 0, 0) at (5, 1, 0).
    const float* stored = node.mesh->positions[0];
    EXPECT_NEAR(stored[0], 5.0f, 1e-4f);
    EXPECT_NEAR(stored[1], 1.0f, 1e-4f);
    EXPECT_NEAR(stored[2], 0.0f, 1e-4f);
    const float* m = node.restInverse;
    for (int corner = 0; corner < 3; ++corner) {
        const float* p = &stored[3 * corner];
        const float local[3] = {m[0] * p[0] + m[4] * p[1] + m[8] * p[2] + m[12],
                                m[1] * p[0] + m[5] * p[1] + m[9] * p[2] + m[13],
                                m[2] * p[0] + m[6] * p[1] + m[10] * p[2] + m[14]};
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(local[k], corner == k ? 1.0f : 0.0f, 1e-3f) << "corner " << corner << " axis " << k;
        }
    }
}

} // namespace
