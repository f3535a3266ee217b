#include "tools/datagen/openingScenes.h"

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

double easeOut(double x)
{
    x = std::min(1.0, std::max(0.0, x));
    return 1.0 - (1.0 - x) * (1.0 - x) * (1.0 - x);
}

} // namespace

namespace {

// A piece of sphere of the given radius seen from its centre: 130 degrees wide and 110
// high around +y, its faces turned towards the centre.
MeshData backdropCap(double radius)
{
    MeshData cap;
    const int columns = 26;
    const int rows = 18;
    auto point = [&](int i, int j) {
        const double azimuth = (-65.0 + 130.0 * i / columns) * STABLE_PI / 180.0;
        const double elevation = (-55.0 + 110.0 * j / rows) * STABLE_PI / 180.0;
        return V3{stableSin(azimuth) * stableCos(elevation), stableCos(azimuth) * stableCos(elevation),
                  stableSin(elevation)} *
               radius;
    };
    for (int i = 0; i < columns; ++i) {
        for (int j = 0; j < rows; ++j) {
            const double u0 = 2.0 * i / columns;
            const double u1 = 2.0 * (i + 1) / columns;
            const double v0 = 1.5 * j / rows;
            const double v1 = 1.5 * (j + 1) / rows;
            cap.addQuad(point(i, j), point(i + 1, j), point(i + 1, j + 1), point(i, j + 1), {u0, v0}, {u1, v0},
                        {u1, v1}, {u0, v1});
        }
    }
    return cap;
}

} // namespace

// Block letters of the name in two lines, flying up and turning into place one after
// another, then floating gently; the camera swings round them at 80 to 100 units, inside
// the 50 .. 150 clipping range the title is drawn with. The title is drawn without depth
// test or depth writes and the colour buffer is never cleared, so the scene brings its own
// backdrop: a nebula on a piece of sphere 130 units round the camera, travelling and
// turning with it, drawn first. The letters' material has an opacity map (solid white),
// which makes the mesh drawing show back faces first and front faces over them.
bool writeTitleScene(const std::string& path, std::string& error)
{
    const int frames = 1313;
    SceneBuilder builder(frames);
    builder.addMaterial(sceneMaterial("tlo", {0.9, 0.9, 0.95}, "nebula.jpg", 0, "", 0));
    builder.addMaterial(sceneMaterial("gold", {1.0, 0.85, 0.55}, "gold.jpg", 0, "goldmsk.jpg", 60));
    builder.addMaterial(sceneMaterial("copper", {0.95, 0.55, 0.4}, "gold.jpg", 0, "goldmsk.jpg", 60));

    const double radius = 96.0;
    auto cameraAt = [&](double f) {
        const double t = f / frames;
        const double angle = (-28.0 + 34.0 * easeInOut(t * 1.3)) * STABLE_PI / 180.0;
        const double height = 22.0 - 16.0 * easeInOut(t * 1.5);
        const double r = radius - 8.0 * t;
        return V3{r * stableSin(angle), -r * stableCos(angle), height};
    };
    auto targetAt = [&](double f) { return V3{4.0 * f / frames, 0.0, -2.0}; };
    const VectorKeys cameraKeys = sampleVector(frames, 25, cameraAt);

    SceneObject backdrop;
    backdrop.name = "tlo";
    backdrop.mesh = backdropCap(130.0);
    backdrop.material = "tlo";
    backdrop.positions = cameraKeys;
    backdrop.spin = sampleScalar(frames, 25, [&](double f) {
        const V3 forward = targetAt(f) - cameraAt(f);
        return -stableAtan(forward.x / forward.y);
    });
    builder.addObject(backdrop);

    const double cell = 3.0;
    const struct {
        const char* text;
        double baseline;
        const char* material;
    } lines[2] = {{"KESU", 4.0, "gold"}, {"TAMRICK", -25.0, "copper"}};
    int letterIndex = 0;
    for (const auto& line : lines) {
        const double lineLeft = -fontTextWidth(line.text) * cell * 0.5;
        for (LetterMesh& letter : blockLetters(line.text, cell, 6.0)) {
            const V3 centre{letter.left + FONT_GLYPH_WIDTH * cell * 0.5, 0.0, FONT_GLYPH_HEIGHT * cell * 0.5};
            transformMesh(letter.mesh, Affine::translation(V3{} - centre));
            const V3 home{lineLeft + centre.x, 0.0, line.baseline + centre.z};
            const double arrival = FRAMES_PER_SECOND * (0.9 + 0.28 * letterIndex);
            const double flight = FRAMES_PER_SECOND * 1.6;
            const double phase = letterIndex * 0.7;
            SceneObject object;
            object.name = std::string("litera") + std::to_string(letterIndex);
            object.mesh = letter.mesh;
            object.material = line.material;
            object.positions = sampleVector(frames, 15, [&](double f) {
                const double p = easeOut((f - (arrival - flight)) / flight);
                const double bob = 0.8 * stableSin(f / FRAMES_PER_SECOND * 1.3 + phase) * easeInOut((f - arrival) / 75.0);
                return home + V3{0.0, -20.0 * (1.0 - p), -45.0 * (1.0 - p) + bob};
            });
            object.spin = sampleScalar(frames, 15, [&](double f) {
                const double p = easeOut((f - (arrival - flight)) / flight);
                return 1.5 * STABLE_PI * (1.0 - p) + 0.06 * stableSin(f / FRAMES_PER_SECOND * 0.9 + phase);
            });
            builder.addObject(object);
            ++letterIndex;
        }
    }

    builder.addLight("klucz", {{0, {160.0, -170.0, 140.0}}}, {1.0, 0.9, 0.75});
    builder.addLight("kontra", {{0, {-180.0, 120.0, 60.0}}}, {0.35, 0.5, 0.9});
    builder.addLight("omiatacz", sampleVector(frames, 15, [](double f) {
                         const double t = f / FRAMES_PER_SECOND;
                         return V3{110.0 * stableSin(t * 0.9), -45.0, 20.0 * stableCos(t * 0.6)};
                     }),
                     {0.8, 0.45, 0.2});

    builder.setCamera(cameraKeys, sampleVector(frames, 25, targetAt),
                      sampleScalar(frames, 25, [](double) { return 56.0; }),
                      sampleScalar(frames, 25, [](double f) { return 3.0 * stableSin(f / 75.0 * 0.5); }), 50.0, 150.0);
    return builder.save(path, error);
}

// A twin nozzle column at x = 129 whose ends, at z = -16 and z = -152 in its own frame,
// are where the title's two particle jets start (one rises, one falls), with rings and
// blocks drifting round it. It is drawn over the title (which writes no depth), so the
// camera keeps it at the left edge of the picture, clear of the letters.
bool writeElementsScene(const std::string& path, std::string& error)
{
    const int frames = 1313;
    SceneBuilder builder(frames);
    builder.addMaterial(sceneMaterial("chrom", {0.75, 0.8, 0.9}, "", 0, "", 80));
    builder.addMaterial(sceneMaterial("obrecz", {0.9, 0.5, 0.2}, "", 0, "", 70));
    builder.addMaterial(sceneMaterial("kostki", {0.3, 0.6, 1.0}, "cubeface.jpg", 0, "", 50));

    const V3 columnCentre{129.0, 0.0, -84.0};
    // The column's own frame keeps the jet points fixed: it only turns about its axis.
    MeshData column = cylinderMesh(5.0, 120.0, 16, false);
    column.append(frustumMesh(5.0, 11.0, 8.0, 16, false), Affine::translation({0, 0, 64.0}));
    column.append(frustumMesh(11.0, 5.0, 8.0, 16, false), Affine::translation({0, 0, -64.0}));
    for (int k = 0; k < 5; ++k) {
        column.append(torusMesh(10.0, 2.0, 20, 6), Affine::translation({0, 0, -44.0 + 22.0 * k}));
    }
    for (int fin = 0; fin < 4; ++fin) {
        column.append(boxMesh({14.0, 1.5, 40.0}),
                      Affine::rotation({0, 0, 1}, fin * STABLE_PI * 0.5) * Affine::translation({11.0, 0, 0}));
    }
    SceneObject emitter;
    emitter.name = "dysza";
    emitter.mesh = column;
    emitter.material = "chrom";
    emitter.positions = {{0, columnCentre}};
    emitter.spin = {{0, 0.0}, {frames, 2.0 * STABLE_PI}};
    builder.addObject(emitter);

    // Three tilted rings turning round the column, each carrying small blocks.
    for (int ring = 0; ring < 3; ++ring) {
        SceneObject hoop;
        hoop.name = "obrecz" + std::to_string(ring);
        hoop.mesh = torusMesh(26.0 + 12.0 * ring, 1.8, 48, 8);
        transformMesh(hoop.mesh, Affine::rotation({1, 0, 0}, 0.35 + 0.3 * ring));
        hoop.material = "obrecz";
        hoop.positions = {{0, columnCentre}};
        hoop.spin = {{0, ring * 1.2}, {frames, ring * 1.2 + (ring % 2 == 0 ? 3.0 : -2.4)}};
        const int hoopIndex = builder.addObject(hoop);
        for (int block = 0; block < 4; ++block) {
            SceneObject cube;
            cube.name = "kostka" + std::to_string(ring) + std::to_string(block);
            cube.mesh = boxMesh({6.0, 6.0, 6.0});
            cube.material = "kostki";
            cube.parent = hoopIndex;
            const double a = block * STABLE_PI * 0.5 + ring;
            const double r = 26.0 + 12.0 * ring;
            cube.positions = {{0, Affine::rotation({1, 0, 0}, 0.35 + 0.3 * ring).apply({r * stableCos(a), r * stableSin(a), 0})}};
            cube.spinAxis = {1.0, 1.0, 0.3};
            cube.spin = {{0, 0.0}, {frames, 8.0 + block}};
            builder.addObject(cube);
        }
    }

    builder.addLight("przod", {{0, {-200.0, -500.0, 100.0}}}, {0.8, 0.85, 1.0});
    builder.addLight("spod", {{0, {300.0, -100.0, -400.0}}}, {0.9, 0.45, 0.15});
    builder.addLight("krazy", sampleVector(frames, 15, [&](double f) {
                         const double a = f / FRAMES_PER_SECOND * 0.8;
                         return columnCentre + V3{140.0 * stableCos(a), 140.0 * stableSin(a), 40.0};
                     }),
                     {0.6, 0.6, 0.7});

    const double radius = 420.0;
    auto angleAt = [&](double f) { return (-25.0 + 50.0 * f / frames) * STABLE_PI / 180.0; };
    builder.setCamera(sampleVector(frames, 25,
                                   [&](double f) {
                                       const double a = angleAt(f);
                                       return columnCentre + V3{radius * stableSin(a), -radius * stableCos(a),
                                                                70.0 - 40.0 * f / frames};
                                   }),
                      sampleVector(frames, 25,
                                   [&](double f) {
                                       // Aim to the right of the column, so it stands left of the title.
                                       const double a = angleAt(f);
                                       return columnCentre + V3{330.0 * stableCos(a), 330.0 * stableSin(a), 30.0};
                                   }),
                      sampleScalar(frames, 25, [](double) { return 55.0; }),
                      sampleScalar(frames, 25, [](double f) { return -4.0 + 6.0 * f / 1313.0; }), 10.0, 3000.0);
    return builder.save(path, error);
}

// Twelve slats across the view. Each starts edge-on to the camera and turns to face it,
// from the top slat down, all closed by 7.5 s (frame 563): the stencil they draw then
// covers the whole screen.
bool writeBlindsScene(const std::string& path, std::string& error)
{
    const int frames = 563;
    const double distance = 100.0;
    SceneBuilder builder(frames);
    builder.addMaterial(sceneMaterial("listwa", {0.8, 0.8, 0.8}));
    const int slats = 12;
    const double slatHeight = 9.6;
    for (int i = 0; i < slats; ++i) {
        const double z = -slats * slatHeight * 0.5 + slatHeight * (i + 0.5);
        // Edge-on: the slat's plane contains the line of sight to its middle.
        const double edgeOn = STABLE_PI * 0.5 + stableAtan(z / distance);
        const double start = FRAMES_PER_SECOND * (0.3 + 0.33 * (slats - 1 - i));
        const double turn = FRAMES_PER_SECOND * 2.4;
        SceneObject slat;
        slat.name = "listwa" + std::to_string(i);
        slat.mesh = boxMesh({220.0, 0.6, slatHeight + 0.4});
        slat.material = "listwa";
        slat.positions = {{0, {0.0, 0.0, z}}};
        slat.spinAxis = {1.0, 0.0, 0.0};
        slat.spin = sampleScalar(frames, 8, [&](double f) { return edgeOn * (1.0 - easeInOut((f - start) / turn)); });
        builder.addObject(slat);
    }
    builder.setCamera({{0, {0.0, -distance, 0.0}}}, {{0, {0.0, 0.0, 0.0}}}, {{0, 50.0}}, {{0, 0.0}}, 10.0, 500.0);
    return builder.save(path, error);
}

namespace {

double meadowHeight(double x, double y)
{
    return 0.45 * stableSin(0.11 * x + 0.7) * stableSin(0.13 * y) + 0.3 * stableSin(0.23 * x + 0.31 * y) +
           0.15 * stableSin(0.05 * x - 0.07 * y + 2.0);
}

} // namespace

// A dense meadow around a ring of standing stones, watched from a camera gliding a
// metre and a half above the grass along a wide circle; the grass effect draws it
// between 1 and 50 units with fog from 10 to 40.
bool writeGrassScene(const std::string& path, std::string& error)
{
    const int frames = 3000;
    SceneBuilder builder(frames);
    const V3 greens[6] = {{0.2, 0.55, 0.12}, {0.3, 0.65, 0.15}, {0.45, 0.7, 0.2},
                          {0.15, 0.45, 0.2}, {0.55, 0.65, 0.2}, {0.25, 0.6, 0.3}};
    for (int k = 0; k < 6; ++k) {
        builder.addMaterial(sceneMaterial("trawa" + std::to_string(k), greens[k], "", 0, "", 10));
    }
    builder.addMaterial(sceneMaterial("ziemia", {0.9, 0.9, 0.9}, "ground.jpg", 0, "", 5));
    builder.addMaterial(sceneMaterial("kamien", {0.6, 0.6, 0.62}, "terrain.jpg", 0, "", 20));
    const V3 petals[3] = {{1.0, 0.2, 0.15}, {1.0, 0.95, 0.9}, {1.0, 0.85, 0.1}};
    for (int k = 0; k < 3; ++k) {
        builder.addMaterial(sceneMaterial("kwiat" + std::to_string(k), petals[k], "", 0, "", 30));
    }

    SceneObject groundObject;
    groundObject.name = "ziemia";
    groundObject.mesh = terrainMesh(170.0, 170.0, 68, 68, 8.0, meadowHeight);
    groundObject.material = "ziemia";
    builder.addObject(groundObject);

    StableRandom random(77);
    auto randomSpot = [&](double inner, double outer) {
        const double a = random.range(0.0, 2.0 * STABLE_PI);
        const double r = std::sqrt(random.range(inner * inner, outer * outer));
        const double x = r * stableCos(a);
        const double y = r * stableSin(a);
        return V3{x, y, meadowHeight(x, y)};
    };
    for (int patch = 0; patch < 6; ++patch) {
        SceneObject blades;
        blades.name = "trawa" + std::to_string(patch);
        blades.material = blades.name;
        std::vector<std::pair<std::pair<int, int>, MeshData>> patchBlades;
        for (int i = 0; i < 5000; ++i) {
            // Most blades stand along the camera's circle, where they are seen close up.
            const V3 base = i % 10 < 7 ? randomSpot(20.0, 46.0) : randomSpot(9.0, 64.0);
            const double lean = random.range(0.0, 2.0 * STABLE_PI);
            MeshData blade = bladeMesh(base, random.range(0.5, 1.5), random.range(0.06, 0.12),
                                       {stableCos(lean), stableSin(lean), 0.0}, random.range(0.1, 0.6));
            const std::pair<int, int> cell{static_cast<int>(std::floor(base.y / 5.0)),
                                           static_cast<int>(std::floor(base.x / 5.0))};
            patchBlades.push_back({cell, std::move(blade)});
        }
        // Stored five-metre square by square, so each run of faces the engine records stands
        // together and the runs out of view are left out of a frame.
        std::stable_sort(patchBlades.begin(), patchBlades.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        for (const auto& blade : patchBlades) blades.mesh.append(blade.second);
        builder.addObject(blades);
    }
    for (int colour = 0; colour < 3; ++colour) {
        SceneObject flowers;
        flowers.name = "kwiaty" + std::to_string(colour);
        flowers.material = "kwiat" + std::to_string(colour);
        for (int i = 0; i < 260; ++i) {
            const V3 base = randomSpot(10.0, 60.0);
            const double height = random.range(0.9, 1.6);
            const double lean = random.range(0.0, 2.0 * STABLE_PI);
            const V3 leanDirection{stableCos(lean), stableSin(lean), 0.0};
            flowers.mesh.append(bladeMesh(base, height, 0.04, leanDirection, 0.1));
            const V3 head = base + V3{0, 0, height} + leanDirection * (0.065 * height);
            // Four petals tilted up around the head.
            for (int petal = 0; petal < 4; ++petal) {
                const double a = petal * STABLE_PI * 0.5 + lean;
                const V3 out{stableCos(a), stableSin(a), 0.0};
                const V3 side{-out.y, out.x, 0.0};
                flowers.mesh.addTriangle(head, head + out * 0.22 + side * 0.1 + V3{0, 0, 0.08},
                                         head + out * 0.22 - side * 0.1 + V3{0, 0, 0.08}, {0.5, 0}, {1, 1}, {0, 1});
            }
        }
        builder.addObject(flowers);
    }
    SceneObject stones;
    stones.name = "kamienie";
    stones.material = "kamien";
    for (int i = 0; i < 9; ++i) {
        const double a = i * 2.0 * STABLE_PI / 9.0;
        const double height = 4.0 + 1.5 * stableSin(i * 2.3);
        MeshData menhir = frustumMesh(1.1, 0.7, height, 7, true);
        transformMesh(menhir, Affine::scaling({1.0, 0.6, 1.0}));
        stones.mesh.append(menhir, Affine::translation({6.5 * stableCos(a), 6.5 * stableSin(a), height * 0.5 - 0.3}) *
                                       Affine::rotation({0, 0, 1}, a) * Affine::rotation({1, 0, 0}, 0.06 * stableSin(i * 1.7)));
    }
    for (int i = 0; i < 40; ++i) {
        const V3 spot = randomSpot(12.0, 62.0);
        MeshData rock = sphereMesh(random.range(0.3, 0.9), 4, 7);
        transformMesh(rock, Affine::scaling({1.0, 0.8, 0.5}));
        stones.mesh.append(rock, Affine::translation(spot) * Affine::rotation({0, 0, 1}, random.range(0.0, 3.0)));
    }
    builder.addObject(stones);

    auto cameraAngle = [](double f) { return 0.4 + 0.11 * f / FRAMES_PER_SECOND; };
    builder.addLight("ksiezyc", {{0, {20.0, -30.0, 80.0}}}, {0.45, 0.5, 0.65});
    builder.addLight("latarnia", sampleVector(frames, 25, [&](double f) {
                         const double a = cameraAngle(f) + 0.7;
                         return V3{40.0 * stableCos(a), 40.0 * stableSin(a), 5.0};
                     }),
                     {1.0, 0.8, 0.5});
    builder.addLight("poswiata", {{0, {-60.0, 40.0, 15.0}}}, {0.25, 0.45, 0.3});

    builder.setCamera(sampleVector(frames, 25,
                                   [&](double f) {
                                       const double a = cameraAngle(f);
                                       const double t = f / FRAMES_PER_SECOND;
                                       const double r = 32.0 + 3.0 * stableSin(t * 0.21);
                                       const double x = r * stableCos(a);
                                       const double y = r * stableSin(a);
                                       return V3{x, y, meadowHeight(x, y) + 1.4 + 0.35 * stableSin(t * 0.4)};
                                   }),
                      sampleVector(frames, 25,
                                   [&](double f) {
                                       const double a = cameraAngle(f) + 0.32;
                                       const double t = f / FRAMES_PER_SECOND;
                                       const double r = 30.0 + 4.0 * stableSin(t * 0.17 + 1.0);
                                       const double x = r * stableCos(a);
                                       const double y = r * stableSin(a);
                                       // Below eye level, so the meadow fills most of the picture.
                                       return V3{x, y, meadowHeight(x, y) - 0.9};
                                   }),
                      sampleScalar(frames, 25, [](double) { return 60.0; }),
                      sampleScalar(frames, 25, [](double f) { return 3.0 * stableSin(f / FRAMES_PER_SECOND * 0.3); }),
                      1.0, 50.0);
    return builder.save(path, error);
}
