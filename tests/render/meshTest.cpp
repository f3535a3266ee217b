#include "render/mesh.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

void setVertex(Mesh& mesh, int frame, int i, float x, float y, float z)
{
    mesh.positions[frame][3 * i] = x;
    mesh.positions[frame][3 * i + 1] = y;
    mesh.positions[frame][3 * i + 2] = z;
}

void setFace(Mesh& mesh, int k, int a, int b, int c)
{
    mesh.faces[3 * k] = static_cast<std::int16_t>(a);
    mesh.faces[3 * k + 1] = static_cast<std::int16_t>(b);
    mesh.faces[3 * k + 2] = static_cast<std::int16_t>(c);
}

// A fan of faceCount counter-clockwise triangles in z = 0 around vertex 0, all facing +z.
void buildFan(Mesh& mesh, int faceCount)
{
    mesh.allocVertices(static_cast<std::uint16_t>(faceCount + 1), 0);
    mesh.allocFaces(static_cast<std::uint16_t>(faceCount), 0);
    setVertex(mesh, 0, 0, 0.0f, 0.0f, 0.0f);
    for (int i = 0; i < faceCount; ++i) {
        const float angle = 6.283184f * static_cast<float>(i) / static_cast<float>(faceCount + 1);
        setVertex(mesh, 0, i + 1, std::cos(angle), std::sin(angle), 0.0f);
    }
    for (int k = 0; k < faceCount; ++k) {
        setFace(mesh, k, 0, k + 1, k + 2 > faceCount ? 1 : k + 2);
    }
}

}  // namespace

TEST(Mesh, FaceNormalFollowsTheWindingHasTheGivenLengthAndStaysFiniteForZeroArea)
{
    Mesh mesh;
    mesh.allocVertices(3, 0);
    mesh.allocFaces(2, 0);
    setVertex(mesh, 0, 0, 0.0f, 0.0f, 0.0f);
    setVertex(mesh, 0, 1, 1.0f, 0.0f, 0.0f);
    setVertex(mesh, 0, 2, 0.0f, 1.0f, 0.0f);
    setFace(mesh, 0, 0, 1, 2);
    setFace(mesh, 1, 0, 2, 1);
    mesh.computeFaceNormals(0, 0.5f);
    EXPECT_FLOAT_EQ(mesh.faceNormals[0][0], 0.0f);
    EXPECT_FLOAT_EQ(mesh.faceNormals[0][1], 0.0f);
    EXPECT_FLOAT_EQ(mesh.faceNormals[0][2], 0.5f);
    EXPECT_FLOAT_EQ(mesh.faceNormals[0][5], -0.5f);

    // A face of zero area gets a finite normal.
    setVertex(mesh, 0, 2, 2.0f, 0.0f, 0.0f);
    mesh.computeFaceNormals(0, 1.0f);
    for (int c = 0; c < 3; ++c) {
        EXPECT_TRUE(std::isfinite(mesh.faceNormals[0][c]));
    }
}

// Vertex normals are sums divided by the divisor, not normalised: five faces of length
// 0.5 over 6 give 2.5 / 6.
TEST(Mesh, VertexNormalIsTheSumOfItsFaceNormalsOverTheDivisor)
{
    for (int faces : {5, 6}) {
        Mesh mesh;
        buildFan(mesh, faces);
        mesh.computeFaceNormals(0, 0.5f);
        mesh.computeVertexNormals(0, 6);
        EXPECT_FLOAT_EQ(mesh.vertexNormals[0][0], 0.0f);
        EXPECT_FLOAT_EQ(mesh.vertexNormals[0][1], 0.0f);
        EXPECT_FLOAT_EQ(mesh.vertexNormals[0][2], faces == 5 ? 0.41666666f : 0.5f) << faces << " faces";
        // A rim vertex meets two faces.
        EXPECT_FLOAT_EQ(mesh.vertexNormals[0][5], 1.0f / 6.0f);
    }
}

TEST(Mesh, WobbleScalesEachVertexAlongItsRadius)
{
    Mesh mesh(2);
    mesh.allocVertices(2, 0);
    // Wavelength 4: x = 1 is a quarter wave, sin = 1 (to single precision); y = z = 0 give 0.
    setVertex(mesh, 0, 0, 1.0f, 0.0f, 0.0f);
    // The centre stays where it is, whatever the wave.
    setVertex(mesh, 0, 1, 0.0f, 0.0f, 0.0f);
    mesh.wobbleMesh(1, 0, 0.5f, 4.0f, 0.0f, 0.0f, 0.0f);
    EXPECT_NEAR(mesh.positions[1][0], 1.0f + 0.5f / 3.0f, 1e-6f);
    EXPECT_EQ(mesh.positions[1][1], 0.0f);
    EXPECT_EQ(mesh.positions[1][2], 0.0f);
    EXPECT_EQ(mesh.positions[1][3], 0.0f);

    setVertex(mesh, 0, 1, 2.0f, -1.0f, 0.5f);
    mesh.wobbleMesh(1, 0, 0.5f, 4.0f, -1.0f, 2.0f, 0.5f);
    // Each phase plus coordinate is 1, a quarter wave: all three sines are 1, k = 1.5.
    EXPECT_NEAR(mesh.positions[1][3], 3.0f, 1e-5f);
    EXPECT_NEAR(mesh.positions[1][4], -1.5f, 1e-5f);
    EXPECT_NEAR(mesh.positions[1][5], 0.75f, 1e-5f);
    // Frame 0 is the source and stays as it was.
    EXPECT_EQ(mesh.positions[0][3], 2.0f);
}
