// Counts of the geodesic sphere that Mesh::buildGeosphere makes (an icosahedron split
// level - 1 times into four), so that callers can size what rides on its vertices.
// The build itself is an operation of Mesh (render/mesh.h).
#pragma once

#include <cstdint>

// Largest level whose counts fit the mesh's 16-bit allocation counts.
constexpr int GEOSPHERE_MAX_LEVEL = 6;

// 20 * 4^(level - 1) triangles: 1280 at level 4.
int geosphereFaceCount(int level);
// faces / 2 + 2 vertices: 642 at level 4.
int geosphereVertexCount(int level);
