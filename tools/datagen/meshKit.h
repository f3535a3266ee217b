// Geometry for the generated scenes: a small vector and affine-matrix kit and builders for
// boxes, cylinders, tori, gears, tubes along paths, spheres, terrain grids, grass blades
// and block letters. Every triangle runs counter-clockwise seen from outside, so its
// normal points outwards; `flipFaces` turns a shape inside out for rooms and skies.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

struct V3 {
    double x = 0.0, y = 0.0, z = 0.0;
};

V3 operator+(V3 a, V3 b);
V3 operator-(V3 a, V3 b);
V3 operator*(V3 a, double s);
double dot(V3 a, V3 b);
V3 cross(V3 a, V3 b);
double length(V3 a);
V3 normalised(V3 a);
V3 lerp(V3 a, V3 b, double t);

// A 3 x 4 affine transform: rows of (linear part | translation).
struct Affine {
    double m[3][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}};

    static Affine translation(V3 offset);
    // Right-handed (counter-clockwise looking down the axis) by `radians` about `axis`.
    static Affine rotation(V3 axis, double radians);
    static Affine scaling(V3 factors);
    // Turns +z onto `direction` (any unit or non-unit vector), twisting as little as it can.
    static Affine alignZ(V3 direction);
    V3 apply(V3 point) const;
};
Affine operator*(const Affine& a, const Affine& b);

struct MeshData {
    std::vector<V3> points;
    std::vector<std::array<int, 3>> faces;
    std::vector<std::array<double, 2>> uv;   // one per point; v up

    // Appends another mesh moved by `transform`.
    void append(const MeshData& other, const Affine& transform = Affine());
    // Adds a quad a-b-c-d (counter-clockwise from its front) with its own four points.
    void addQuad(V3 a, V3 b, V3 c, V3 d, std::array<double, 2> uvA, std::array<double, 2> uvB,
                 std::array<double, 2> uvC, std::array<double, 2> uvD);
    void addTriangle(V3 a, V3 b, V3 c, std::array<double, 2> uvA, std::array<double, 2> uvB,
                     std::array<double, 2> uvC);
};

void flipFaces(MeshData& mesh);
void transformMesh(MeshData& mesh, const Affine& transform);

// Centred on the origin; each face maps the whole texture once.
MeshData boxMesh(V3 size);
// Axis along z, centred; u around (repeated uRepeat times), v along the height.
MeshData cylinderMesh(double radius, double height, int segments, bool capped, double uRepeat = 1.0);
// A cone-like frustum along z from radius0 at -height/2 to radius1 at +height/2.
MeshData frustumMesh(double radius0, double radius1, double height, int segments, bool capped);
// In the xy plane around the z axis.
MeshData torusMesh(double majorRadius, double minorRadius, int majorSegments, int minorSegments);
// A spur gear in the xy plane, `thickness` along z, with a round hole in the middle.
MeshData gearMesh(double pitchRadius, double toothDepth, int teeth, double holeRadius, double thickness);
// A round tube along a path of points; u around, v along (vPerUnit per unit of length).
MeshData tubeMesh(const std::vector<V3>& path, double radius, int sides, double vPerUnit);
MeshData sphereMesh(double radius, int rings, int segments, double uRepeat = 1.0, double vRepeat = 1.0);
// A height field over [-width/2, width/2] x [-depth/2, depth/2]; uv repeats every `tile` units.
MeshData terrainMesh(double width, double depth, int columns, int rows, double tile,
                     const std::function<double(double, double)>& height);
// One grass blade from `base`, leaning along `lean` (a horizontal unit vector) by `bend`.
MeshData bladeMesh(V3 base, double height, double width, V3 lean, double bend);
// Block letters of the bitmap font in the xz plane facing -y: each run of font pixels in a
// row becomes one box `cell` high and `depth` deep. The text's left edge is at x = 0 and
// its baseline (bottom of the glyphs) at z = 0. Returns one mesh per character that has
// pixels, with the x of its left edge.
struct LetterMesh {
    char character;
    double left;
    MeshData mesh;
};
std::vector<LetterMesh> blockLetters(const std::string& text, double cell, double depth);
