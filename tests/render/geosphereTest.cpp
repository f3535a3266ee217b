#include "render/geosphere.h"
#include "render/mesh.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <map>
#include <utility>

namespace {

std::array<int, 3> face(const Mesh& mesh, int k)
{
    return {mesh.faces[3 * k], mesh.faces[3 * k + 1], mesh.faces[3 * k + 2]};
}

float length(const float* v)
{
    return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
}

}  // namespace

TEST(Geosphere, CountsForEachLevelAndLevelOneIsTheIcosahedronTurnedOutwards)
{
    EXPECT_EQ(geosphereFaceCount(1), 20);
    EXPECT_EQ(geosphereVertexCount(6), 10242);
    EXPECT_EQ(geosphereFaceCount(7), 0);
    Mesh mesh(2);
    mesh.buildGeosphere(1.0f, 1, 0.75f);
    EXPECT_EQ(mesh.vertexCount, 12);
    EXPECT_EQ(mesh.faceCount, 20);
    EXPECT_EQ(face(mesh, 0), (std::array<int, 3>{0, 1, 4}));
    EXPECT_EQ(face(mesh, 1), (std::array<int, 3>{0, 4, 9}));
    EXPECT_FLOAT_EQ(mesh.positions[0][0], -0.525731086730957f);
    EXPECT_FLOAT_EQ(mesh.positions[0][2], 0.8506507873535156f);
}

class GeosphereLevelFour : public ::testing::Test {
protected:
    static constexpr float radius = 70.0f;
    static constexpr float normalLength = 0.75f;

    GeosphereLevelFour() : mesh(2) { mesh.buildGeosphere(radius, 4, normalLength); }

    Mesh mesh;
};

TEST_F(GeosphereLevelFour, Has642VerticesAnd1280FacesAndFirstFacesAsBuilt)
{
    EXPECT_EQ(mesh.vertexCount, 642);
    EXPECT_EQ(mesh.faceCount, 1280);
    EXPECT_EQ(mesh.texFaceCount, 1280);
    EXPECT_EQ(mesh.texCoordCount, 642);
    EXPECT_EQ(face(mesh, 0), (std::array<int, 3>{0, 20, 18}));
    EXPECT_EQ(face(mesh, 1), (std::array<int, 3>{15, 18, 19}));
}

TEST_F(GeosphereLevelFour, RadiiAndNormalsHaveTheirLengthsAndPointOutwards)
{
    for (int i = 0; i < mesh.vertexCount; ++i) {
        const float* p = mesh.positions[0] + 3 * i;
        const float* n = mesh.vertexNormals[0] + 3 * i;
        ASSERT_NEAR(length(p), radius, radius * 1e-6f) << "vertex " << i;
        ASSERT_NEAR(length(n), 1.0f, 1e-6f) << "vertex " << i;
        const float cosine = (p[0] * n[0] + p[1] * n[1] + p[2] * n[2]) / length(p);
        ASSERT_NEAR(cosine, 1.0f, 1e-6f) << "vertex " << i;
    }
    for (int k = 0; k < mesh.faceCount; ++k) {
        const float* n = mesh.faceNormals[0] + 3 * k;
        ASSERT_NEAR(length(n), normalLength, 1e-5f) << "face " << k;
        float centroid[3] = {0, 0, 0};
        for (int corner = 0; corner < 3; ++corner) {
            for (int c = 0; c < 3; ++c) {
                centroid[c] += mesh.positions[0][3 * mesh.faces[3 * k + corner] + c];
            }
        }
        ASSERT_GT(centroid[0] * n[0] + centroid[1] * n[1] + centroid[2] * n[2], 0.0f) << "face " << k;
    }
}

// Closed and consistently wound, with no duplicated vertex (a midpoint made twice would
// leave an edge without its twin): every edge is used once in each direction.
TEST_F(GeosphereLevelFour, EveryEdgeIsSharedByTwoFacesOfOppositeWinding)
{
    std::map<std::pair<int, int>, int> directedEdges;
    for (int k = 0; k < mesh.faceCount; ++k) {
        const std::array<int, 3> f = face(mesh, k);
        for (int corner = 0; corner < 3; ++corner) {
            ++directedEdges[{f[corner], f[(corner + 1) % 3]}];
        }
    }
    EXPECT_EQ(directedEdges.size(), 3u * 1280u);
    for (const auto& edge : directedEdges) {
        ASSERT_EQ(edge.second, 1);
        ASSERT_EQ(directedEdges.count({edge.first.second, edge.first.first}), 1u);
    }
}
