#include "render/mesh.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

// A face of zero area, as a wobble can make, gets a finite normal rather than NaN.
TEST(Mesh, FaceNormalOfAZeroAreaFaceStaysFinite)
{
    Mesh mesh;
    mesh.allocVertices(3, 0);
    mesh.allocFaces(1, 0);
    const float points[9] = {0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 2.0f, 0.0f, 0.0f};
    std::copy(points, points + 9, mesh.positions[0]);
    for (int i = 0; i < 3; ++i) mesh.faces[i] = static_cast<std::int16_t>(i);
    mesh.computeFaceNormals(0, 1.0f);
    for (int c = 0; c < 3; ++c) EXPECT_TRUE(std::isfinite(mesh.faceNormals[0][c]));
}

// An octahedron of unit-length face normals: each corner meets four faces whose normals
// are (+-1, +-1, +-1) / sqrt(3) with the corner's own sign on its axis, so with divisor 4
// each vertex normal is the corner's direction over sqrt(3). Frame 1 only: frame 0 keeps
// the zero normals it was given. A corner met by the five faces of a flat fan of normals
// (0, 0, 0.5), divided by 6, is (0, 0, 5/12).
TEST(Mesh, VertexNormalsAreEachFacesShareOfTheFaceNormalsMeetingThere)
{
    Mesh octahedron{2};
    octahedron.allocVertices(6, 0);
    octahedron.allocFaces(8, 0);
    const float corners[18] = {1, 0, 0, -1, 0, 0, 0, 1, 0, 0, -1, 0, 0, 0, 1, 0, 0, -1};
    for (int frame = 0; frame < 2; ++frame) std::copy(corners, corners + 18, octahedron.positions[frame]);
    // Counter-clockwise seen from outside: x+ y+ z+, and so on round the eight octants.
    const std::uint16_t faces[24] = {0, 2, 4, 2, 1, 4, 1, 3, 4, 3, 0, 4, 2, 0, 5, 1, 2, 5, 3, 1, 5, 0, 3, 5};
    std::copy(faces, faces + 24, octahedron.faces);
    std::fill(octahedron.vertexNormals[0], octahedron.vertexNormals[0] + 18, 0.0f);
    octahedron.computeFaceNormals(1, 1.0f);
    octahedron.computeVertexNormals(1, 4);
    const float third = 1.0f / std::sqrt(3.0f);
    for (int v = 0; v < 6; ++v) {
        for (int c = 0; c < 3; ++c) {
            EXPECT_NEAR(octahedron.vertexNormals[1][3 * v + c], corners[3 * v + c] * third, 1e-6f) << v << ", " << c;
            EXPECT_EQ(octahedron.vertexNormals[0][3 * v + c], 0.0f);
        }
    }

    Mesh fan;
    fan.allocVertices(6, 0);
    fan.allocFaces(5, 0);
    for (int v = 0; v < 6; ++v) {
        const float angle = v == 0 ? 0.0f : 1.2566371f * (v - 1);
        fan.positions[0][3 * v] = v == 0 ? 0.0f : std::cos(angle);
        fan.positions[0][3 * v + 1] = v == 0 ? 0.0f : std::sin(angle);
        fan.positions[0][3 * v + 2] = 0.0f;
    }
    for (int f = 0; f < 5; ++f) {
        fan.faces[3 * f] = 0;
        fan.faces[3 * f + 1] = static_cast<std::uint16_t>(1 + f);
        fan.faces[3 * f + 2] = static_cast<std::uint16_t>(1 + (f + 1) % 5);
    }
    fan.computeFaceNormals(0, 0.5f);
    fan.computeVertexNormals(0, 6);
    EXPECT_NEAR(fan.vertexNormals[0][2], 5.0f / 12.0f, 1e-6f);
    EXPECT_NEAR(fan.vertexNormals[0][3 + 2], 2.0f * 0.5f / 6.0f, 1e-6f);
}
