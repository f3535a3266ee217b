#include "render/geosphere.h"
#include "render/mesh.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <utility>

// Level 4 of radius 70: 642 vertices on the sphere and 1280 faces wound outwards (the effects
// cull back faces), closed, with no duplicated vertex (a midpoint made twice would leave an
// edge without its twin, and a seam in the normals the effects recompute): every edge is used
// once in each direction.
TEST(Geosphere, LevelFourIsAClosedSphereOf642VerticesAnd1280FacesWithoutSeams)
{
    EXPECT_EQ(geosphereFaceCount(1), 20);
    EXPECT_EQ(geosphereVertexCount(6), 10242);
    EXPECT_EQ(geosphereFaceCount(7), 0);
    Mesh mesh(2);
    mesh.buildGeosphere(70.0f, 4, 0.75f);
    ASSERT_EQ(mesh.vertexCount, 642);
    ASSERT_EQ(mesh.faceCount, 1280);
    EXPECT_EQ(mesh.texCoordCount, 642);
    for (int i = 0; i < mesh.vertexCount; ++i) {
        const float* p = mesh.positions[0] + 3 * i;
        ASSERT_NEAR(std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]), 70.0f, 70.0f * 1e-6f) << "vertex " << i;
    }
    std::map<std::pair<int, int>, int> directedEdges;
    for (int k = 0; k < mesh.faceCount; ++k) {
        const auto* f = mesh.faces + 3 * k;
        for (int corner = 0; corner < 3; ++corner) ++directedEdges[{f[corner], f[(corner + 1) % 3]}];
        const float *a = mesh.positions[0] + 3 * f[0], *b = mesh.positions[0] + 3 * f[1], *c = mesh.positions[0] + 3 * f[2];
        const float u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]}, v[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
        const float outwards = (u[1] * v[2] - u[2] * v[1]) * a[0] + (u[2] * v[0] - u[0] * v[2]) * a[1] +
                               (u[0] * v[1] - u[1] * v[0]) * a[2];
        ASSERT_GT(outwards, 0.0f) << "face " << k;
    }
    EXPECT_EQ(directedEdges.size(), 3u * 1280u);
    for (const auto& edge : directedEdges) {
        ASSERT_EQ(edge.second, 1);
        ASSERT_EQ(directedEdges.count({edge.first.second, edge.first.first}), 1u);
    }
}
