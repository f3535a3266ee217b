#include "render/geosphere.h"

#include "render/mesh.h"

#include <cassert>
#include <cmath>
#include <cstring>

namespace {

// The unit icosahedron's 0.5257311121 and 0.8506508084 as they round to single precision.
constexpr float icosahedronX = 0.525731086730957f;
constexpr float icosahedronZ = 0.8506507873535156f;

constexpr float icosahedronVertices[12][3] = {
    {-icosahedronX, 0.0f, icosahedronZ},  {icosahedronX, 0.0f, icosahedronZ},  {-icosahedronX, 0.0f, -icosahedronZ},
    {icosahedronX, 0.0f, -icosahedronZ},  {0.0f, icosahedronZ, icosahedronX},  {0.0f, icosahedronZ, -icosahedronX},
    {0.0f, -icosahedronZ, icosahedronX},  {0.0f, -icosahedronZ, -icosahedronX}, {icosahedronZ, icosahedronX, 0.0f},
    {-icosahedronZ, icosahedronX, 0.0f},  {icosahedronZ, -icosahedronX, 0.0f}, {-icosahedronZ, -icosahedronX, 0.0f},
};

// Wound clockwise seen from outside; the build's winding pass turns every face round.
constexpr int icosahedronFaces[20][3] = {
    {0, 4, 1},  {0, 9, 4},  {9, 5, 4},  {4, 5, 8},  {4, 8, 1},  {8, 10, 1}, {8, 3, 10},
    {5, 3, 8},  {5, 2, 3},  {2, 7, 3},  {7, 10, 3}, {7, 6, 10}, {7, 11, 6}, {11, 0, 6},
    {0, 1, 6},  {6, 1, 10}, {9, 0, 11}, {9, 11, 2}, {9, 2, 5},  {7, 2, 11},
};

}  // namespace

int geosphereFaceCount(int level)
{
    if (level < 1 || level > GEOSPHERE_MAX_LEVEL) {
        return 0;
    }
    return 20 << (2 * level - 2);
}

int geosphereVertexCount(int level)
{
    const int faceCount = geosphereFaceCount(level);
    return faceCount == 0 ? 0 : faceCount / 2 + 2;
}

void Mesh::buildGeosphere(float radius, std::int8_t level, float normalLength)
{
    // Below level 1 the recursion never ends; above 6 the counts overflow 16 bits.
    assert(level >= 1 && level <= GEOSPHERE_MAX_LEVEL);
    if (level < 1 || level > GEOSPHERE_MAX_LEVEL) {
        return;
    }
    buildVertexCount = 12;
    buildFaceCount = 0;
    const int faces20 = geosphereFaceCount(level);
    const int vertices = geosphereVertexCount(level);
    faceCount = texFaceCount = faces20;
    allocVertices(static_cast<std::uint16_t>(vertices), static_cast<std::uint16_t>(vertices));
    allocFaces(static_cast<std::uint16_t>(faces20), static_cast<std::uint16_t>(faces20));
    // The sphere carries no texture mapping; zeros keep a textured draw of it defined.
    std::memset(texCoords, 0, sizeof(float) * 3 * static_cast<std::size_t>(texCoordCount));
    std::memset(texFaces, 0, sizeof(std::uint16_t) * 3 * static_cast<std::size_t>(texFaceCount));

    std::memcpy(positions[0], icosahedronVertices, sizeof icosahedronVertices);
    for (const auto& face : icosahedronFaces) {
        subdivideFace(face[0], face[1], face[2], level);
    }
    assert(buildVertexCount == vertexCount && buildFaceCount == faceCount);

    float* p = positions[0];
    for (int i = 0; i < 3 * vertexCount; ++i) {
        p[i] *= radius;
    }
    computeFaceNormals(0, normalLength);

    // A face whose normal points inwards brings the centroid nearer the centre. Decides
    // rightly while normalLength is under twice the centroid's distance from the centre.
    float* normals = faceNormals[0];
    for (int k = 0; k < faceCount; ++k) {
        const float* p0 = p + 3 * faces[3 * k];
        const float* p1 = p + 3 * faces[3 * k + 1];
        const float* p2 = p + 3 * faces[3 * k + 2];
        float* n = normals + 3 * k;
        const float gx = (p0[0] + p1[0] + p2[0]) / 3.0f;
        const float gy = (p0[1] + p1[1] + p2[1]) / 3.0f;
        const float gz = (p0[2] + p1[2] + p2[2]) / 3.0f;
        const float centroidSquared = gx * gx + gy * gy + gz * gz;
        const float ax = gx + n[0], ay = gy + n[1], az = gz + n[2];
        if (centroidSquared > ax * ax + ay * ay + az * az) {
            const std::uint16_t second = faces[3 * k + 1];
            faces[3 * k + 1] = faces[3 * k + 2];
            faces[3 * k + 2] = second;
            n[0] = -n[0];
            n[1] = -n[1];
            n[2] = -n[2];
        }
    }
    copyFrame(1, 0);
    copyFrame(2, 0);
    markChanged();
}

void Mesh::subdivideFace(int i0, int i1, int i2, std::int8_t level)
{
    if (level == 1) {
        assert(buildFaceCount < faceCount);
        std::uint16_t* face = faces + 3 * buildFaceCount;
        face[0] = static_cast<std::uint16_t>(i0);
        face[1] = static_cast<std::uint16_t>(i1);
        face[2] = static_cast<std::uint16_t>(i2);
        // Still on the unit sphere here, so the positions are the radial unit normals; the
        // later scaling by the radius leaves these copies alone.
        for (int corner : {i0, i1, i2}) {
            std::memcpy(vertexNormals[0] + 3 * corner, positions[0] + 3 * corner, sizeof(float) * 3);
        }
        ++buildFaceCount;
        return;
    }
    const int m01 = midpointVertex(i0, i1);
    const int m12 = midpointVertex(i1, i2);
    const int m20 = midpointVertex(i2, i0);
    const std::int8_t below = static_cast<std::int8_t>(level - 1);
    // The second and third children are wound against their parent; the build's winding
    // pass turns them.
    subdivideFace(i0, m01, m20, below);
    subdivideFace(i1, m01, m12, below);
    subdivideFace(i2, m12, m20, below);
    subdivideFace(m01, m12, m20, below);
}

int Mesh::midpointVertex(int i0, int i1)
{
    float* p = positions[0];
    float m[3] = {p[3 * i0] + p[3 * i1], p[3 * i0 + 1] + p[3 * i1 + 1], p[3 * i0 + 2] + p[3 * i1 + 2]};
    const float length = std::sqrt(m[0] * m[0] + m[1] * m[1] + m[2] * m[2]);
    m[0] /= length;
    m[1] /= length;
    m[2] /= length;
    // Linear search: the build runs once per sphere at start-up, 642 vertices at level 4.
    for (int i = 0; i < buildVertexCount; ++i) {
        bool same = true;
        for (int c = 0; c < 3 && same; ++c) {
            const double difference = static_cast<double>(p[3 * i + c]) - static_cast<double>(m[c]);
            same = difference > -0.0001 && difference < 0.0001;
        }
        if (same) {
            return i;
        }
    }
    assert(buildVertexCount < vertexCount);
    std::memcpy(p + 3 * buildVertexCount, m, sizeof m);
    return buildVertexCount++;
}
