#include "tools/datagen/meshKit.h"

#include "render/bitmapFont.h"
#include "tools/datagen/stableMath.h"

#include <cmath>
#include <utility>

V3 operator+(V3 a, V3 b)
{
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}

V3 operator-(V3 a, V3 b)
{
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

V3 operator*(V3 a, double s)
{
    return {a.x * s, a.y * s, a.z * s};
}

double dot(V3 a, V3 b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

V3 cross(V3 a, V3 b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

double length(V3 a)
{
    return std::sqrt(dot(a, a));
}

V3 normalised(V3 a)
{
    const double l = length(a);
    return l > 0.0 ? a * (1.0 / l) : V3{0.0, 0.0, 1.0};
}

V3 lerp(V3 a, V3 b, double t)
{
    return a + (b - a) * t;
}

Affine Affine::translation(V3 offset)
{
    Affine a;
    a.m[0][3] = offset.x;
    a.m[1][3] = offset.y;
    a.m[2][3] = offset.z;
    return a;
}

Affine Affine::rotation(V3 axis, double radians)
{
    const V3 n = normalised(axis);
    const double c = stableCos(radians);
    const double s = stableSin(radians);
    const double t = 1.0 - c;
    Affine a;
    a.m[0][0] = t * n.x * n.x + c;
    a.m[0][1] = t * n.x * n.y - s * n.z;
    a.m[0][2] = t * n.x * n.z + s * n.y;
    a.m[1][0] = t * n.x * n.y + s * n.z;
    a.m[1][1] = t * n.y * n.y + c;
    a.m[1][2] = t * n.y * n.z - s * n.x;
    a.m[2][0] = t * n.x * n.z - s * n.y;
    a.m[2][1] = t * n.y * n.z + s * n.x;
    a.m[2][2] = t * n.z * n.z + c;
    return a;
}

Affine Affine::scaling(V3 factors)
{
    Affine a;
    a.m[0][0] = factors.x;
    a.m[1][1] = factors.y;
    a.m[2][2] = factors.z;
    return a;
}

Affine Affine::alignZ(V3 direction)
{
    const V3 z = normalised(direction);
    const V3 helper = std::fabs(z.x) < 0.9 ? V3{1, 0, 0} : V3{0, 1, 0};
    const V3 y = normalised(cross(z, helper));
    const V3 x = cross(y, z);
    Affine a;
    a.m[0][0] = x.x;
    a.m[1][0] = x.y;
    a.m[2][0] = x.z;
    a.m[0][1] = y.x;
    a.m[1][1] = y.y;
    a.m[2][1] = y.z;
    a.m[0][2] = z.x;
    a.m[1][2] = z.y;
    a.m[2][2] = z.z;
    return a;
}

V3 Affine::apply(V3 p) const
{
    return {m[0][0] * p.x + m[0][1] * p.y + m[0][2] * p.z + m[0][3],
            m[1][0] * p.x + m[1][1] * p.y + m[1][2] * p.z + m[1][3],
            m[2][0] * p.x + m[2][1] * p.y + m[2][2] * p.z + m[2][3]};
}

Affine operator*(const Affine& a, const Affine& b)
{
    Affine r;
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 4; ++column) {
            double sum = column == 3 ? a.m[row][3] : 0.0;
            for (int k = 0; k < 3; ++k) {
                sum += a.m[row][k] * b.m[k][column];
            }
            r.m[row][column] = sum;
        }
    }
    return r;
}

void MeshData::append(const MeshData& other, const Affine& transform)
{
    const int offset = static_cast<int>(points.size());
    for (const V3& p : other.points) {
        points.push_back(transform.apply(p));
    }
    for (const auto& face : other.faces) {
        faces.push_back({face[0] + offset, face[1] + offset, face[2] + offset});
    }
    uv.insert(uv.end(), other.uv.begin(), other.uv.end());
}

void MeshData::addQuad(V3 a, V3 b, V3 c, V3 d, std::array<double, 2> uvA, std::array<double, 2> uvB,
                       std::array<double, 2> uvC, std::array<double, 2> uvD)
{
    const int base = static_cast<int>(points.size());
    points.insert(points.end(), {a, b, c, d});
    uv.insert(uv.end(), {uvA, uvB, uvC, uvD});
    faces.push_back({base, base + 1, base + 2});
    faces.push_back({base, base + 2, base + 3});
}

void MeshData::addTriangle(V3 a, V3 b, V3 c, std::array<double, 2> uvA, std::array<double, 2> uvB,
                           std::array<double, 2> uvC)
{
    const int base = static_cast<int>(points.size());
    points.insert(points.end(), {a, b, c});
    uv.insert(uv.end(), {uvA, uvB, uvC});
    faces.push_back({base, base + 1, base + 2});
}

void flipFaces(MeshData& mesh)
{
    for (auto& face : mesh.faces) {
        std::swap(face[1], face[2]);
    }
}

void transformMesh(MeshData& mesh, const Affine& transform)
{
    for (V3& p : mesh.points) {
        p = transform.apply(p);
    }
}

MeshData boxMesh(V3 size)
{
    MeshData mesh;
    const V3 h = size * 0.5;
    // For each face: its normal and two in-plane axes u, v with u x v = normal.
    const V3 normals[6] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    const V3 us[6] = {{0, 1, 0}, {0, 0, 1}, {0, 0, 1}, {1, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    const V3 vs[6] = {{0, 0, 1}, {0, 1, 0}, {1, 0, 0}, {0, 0, 1}, {0, 1, 0}, {1, 0, 0}};
    for (int f = 0; f < 6; ++f) {
        const V3 scaleN{normals[f].x * h.x, normals[f].y * h.y, normals[f].z * h.z};
        const V3 scaleU{us[f].x * h.x, us[f].y * h.y, us[f].z * h.z};
        const V3 scaleV{vs[f].x * h.x, vs[f].y * h.y, vs[f].z * h.z};
        mesh.addQuad(scaleN - scaleU - scaleV, scaleN + scaleU - scaleV, scaleN + scaleU + scaleV,
                     scaleN - scaleU + scaleV, {0, 0}, {1, 0}, {1, 1}, {0, 1});
    }
    return mesh;
}

MeshData frustumMesh(double radius0, double radius1, double height, int segments, bool capped)
{
    MeshData mesh;
    const double z0 = -height * 0.5;
    const double z1 = height * 0.5;
    for (int i = 0; i < segments; ++i) {
        const double a0 = 2.0 * STABLE_PI * i / segments;
        const double a1 = 2.0 * STABLE_PI * (i + 1) / segments;
        const V3 d0{stableCos(a0), stableSin(a0), 0.0};
        const V3 d1{stableCos(a1), stableSin(a1), 0.0};
        const double u0 = static_cast<double>(i) / segments;
        const double u1 = static_cast<double>(i + 1) / segments;
        mesh.addQuad(d0 * radius0 + V3{0, 0, z0}, d1 * radius0 + V3{0, 0, z0}, d1 * radius1 + V3{0, 0, z1},
                     d0 * radius1 + V3{0, 0, z1}, {u0, 0}, {u1, 0}, {u1, 1}, {u0, 1});
        if (capped) {
            mesh.addTriangle({0, 0, z1}, d0 * radius1 + V3{0, 0, z1}, d1 * radius1 + V3{0, 0, z1}, {0.5, 0.5},
                             {0.5 + 0.5 * d0.x, 0.5 + 0.5 * d0.y}, {0.5 + 0.5 * d1.x, 0.5 + 0.5 * d1.y});
            mesh.addTriangle({0, 0, z0}, d1 * radius0 + V3{0, 0, z0}, d0 * radius0 + V3{0, 0, z0}, {0.5, 0.5},
                             {0.5 + 0.5 * d1.x, 0.5 + 0.5 * d1.y}, {0.5 + 0.5 * d0.x, 0.5 + 0.5 * d0.y});
        }
    }
    return mesh;
}

MeshData cylinderMesh(double radius, double height, int segments, bool capped, double uRepeat)
{
    MeshData mesh = frustumMesh(radius, radius, height, segments, capped);
    for (auto& coordinate : mesh.uv) {
        coordinate[0] *= uRepeat;
    }
    return mesh;
}

MeshData torusMesh(double majorRadius, double minorRadius, int majorSegments, int minorSegments)
{
    MeshData mesh;
    auto point = [&](int i, int j) {
        const double u = 2.0 * STABLE_PI * i / majorSegments;
        const double v = 2.0 * STABLE_PI * j / minorSegments;
        const double r = majorRadius + minorRadius * stableCos(v);
        return V3{r * stableCos(u), r * stableSin(u), minorRadius * stableSin(v)};
    };
    for (int i = 0; i < majorSegments; ++i) {
        for (int j = 0; j < minorSegments; ++j) {
            const double u0 = 4.0 * i / majorSegments;
            const double u1 = 4.0 * (i + 1) / majorSegments;
            const double v0 = static_cast<double>(j) / minorSegments;
            const double v1 = static_cast<double>(j + 1) / minorSegments;
            mesh.addQuad(point(i, j), point(i + 1, j), point(i + 1, j + 1), point(i, j + 1), {u0, v0}, {u1, v0},
                         {u1, v1}, {u0, v1});
        }
    }
    return mesh;
}

MeshData gearMesh(double pitchRadius, double toothDepth, int teeth, double holeRadius, double thickness)
{
    MeshData mesh;
    const int samplesPerTooth = 8;
    const int samples = teeth * samplesPerTooth;
    // Trapezoid teeth: root, flank up, tip, flank down over one tooth pitch.
    auto profile = [&](int k) {
        const int step = k % samplesPerTooth;
        const double rootRadius = pitchRadius - toothDepth * 0.5;
        const double tipRadius = pitchRadius + toothDepth * 0.5;
        const double heights[samplesPerTooth] = {0.0, 0.0, 0.5, 1.0, 1.0, 1.0, 0.5, 0.0};
        return rootRadius + (tipRadius - rootRadius) * heights[step];
    };
    const double z0 = -thickness * 0.5;
    const double z1 = thickness * 0.5;
    for (int k = 0; k < samples; ++k) {
        const double a0 = 2.0 * STABLE_PI * k / samples;
        const double a1 = 2.0 * STABLE_PI * (k + 1) / samples;
        const V3 d0{stableCos(a0), stableSin(a0), 0.0};
        const V3 d1{stableCos(a1), stableSin(a1), 0.0};
        const double r0 = profile(k);
        const double r1 = profile(k + 1);
        const V3 top{0, 0, z1};
        const V3 bottom{0, 0, z0};
        auto uvOf = [&](V3 p) { return std::array<double, 2>{0.5 + 0.5 * p.x / (pitchRadius + toothDepth),
                                                              0.5 + 0.5 * p.y / (pitchRadius + toothDepth)}; };
        const V3 in0 = d0 * holeRadius, in1 = d1 * holeRadius, out0 = d0 * r0, out1 = d1 * r1;
        mesh.addQuad(in0 + top, out0 + top, out1 + top, in1 + top, uvOf(in0), uvOf(out0), uvOf(out1), uvOf(in1));
        mesh.addQuad(in1 + bottom, out1 + bottom, out0 + bottom, in0 + bottom, uvOf(in1), uvOf(out1), uvOf(out0),
                     uvOf(in0));
        mesh.addQuad(out0 + bottom, out1 + bottom, out1 + top, out0 + top, {0, 0}, {0.1, 0}, {0.1, 1}, {0, 1});
        mesh.addQuad(in1 + bottom, in0 + bottom, in0 + top, in1 + top, {0, 0}, {0.1, 0}, {0.1, 1}, {0, 1});
    }
    return mesh;
}

MeshData tubeMesh(const std::vector<V3>& path, double radius, int sides, double vPerUnit)
{
    MeshData mesh;
    const std::size_t count = path.size();
    std::vector<V3> tangents(count);
    for (std::size_t k = 0; k < count; ++k) {
        const V3 previous = path[k == 0 ? 0 : k - 1];
        const V3 next = path[k + 1 < count ? k + 1 : count - 1];
        tangents[k] = normalised(next - previous);
    }
    // Parallel transport keeps the rings from twisting along the path.
    V3 normal = std::fabs(tangents[0].z) < 0.9 ? normalised(cross(tangents[0], V3{0, 0, 1}))
                                               : normalised(cross(tangents[0], V3{1, 0, 0}));
    std::vector<std::vector<V3>> rings(count);
    std::vector<double> along(count, 0.0);
    for (std::size_t k = 0; k < count; ++k) {
        if (k > 0) {
            normal = normalised(normal - tangents[k] * dot(normal, tangents[k]));
            along[k] = along[k - 1] + length(path[k] - path[k - 1]);
        }
        const V3 binormal = cross(tangents[k], normal);
        for (int s = 0; s <= sides; ++s) {
            const double a = 2.0 * STABLE_PI * s / sides;
            rings[k].push_back(path[k] + (normal * stableCos(a) + binormal * stableSin(a)) * radius);
        }
    }
    for (std::size_t k = 0; k + 1 < count; ++k) {
        for (int s = 0; s < sides; ++s) {
            const double u0 = static_cast<double>(s) / sides;
            const double u1 = static_cast<double>(s + 1) / sides;
            const double v0 = along[k] * vPerUnit;
            const double v1 = along[k + 1] * vPerUnit;
            // normal x binormal = tangent, so this order faces outwards.
            mesh.addQuad(rings[k][s], rings[k][s + 1], rings[k + 1][s + 1], rings[k + 1][s], {u0, v0}, {u1, v0},
                         {u1, v1}, {u0, v1});
        }
    }
    return mesh;
}

MeshData sphereMesh(double radius, int rings, int segments, double uRepeat, double vRepeat)
{
    MeshData mesh;
    auto point = [&](int ring, int segment) {
        const double polar = STABLE_PI * ring / rings;
        const double azimuth = 2.0 * STABLE_PI * segment / segments;
        const double r = stableSin(polar);
        return V3{radius * r * stableCos(azimuth), radius * r * stableSin(azimuth), radius * stableCos(polar)};
    };
    for (int ring = 0; ring < rings; ++ring) {
        for (int segment = 0; segment < segments; ++segment) {
            const double u0 = uRepeat * segment / segments;
            const double u1 = uRepeat * (segment + 1) / segments;
            const double v0 = vRepeat * (1.0 - static_cast<double>(ring) / rings);
            const double v1 = vRepeat * (1.0 - static_cast<double>(ring + 1) / rings);
            // Ring 0 is the north pole; going down and then east faces outwards. At the
            // poles two corners meet, so only the triangle with area is kept.
            if (ring == 0) {
                mesh.addTriangle(point(ring, segment), point(ring + 1, segment), point(ring + 1, segment + 1),
                                 {u0, v0}, {u0, v1}, {u1, v1});
            } else if (ring == rings - 1) {
                mesh.addTriangle(point(ring, segment), point(ring + 1, segment + 1), point(ring, segment + 1),
                                 {u0, v0}, {u1, v1}, {u1, v0});
            } else {
                mesh.addQuad(point(ring, segment), point(ring + 1, segment), point(ring + 1, segment + 1),
                             point(ring, segment + 1), {u0, v0}, {u0, v1}, {u1, v1}, {u1, v0});
            }
        }
    }
    return mesh;
}

MeshData terrainMesh(double width, double depth, int columns, int rows, double tile,
                     const std::function<double(double, double)>& height)
{
    MeshData mesh;
    for (int j = 0; j <= rows; ++j) {
        for (int i = 0; i <= columns; ++i) {
            const double x = -width * 0.5 + width * i / columns;
            const double y = -depth * 0.5 + depth * j / rows;
            mesh.points.push_back({x, y, height(x, y)});
            mesh.uv.push_back({x / tile, y / tile});
        }
    }
    for (int j = 0; j < rows; ++j) {
        for (int i = 0; i < columns; ++i) {
            const int a = j * (columns + 1) + i;
            const int b = a + 1;
            const int c = a + columns + 2;
            const int d = a + columns + 1;
            mesh.faces.push_back({a, b, c});
            mesh.faces.push_back({a, c, d});
        }
    }
    return mesh;
}

MeshData bladeMesh(V3 base, double height, double width, V3 lean, double bend)
{
    MeshData mesh;
    const V3 side = normalised(cross(V3{0, 0, 1}, lean)) * (width * 0.5);
    const V3 middle = base + V3{0, 0, height * 0.55} + lean * (bend * height * 0.2);
    const V3 tip = base + V3{0, 0, height} + lean * (bend * height * 0.65);
    mesh.points = {base - side, base + side, middle + side * 0.7, middle - side * 0.7, tip};
    mesh.uv = {{0.0, 0.0}, {1.0, 0.0}, {0.85, 0.55}, {0.15, 0.55}, {0.5, 1.0}};
    mesh.faces = {{0, 1, 2}, {0, 2, 3}, {3, 2, 4}};
    return mesh;
}

std::vector<LetterMesh> blockLetters(const std::string& text, double cell, double depth)
{
    std::vector<LetterMesh> letters;
    for (std::size_t index = 0; index < text.size(); ++index) {
        LetterMesh letter{text[index], static_cast<double>(index * FONT_ADVANCE) * cell, {}};
        for (int row = 0; row < FONT_GLYPH_HEIGHT; ++row) {
            int column = 0;
            while (column < FONT_GLYPH_WIDTH) {
                if (!fontPixel(text[index], column, row)) {
                    ++column;
                    continue;
                }
                const int runStart = column;
                while (column < FONT_GLYPH_WIDTH && fontPixel(text[index], column, row)) {
                    ++column;
                }
                const double runWidth = (column - runStart) * cell;
                const V3 centre{letter.left + runStart * cell + runWidth * 0.5, 0.0,
                                (FONT_GLYPH_HEIGHT - 1 - row) * cell + cell * 0.5};
                MeshData box = boxMesh({runWidth, depth, cell});
                // Map the front face across the whole glyph, so a texture runs over the letter.
                for (std::size_t p = 0; p < box.points.size(); ++p) {
                    const V3 q = box.points[p] + centre;
                    box.uv[p] = {(q.x - letter.left) / (FONT_GLYPH_WIDTH * cell), q.z / (FONT_GLYPH_HEIGHT * cell)};
                }
                letter.mesh.append(box, Affine::translation(centre));
            }
        }
        if (!letter.mesh.points.empty()) {
            letters.push_back(std::move(letter));
        }
    }
    return letters;
}
