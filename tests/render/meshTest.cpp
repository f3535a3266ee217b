#include "render/mesh.h"

#include <gtest/gtest.h>

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
