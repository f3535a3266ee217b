#include "tools/datagen/closingScenes.h"

#include "render/bitmapFont.h"
#include "tools/datagen/sceneKit.h"
#include "tools/datagen/stableMath.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double FRAMES_PER_SECOND = 75.0;

double easeInOut(double x)
{
    x = std::min(1.0, std::max(0.0, x));
    return x * x * (3.0 - 2.0 * x);
}

// Two pins on a ring, pointing along `axis` from radius `from` to radius `to`.
MeshData pins(V3 axis, double from, double to, double radius)
{
    MeshData mesh;
    for (int side = -1; side <= 1; side += 2) {
        const V3 middle = axis * (side * (from + to) * 0.5);
        mesh.append(cylinderMesh(radius, to - from, 10, true), Affine::translation(middle) * Affine::alignZ(axis));
        mesh.append(sphereMesh(radius * 1.8, 5, 10), Affine::translation(axis * (side * from)));
    }
    return mesh;
}

} // namespace

// A gyroscope: a stand holding an outer ring that turns about the vertical, a middle
// ring turning about x inside it, an inner ring turning about y, and the axle "rdzen"
// spinning about z at the centre. The robot effect hangs its core sphere (radius 100,
// up to 180 when it swells) and a ribbon of radius about 170 on "rdzen", so the rings
// stay outside 215 units. Three lights circle the machine and light the core too.
bool writeRobotScene(const std::string& path, std::string& error)
{
    const int frames = 2250;
    SceneBuilder builder(frames);
    builder.addMaterial(sceneMaterial("podstawa", {0.35, 0.38, 0.45}, "steel.jpg", 0, "", 40));
    builder.addMaterial(sceneMaterial("zloto", {1.0, 0.75, 0.35}, "", 0, "", 90));
    builder.addMaterial(sceneMaterial("srebro", {0.8, 0.85, 0.95}, "", 0, "", 95));
    builder.addMaterial(sceneMaterial("miedz", {0.95, 0.5, 0.35}, "", 0, "", 90));
    builder.addMaterial(sceneMaterial("os", {0.9, 0.9, 0.9}, "cubeface.jpg", 0, "", 80));

    SceneObject stand;
    stand.name = "podstawa";
    stand.mesh = cylinderMesh(130.0, 24.0, 32, true);
    transformMesh(stand.mesh, Affine::translation({0, 0, -452.0}));
    stand.mesh.append(frustumMesh(40.0, 16.0, 60.0, 20, true), Affine::translation({0, 0, -410.0}));
    stand.mesh.append(cylinderMesh(10.0, 30.0, 12, false), Affine::translation({0, 0, -367.0}));
    stand.material = "podstawa";
    const int standIndex = builder.addObject(stand);

    SceneObject outer;
    outer.name = "obrecz1";
    outer.mesh = torusMesh(340.0, 13.0, 72, 10);
    transformMesh(outer.mesh, Affine::rotation({1, 0, 0}, STABLE_PI * 0.5));
    outer.mesh.append(sphereMesh(20.0, 6, 12), Affine::translation({0, 0, -340.0}));
    outer.material = "zloto";
    outer.parent = standIndex;
    outer.spin = {{0, 0.0}, {frames, 0.8 * 2.0 * STABLE_PI}};
    const int outerIndex = builder.addObject(outer);

    SceneObject middle;
    middle.name = "obrecz2";
    middle.mesh = torusMesh(285.0, 10.0, 64, 8);
    middle.mesh.append(pins({1, 0, 0}, 285.0, 338.0, 6.0));
    middle.material = "srebro";
    middle.parent = outerIndex;
    middle.spinAxis = {1.0, 0.0, 0.0};
    middle.spin = {{0, 0.4}, {frames, 0.4 - 1.5 * 2.0 * STABLE_PI}};
    const int middleIndex = builder.addObject(middle);

    SceneObject inner;
    inner.name = "obrecz3";
    inner.mesh = torusMesh(232.0, 9.0, 60, 8);
    transformMesh(inner.mesh, Affine::rotation({0, 1, 0}, STABLE_PI * 0.5));
    inner.mesh.append(pins({0, 1, 0}, 232.0, 283.0, 5.0));
    inner.material = "miedz";
    inner.parent = middleIndex;
    inner.spinAxis = {0.0, 1.0, 0.0};
    inner.spin = {{0, 0.0}, {frames, 2.0 * 2.0 * STABLE_PI}};
    const int innerIndex = builder.addObject(inner);

    SceneObject axle;
    axle.name = "rdzen";
    axle.mesh = cylinderMesh(7.0, 440.0, 12, true, 4.0);
    axle.mesh.append(sphereMesh(14.0, 6, 12), Affine::translation({0, 0, 222.0}));
    axle.mesh.append(sphereMesh(14.0, 6, 12), Affine::translation({0, 0, -222.0}));
    for (int fin = 0; fin < 3; ++fin) {
        axle.mesh.append(boxMesh({3.0, 26.0, 40.0}), Affine::rotation({0, 0, 1}, fin * 2.0 * STABLE_PI / 3.0) *
                                                        Affine::translation({0, 16.0, 195.0}));
        axle.mesh.append(boxMesh({3.0, 26.0, 40.0}), Affine::rotation({0, 0, 1}, fin * 2.0 * STABLE_PI / 3.0) *
                                                        Affine::translation({0, 16.0, -195.0}));
    }
    axle.material = "os";
    axle.parent = innerIndex;
    axle.spin = {{0, 0.0}, {frames, 10.0 * 2.0 * STABLE_PI}};
    builder.addObject(axle);

    const V3 colours[3] = {{1.0, 0.7, 0.4}, {0.3, 0.8, 1.0}, {0.9, 0.3, 0.8}};
    for (int light = 0; light < 3; ++light) {
        builder.addLight("swiatlo" + std::to_string(light), sampleVector(frames, 15, [&](double f) {
                             const double a = f / FRAMES_PER_SECOND * (0.35 + 0.12 * light) + light * 2.1;
                             const V3 flat{650.0 * stableCos(a), 650.0 * stableSin(a), 0.0};
                             return Affine::rotation({1, 0, 0}, 0.5 * light - 0.4).apply(flat) + V3{0, -200.0, 150.0};
                         }),
                         colours[light]);
    }

    builder.setCamera(sampleVector(frames, 25,
                                   [](double f) {
                                       const double t = f / 2250.0;
                                       const double a = (-40.0 + 100.0 * t) * STABLE_PI / 180.0;
                                       const double r = 1080.0 - 140.0 * stableSin(t * STABLE_PI);
                                       return V3{r * stableSin(a), -r * stableCos(a), 320.0 - 420.0 * t};
                                   }),
                      sampleVector(frames, 25, [](double f) { return V3{0.0, 0.0, -40.0 + 20.0 * f / 2250.0}; }),
                      sampleScalar(frames, 25, [](double) { return 52.0; }),
                      sampleScalar(frames, 25, [](double f) { return 8.0 * stableSin(f / 2250.0 * 2.0 * STABLE_PI); }),
                      20.0, 4000.0);
    return builder.save(path, error);
}

namespace {

const V3 SPHERE_CENTRE{-15.0, 51.0, 70.0};

// A valley under the finale's sphere rising to hills: low (at most -60) within 250
// units of the sphere, so the sphere of radius 70 (105 when it wobbles) floats free.
double landHeight(double x, double y)
{
    const double dx = x - SPHERE_CENTRE.x;
    const double dy = y - SPHERE_CENTRE.y;
    const double r2 = dx * dx + dy * dy;
    const double bowl = -95.0 + 0.00011 * r2;
    const double hills = 28.0 * stableSin(x * 0.006 + 1.0) * stableSin(y * 0.007) + 14.0 * stableSin(x * 0.017 + y * 0.011);
    const double fade = std::min(1.0, r2 / (400.0 * 400.0));
    return bowl + hills * fade;
}

} // namespace

// A dusk landscape: a valley among lit towers, some with turning rings, under a sky dome
// that fills the view (the finale clears only depth). The camera circles the particle
// sphere at (-15, 51, 70), keeping it in front.
bool writeFinalScene(const std::string& path, std::string& error)
{
    const int frames = 2550;
    SceneBuilder builder(frames);
    builder.addMaterial(sceneMaterial("niebo", {0.5, 0.5, 0.5}, "sky.jpg", 0, "", 0));
    builder.addMaterial(sceneMaterial("ziemia", {0.9, 0.85, 0.8}, "terrain.jpg", 0, "", 5));
    builder.addMaterial(sceneMaterial("wieza", {0.9, 0.9, 1.0}, "tower.jpg", 0, "", 40));
    builder.addMaterial(sceneMaterial("antena", {0.7, 0.7, 0.75}, "", 0, "", 80));
    builder.addMaterial(sceneMaterial("pierscien", {1.0, 0.6, 0.25}, "", 0, "", 90));

    SceneObject sky;
    sky.name = "niebo";
    sky.mesh = sphereMesh(2400.0, 16, 32, 8.0, 1.0);
    flipFaces(sky.mesh);
    sky.material = "niebo";
    sky.positions = {{0, {SPHERE_CENTRE.x, SPHERE_CENTRE.y, 0.0}}};
    builder.addObject(sky);

    SceneObject land;
    land.name = "ziemia";
    land.mesh = terrainMesh(3600.0, 3600.0, 96, 96, 180.0, [](double x, double y) {
        return landHeight(x + SPHERE_CENTRE.x, y + SPHERE_CENTRE.y);
    });
    land.material = "ziemia";
    land.positions = {{0, {SPHERE_CENTRE.x, SPHERE_CENTRE.y, 0.0}}};
    builder.addObject(land);

    StableRandom random(505);
    for (int tower = 0; tower < 14; ++tower) {
        const double a = tower * 2.0 * STABLE_PI / 14.0 + random.range(-0.15, 0.15);
        // Outside the camera's circle (380 to 460 units), so no tower sweeps past the lens.
        const double r = random.range(560.0, 1000.0);
        const double x = SPHERE_CENTRE.x + r * stableCos(a);
        const double y = SPHERE_CENTRE.y + r * stableSin(a);
        const double ground = landHeight(x, y);
        const double height = random.range(160.0, 420.0);
        const double width = random.range(26.0, 48.0);
        SceneObject body;
        body.name = "wieza" + std::to_string(tower);
        body.mesh = tower % 3 == 0 ? frustumMesh(width, width * 0.55, height, 8, true)
                                   : boxMesh({width * 1.4, width * 1.4, height});
        for (auto& coordinate : body.mesh.uv) {
            coordinate[1] *= height / 60.0;
        }
        body.mesh.append(cylinderMesh(2.0, 80.0, 6, true), Affine::translation({0, 0, height * 0.5 + 40.0}));
        body.material = "wieza";
        body.positions = {{0, {x, y, ground + height * 0.5 - 5.0}}};
        body.spin = {{0, a}};
        const int bodyIndex = builder.addObject(body);
        if (tower % 2 == 0) {
            SceneObject ring;
            ring.name = "pierscien" + std::to_string(tower);
            ring.mesh = torusMesh(width * 1.6, 3.0, 32, 6);
            ring.material = "pierscien";
            ring.parent = bodyIndex;
            ring.positions = {{0, {0.0, 0.0, height * 0.5 - 30.0}}};
            ring.spinAxis = normalised({0.3, 0.0, 1.0});
            ring.spin = {{0, 0.0}, {frames, (tower % 4 == 0 ? 1.0 : -1.0) * 6.0 * STABLE_PI}};
            builder.addObject(ring);
        }
    }

    builder.addLight("slonce", {{0, {-1600.0, 1300.0, 500.0}}}, {1.0, 0.6, 0.35});
    builder.addLight("niebo", {{0, {900.0, -1000.0, 1400.0}}}, {0.35, 0.45, 0.7});
    builder.addLight("kula", {{0, SPHERE_CENTRE}}, {0.8, 0.5, 0.3});

    builder.setCamera(sampleVector(frames, 25,
                                   [](double f) {
                                       const double t = f / 2550.0;
                                       const double a = (200.0 + 140.0 * t) * STABLE_PI / 180.0;
                                       const double r = 460.0 - 80.0 * stableSin(t * STABLE_PI);
                                       return SPHERE_CENTRE + V3{r * stableCos(a), r * stableSin(a),
                                                                 40.0 + 60.0 * stableSin(t * 2.0 * STABLE_PI)};
                                   }),
                      sampleVector(frames, 25,
                                   [](double f) {
                                       const double t = f / 2550.0;
                                       return SPHERE_CENTRE + V3{20.0 * stableSin(t * 5.0), 0.0, 25.0};
                                   }),
                      sampleScalar(frames, 25, [](double) { return 56.0; }),
                      sampleScalar(frames, 25, [](double f) { return 4.0 * stableSin(f / 2550.0 * 4.0); }), 5.0, 6000.0);
    return builder.save(path, error);
}

// The closing logo: a block of cubes in a regular grid behind the letters flies apart
// and every cube lands, turning, on one pixel of the name, within the first two and a
// half seconds of the four-second closing scene.
bool writeGridLogoScene(const std::string& path, std::string& error)
{
    const int frames = 300;
    SceneBuilder builder(frames);
    builder.addMaterial(sceneMaterial("niebieski", {0.45, 0.75, 1.0}, "", 0, "", 90));
    builder.addMaterial(sceneMaterial("pomaranczowy", {1.0, 0.62, 0.25}, "", 0, "", 90));

    const double cell = 10.0;
    struct Pixel {
        V3 home;
        int line;
    };
    std::vector<Pixel> pixels;
    const struct {
        const char* text;
        double bottom;
    } lines[2] = {{"KESU", 8.0}, {"TAMRICK", -78.0}};
    for (int line = 0; line < 2; ++line) {
        const std::string text = lines[line].text;
        const double left = -fontTextWidth(text) * cell * 0.5;
        for (std::size_t c = 0; c < text.size(); ++c) {
            for (int row = 0; row < FONT_GLYPH_HEIGHT; ++row) {
                for (int column = 0; column < FONT_GLYPH_WIDTH; ++column) {
                    if (fontPixel(text[c], column, row)) {
                        pixels.push_back({{left + (c * FONT_ADVANCE + column + 0.5) * cell, 0.0,
                                           lines[line].bottom + (FONT_GLYPH_HEIGHT - 1 - row + 0.5) * cell},
                                          line});
                    }
                }
            }
        }
    }

    StableRandom random(909);
    const int across = 8;
    const int deep = 4;
    for (std::size_t k = 0; k < pixels.size(); ++k) {
        const int slot = static_cast<int>(k);
        const V3 start{(slot % across - (across - 1) * 0.5) * 22.0, 220.0 + (slot / across % deep) * 22.0,
                       (slot / (across * deep) - 2.5) * 22.0};
        const double arrival = 60.0 + 120.0 * static_cast<double>(k) / pixels.size() + random.range(0.0, 20.0);
        const double flight = 55.0;
        const V3 home = pixels[k].home;
        SceneObject cube;
        cube.name = "kostka" + std::to_string(k);
        cube.mesh = boxMesh({cell * 0.92, cell * 0.92, cell * 0.92});
        cube.material = pixels[k].line == 0 ? "niebieski" : "pomaranczowy";
        cube.positions = sampleVector(frames, 10, [&](double f) {
            const double p = easeInOut((f - (arrival - flight)) / flight);
            const double arc = 4.0 * p * (1.0 - p);
            return lerp(start, home, p) + V3{0.0, -60.0 * arc, 40.0 * arc};
        });
        cube.spinAxis = normalised({random.range(-1.0, 1.0), random.range(-1.0, 1.0), random.range(0.2, 1.0)});
        const double turns = random.range(1.0, 2.5) * STABLE_PI;
        cube.spin = {{0, turns}, {static_cast<int>(arrival - flight), turns}, {static_cast<int>(arrival), 0.0},
                     {frames, 0.0}};
        builder.addObject(cube);
    }

    builder.addLight("klucz", {{0, {250.0, -400.0, 300.0}}}, {1.0, 0.95, 0.9});
    builder.addLight("niebieskie", {{0, {-400.0, -200.0, -100.0}}}, {0.3, 0.4, 0.9});
    builder.addLight("kontra", {{0, {0.0, 300.0, 200.0}}}, {1.0, 0.5, 0.2});

    builder.setCamera(sampleVector(frames, 10,
                                   [](double f) {
                                       const double t = f / 300.0;
                                       return V3{-60.0 + 60.0 * t, -560.0 + 120.0 * easeInOut(t), 60.0 - 50.0 * t};
                                   }),
                      {{0, {0.0, 40.0, -5.0}}}, sampleScalar(frames, 10, [](double) { return 45.0; }),
                      sampleScalar(frames, 10, [](double f) { return -6.0 + 6.0 * easeInOut(f / 300.0); }), 10.0,
                      3000.0);
    return builder.save(path, error);
}
