#include "tools/datagen/middleScenes.h"

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

// A flat panel of width x height in the xz plane facing -y, its texture repeating every
// `tile` units.
MeshData wallMesh(double width, double height, double tile)
{
    MeshData wall = terrainMesh(width, height, 1, 1, tile, [](double, double) { return 0.0; });
    transformMesh(wall, Affine::rotation({1, 0, 0}, STABLE_PI * 0.5));
    return wall;
}

void scaleUv(MeshData& mesh, double u, double v)
{
    for (auto& coordinate : mesh.uv) {
        coordinate[0] *= u;
        coordinate[1] *= v;
    }
}

// A gear train on the back wall: each gear's spin follows from its neighbour's so the
// teeth stay in mesh (tooth counts set the speeds, the phases put a tooth in a gap).
struct GearLink {
    int teeth;
    double angleFromPrevious;   // direction from the previous gear's centre, radians in the wall plane
};

} // namespace

// A hall of turning gears on the back wall, pistons pumping on the floor, a conveyor
// carrying crates through the fog, a crane whose bridge, trolley and hook form a
// hierarchy, and a see-through grating catwalk (its material has an opacity map).
bool writeFactoryScene(const std::string& path, std::string& error)
{
    const int frames = 1500;
    SceneBuilder builder(frames);
    builder.addMaterial(sceneMaterial("stal", {0.8, 0.8, 0.85}, "steel.jpg", 0, "", 30));
    builder.addMaterial(sceneMaterial("pasy", {1.0, 1.0, 1.0}, "hazard.jpg", 0, "", 20));
    builder.addMaterial(sceneMaterial("krata", {0.9, 0.9, 0.9}, "grate.jpg", 0, "gratemsk.jpg", 30));
    builder.addMaterial(sceneMaterial("braz", {0.75, 0.5, 0.25}, "", 0, "", 70));
    builder.addMaterial(sceneMaterial("chrom", {0.8, 0.85, 0.9}, "", 0, "", 90));
    builder.addMaterial(sceneMaterial("skrzynia", {1.0, 0.6, 0.3}, "steel.jpg", 0, "", 20));
    builder.addMaterial(sceneMaterial("zolty", {1.0, 0.75, 0.1}, "", 0, "", 40));

    SceneObject floor;
    floor.name = "podloga";
    floor.mesh = terrainMesh(800.0, 300.0, 8, 3, 50.0, [](double, double) { return 0.0; });
    floor.material = "stal";
    builder.addObject(floor);

    SceneObject wall;
    wall.name = "sciana";
    wall.mesh = wallMesh(800.0, 200.0, 60.0);
    transformMesh(wall.mesh, Affine::translation({0.0, 130.0, 100.0}));
    for (int k = -4; k <= 4; ++k) {
        wall.mesh.append(boxMesh({14.0, 14.0, 200.0}), Affine::translation({k * 90.0, 122.0, 100.0}));
    }
    wall.material = "stal";
    builder.addObject(wall);

    // Gears stand in the wall plane; their axis is -y, so a counter-clockwise spin about
    // it turns them counter-clockwise as seen from the hall.
    const GearLink train[5] = {{20, 0.0}, {12, -0.35}, {30, 0.25}, {16, -0.5}, {24, 0.6}};
    V3 centre{-230.0, 120.0, 85.0};
    double speed = 0.9;                // radians per second of the first gear
    double phase = 0.0;
    double previousRadius = 0.0;
    int previousTeeth = 0;
    for (int g = 0; g < 5; ++g) {
        const int teeth = train[g].teeth;
        const double radius = 2.2 * teeth;
        if (g > 0) {
            const double beta = train[g].angleFromPrevious;
            centre = centre + V3{stableCos(beta), 0.0, stableSin(beta)} * (previousRadius + radius);
            // Tooth phase of the previous gear towards this one, then a gap of this gear
            // towards it: a gap sits at local angle 0, a tooth at half a pitch.
            const double previousPitch = 2.0 * STABLE_PI / previousTeeth;
            const double p = (beta - phase) / previousPitch;
            const double fraction = p - std::floor(p);
            phase = beta + STABLE_PI - (2.0 * STABLE_PI / teeth) * (0.5 - fraction);
            speed = -speed * previousTeeth / teeth;
        }
        SceneObject gear;
        gear.name = "tryb" + std::to_string(g);
        gear.mesh = gearMesh(radius, 6.0, teeth, 5.0, 10.0);
        gear.mesh.append(cylinderMesh(radius * 0.35, 16.0, 12, true));
        for (int spoke = 0; spoke < 4; ++spoke) {
            gear.mesh.append(boxMesh({radius * 1.6, 5.0, 6.0}), Affine::rotation({0, 0, 1}, spoke * STABLE_PI * 0.25));
        }
        transformMesh(gear.mesh, Affine::rotation({1, 0, 0}, STABLE_PI * 0.5));
        gear.material = g % 2 == 0 ? "braz" : "chrom";
        gear.positions = {{0, centre}};
        gear.spinAxis = {0.0, -1.0, 0.0};
        gear.spin = {{0, phase}, {frames, phase + speed * frames / FRAMES_PER_SECOND}};
        builder.addObject(gear);
        previousRadius = radius;
        previousTeeth = teeth;
    }

    // Pistons: a fixed housing with the moving rod as its child.
    for (int p = 0; p < 4; ++p) {
        SceneObject housing;
        housing.name = "cylinder" + std::to_string(p);
        housing.mesh = cylinderMesh(11.0, 40.0, 14, true);
        housing.mesh.append(boxMesh({30.0, 30.0, 6.0}), Affine::translation({0, 0, -17.0}));
        housing.material = "zolty";
        housing.positions = {{0, {-90.0 + 60.0 * p, 60.0, 20.0}}};
        const int housingIndex = builder.addObject(housing);
        SceneObject rod;
        rod.name = "tlok" + std::to_string(p);
        rod.mesh = cylinderMesh(4.0, 50.0, 10, true);
        rod.mesh.append(boxMesh({22.0, 22.0, 8.0}), Affine::translation({0, 0, 27.0}));
        rod.material = "chrom";
        rod.parent = housingIndex;
        const double offset = p * 1.3;
        rod.positions = sampleVector(frames, 6, [&](double f) {
            return V3{0.0, 0.0, 22.0 + 16.0 * stableSin(f / FRAMES_PER_SECOND * 5.0 + offset)};
        });
        builder.addObject(rod);
    }

    SceneObject belt;
    belt.name = "tasma";
    belt.mesh = boxMesh({1400.0, 34.0, 5.0});
    scaleUv(belt.mesh, 40.0, 1.0);
    transformMesh(belt.mesh, Affine::translation({0.0, -20.0, 18.0}));
    for (int leg = -10; leg <= 10; ++leg) {
        belt.mesh.append(boxMesh({5.0, 30.0, 16.0}), Affine::translation({leg * 60.0, -20.0, 8.0}));
    }
    belt.material = "pasy";
    builder.addObject(belt);
    for (int crate = 0; crate < 22; ++crate) {
        SceneObject box;
        box.name = "skrzynia" + std::to_string(crate);
        box.mesh = boxMesh({16.0, 16.0, 14.0});
        box.material = "skrzynia";
        const double x0 = -900.0 + 60.0 * crate;
        box.positions = {{0, {x0, -20.0, 27.5}}, {frames, {x0 + 700.0, -20.0, 27.5}}};
        builder.addObject(box);
    }

    SceneObject bridge;
    bridge.name = "suwnica";
    bridge.mesh = boxMesh({16.0, 260.0, 12.0});
    bridge.mesh.append(boxMesh({24.0, 14.0, 20.0}), Affine::translation({0, -125.0, 0}));
    bridge.mesh.append(boxMesh({24.0, 14.0, 20.0}), Affine::translation({0, 125.0, 0}));
    bridge.material = "zolty";
    bridge.positions = sampleVector(frames, 25, [](double f) {
        return V3{-60.0 + 140.0 * easeInOut(f / 1500.0), 0.0, 150.0};
    });
    const int bridgeIndex = builder.addObject(bridge);
    SceneObject trolley;
    trolley.name = "wozek";
    trolley.mesh = boxMesh({26.0, 22.0, 10.0});
    trolley.material = "stal";
    trolley.parent = bridgeIndex;
    trolley.positions = sampleVector(frames, 25, [](double f) {
        return V3{0.0, 60.0 * stableSin(f / FRAMES_PER_SECOND * 0.35), -10.0};
    });
    const int trolleyIndex = builder.addObject(trolley);
    SceneObject hook;
    hook.name = "hak";
    hook.mesh = cylinderMesh(0.8, 50.0, 6, false);
    hook.mesh.append(torusMesh(6.0, 1.8, 16, 6), Affine::translation({0, 0, -30.0}) * Affine::rotation({1, 0, 0}, 1.57));
    hook.material = "chrom";
    hook.parent = trolleyIndex;
    hook.positions = {{0, {0.0, 0.0, -30.0}}};
    hook.spinAxis = {1.0, 0.0, 0.0};
    hook.spin = sampleScalar(frames, 15, [](double f) { return 0.12 * stableSin(f / FRAMES_PER_SECOND * 1.7); });
    builder.addObject(hook);

    SceneObject catwalk;
    catwalk.name = "pomost";
    catwalk.mesh = boxMesh({600.0, 34.0, 1.5});
    scaleUv(catwalk.mesh, 18.0, 1.0);
    catwalk.material = "krata";
    catwalk.positions = {{0, {0.0, 100.0, 62.0}}};
    builder.addObject(catwalk);

    builder.addLight("lampa1", {{0, {-120.0, 20.0, 135.0}}}, {1.0, 0.85, 0.6});
    builder.addLight("lampa2", {{0, {140.0, 0.0, 135.0}}}, {0.9, 0.8, 0.6});
    builder.addLight("dopelnienie", {{0, {0.0, -260.0, 60.0}}}, {0.35, 0.45, 0.6});

    builder.setCamera(sampleVector(frames, 25,
                                   [](double f) {
                                       const double t = f / 1500.0;
                                       return V3{-170.0 + 320.0 * easeInOut(t), -95.0 + 15.0 * stableSin(t * 5.0),
                                                 55.0 + 15.0 * stableSin(t * 3.0)};
                                   }),
                      sampleVector(frames, 25,
                                   [](double f) {
                                       const double t = f / 1500.0;
                                       return V3{-120.0 + 280.0 * easeInOut(t) + 30.0 * stableSin(t * 4.0), 90.0,
                                                 60.0};
                                   }),
                      sampleScalar(frames, 25, [](double) { return 58.0; }),
                      sampleScalar(frames, 25, [](double f) { return 2.0 * stableSin(f / 200.0); }), 5.0, 1200.0);
    return builder.save(path, error);
}

namespace {

// A smooth path through space for one pipe: a sum of sines sampled every few units.
std::vector<V3> pipePath(int index, int samples)
{
    std::vector<V3> path;
    const double a = 0.7 + 0.37 * index;
    const double b = 1.3 + 0.21 * index;
    for (int k = 0; k <= samples; ++k) {
        const double s = static_cast<double>(k) / samples * 2.0 - 1.0;
        const V3 centre{100.0, 0.0, 100.0};
        const double spread = 320.0;
        path.push_back(centre + V3{spread * s + 60.0 * stableSin(a * s * 3.0 + index),
                                   (index - 2.5) * 70.0 + 80.0 * stableSin(b * s * 2.0 + index * 0.5),
                                   -80.0 + 40.0 * index + 70.0 * stableCos(a * s * 2.5 + index * 1.1)});
    }
    // Alternate pipes run along y instead of x, so they cross.
    if (index % 2 == 1) {
        for (V3& p : path) {
            const V3 q = p - V3{100.0, 0.0, 100.0};
            p = V3{100.0, 0.0, 100.0} + V3{q.y * 0.8, q.x, q.z};
        }
    }
    return path;
}

} // namespace

// Copper pipes bending through space with steel flanges, and an outlet pipe whose mouth
// is at (270, 0, 180), where the smoke of the factory effect pours out. The pipes are
// drawn between 100 and 1000 units from a camera circling 700 units away.
bool writePipesScene(const std::string& path, std::string& error)
{
    const int frames = 1500;
    SceneBuilder builder(frames);
    builder.addMaterial(sceneMaterial("miedz", {1.0, 0.8, 0.7}, "pipe.jpg", 0, "", 70));
    builder.addMaterial(sceneMaterial("kolnierz", {0.7, 0.72, 0.75}, "", 0, "", 80));

    for (int pipe = 0; pipe < 5; ++pipe) {
        const std::vector<V3> route = pipePath(pipe, 90);
        SceneObject tube;
        tube.name = "rura" + std::to_string(pipe);
        tube.mesh = tubeMesh(route, 9.0 + pipe % 3 * 1.5, 14, 0.01);
        tube.material = "miedz";
        builder.addObject(tube);
        SceneObject flanges;
        flanges.name = "kolnierze" + std::to_string(pipe);
        flanges.material = "kolnierz";
        for (std::size_t k = 6; k + 6 < route.size(); k += 12) {
            const Affine turn = Affine::alignZ(route[k + 1] - route[k - 1]);
            flanges.mesh.append(torusMesh(12.5 + pipe % 3 * 1.5, 3.5, 18, 6), Affine::translation(route[k]) * turn);
        }
        builder.addObject(flanges);
    }

    // The outlet rises from below and ends straight up at the smoke point.
    const V3 mouth{270.0, 0.0, 180.0};
    std::vector<V3> outletRoute;
    for (int k = 0; k <= 40; ++k) {
        const double s = k / 40.0;
        const double bend = 1.0 - s;
        outletRoute.push_back(mouth + V3{-260.0 * bend * bend, 180.0 * bend * bend * bend, -300.0 * bend});
    }
    SceneObject outlet;
    outlet.name = "wylot";
    outlet.mesh = tubeMesh(outletRoute, 16.0, 16, 0.01);
    outlet.mesh.append(frustumMesh(16.0, 26.0, 14.0, 16, false), Affine::translation(mouth - V3{0, 0, 7.0}));
    outlet.mesh.append(torusMesh(26.0, 3.0, 20, 6), Affine::translation(mouth));
    outlet.material = "miedz";
    builder.addObject(outlet);

    builder.addLight("slonce", {{0, {600.0, -500.0, 700.0}}}, {1.0, 0.85, 0.7});
    builder.addLight("kontra", {{0, {-500.0, 600.0, 200.0}}}, {0.4, 0.5, 0.8});
    builder.addLight("dol", {{0, {100.0, -100.0, -500.0}}}, {0.3, 0.25, 0.2});

    const V3 centre{110.0, 0.0, 90.0};
    builder.setCamera(sampleVector(frames, 25,
                                   [&](double f) {
                                       const double a = (-30.0 + 75.0 * f / 1500.0) * STABLE_PI / 180.0;
                                       return centre + V3{700.0 * stableSin(a), -700.0 * stableCos(a),
                                                          160.0 - 110.0 * f / 1500.0};
                                   }),
                      sampleVector(frames, 25, [&](double f) { return centre + V3{40.0 * stableSin(f / 300.0), 0, 20.0}; }),
                      sampleScalar(frames, 25, [](double) { return 52.0; }),
                      sampleScalar(frames, 25, [](double f) { return -5.0 + 10.0 * f / 1500.0; }), 100.0, 1000.0);
    return builder.save(path, error);
}

// A long eight-sided tunnel of panels with ribs and cables. Its first light drifts ahead
// of the camera, weaving through the view (the cube effect's sparks follow it), and the
// tunnel fills the whole screen, as that effect clears only the depth buffer.
bool writeTunnelScene(const std::string& path, std::string& error)
{
    const int frames = 1500;
    SceneBuilder builder(frames);
    builder.addMaterial(sceneMaterial("panele", {0.9, 0.9, 1.0}, "panels.jpg", 0, "", 30));
    builder.addMaterial(sceneMaterial("zebra", {0.5, 0.55, 0.6}, "", 0, "", 60));
    builder.addMaterial(sceneMaterial("kable", {0.2, 0.25, 0.3}, "", 0, "", 40));

    SceneObject tube;
    tube.name = "tunel";
    std::vector<V3> axis;
    for (int k = 0; k <= 28; ++k) {
        axis.push_back({0.0, -200.0 + 60.0 * k, 0.0});
    }
    tube.mesh = tubeMesh(axis, 75.0, 8, 1.0 / 140.0);
    scaleUv(tube.mesh, 2.0, 1.0);
    flipFaces(tube.mesh);
    tube.material = "panele";
    builder.addObject(tube);

    SceneObject ribs;
    ribs.name = "zebra";
    for (int k = 0; k < 27; ++k) {
        MeshData rib = torusMesh(70.0, 4.0, 8, 4);
        ribs.mesh.append(rib, Affine::translation({0.0, -170.0 + 60.0 * k, 0.0}) *
                                  Affine::rotation({1, 0, 0}, STABLE_PI * 0.5) * Affine::rotation({0, 0, 1}, STABLE_PI / 8.0));
    }
    ribs.material = "zebra";
    builder.addObject(ribs);

    SceneObject cables;
    cables.name = "kable";
    for (int c = 0; c < 4; ++c) {
        const double a = STABLE_PI * 0.25 + c * STABLE_PI * 0.5;
        std::vector<V3> route;
        for (int k = 0; k <= 56; ++k) {
            const double y = -200.0 + 30.0 * k;
            route.push_back({58.0 * stableCos(a), y, 58.0 * stableSin(a) + 2.0 * stableSin(y * 0.05 + c)});
        }
        cables.mesh.append(tubeMesh(route, 2.5, 6, 0.02));
    }
    cables.material = "kable";
    builder.addObject(cables);

    auto cameraY = [](double f) { return 600.0 * f / 1500.0; };
    builder.addLight("iskra", sampleVector(frames, 15, [&](double f) {
                         const double t = f / FRAMES_PER_SECOND;
                         return V3{38.0 * stableSin(t * 1.3), cameraY(f) + 120.0 + 35.0 * stableSin(t * 0.7),
                                   26.0 * stableCos(t * 1.1)};
                     }),
                     {1.0, 0.65, 0.3});
    builder.addLight("chlod", sampleVector(frames, 25, [&](double f) { return V3{0.0, cameraY(f) - 20.0, 30.0}; }),
                     {0.25, 0.35, 0.6});
    builder.addLight("koniec", {{0, {0.0, 900.0, 0.0}}}, {0.4, 0.2, 0.5});

    builder.setCamera(sampleVector(frames, 25,
                                   [&](double f) {
                                       const double t = f / FRAMES_PER_SECOND;
                                       return V3{12.0 * stableSin(t * 0.4), cameraY(f), 8.0 * stableSin(t * 0.3)};
                                   }),
                      sampleVector(frames, 25,
                                   [&](double f) {
                                       const double t = f / FRAMES_PER_SECOND;
                                       return V3{20.0 * stableSin(t * 0.5 + 1.0), cameraY(f) + 150.0,
                                                 10.0 * stableSin(t * 0.35)};
                                   }),
                      sampleScalar(frames, 25, [](double) { return 64.0; }),
                      sampleScalar(frames, 25, [](double f) { return 25.0 * stableSin(f / 1500.0 * 3.0); }), 5.0, 1000.0);
    return builder.save(path, error);
}

// A tumbling cube frame ("ramka", drawn culled and writing depth) holding a spinning
// heart and a glass shell. The set-up draws the other meshes depth-tested without depth
// writes and without culling; both carry opacity maps, so they blend and are drawn back
// faces first, which keeps them right from every side. The glass also has a
// transparency of 60 % (lighting takes its alpha from the map, not from that value).
bool writeCubeScene(const std::string& path, std::string& error)
{
    const int frames = 1500;
    SceneBuilder builder(frames);
    builder.addMaterial(sceneMaterial("rama", {0.7, 0.75, 0.85}, "steel.jpg", 0, "", 70));
    builder.addMaterial(sceneMaterial("serce", {0.6, 0.85, 1.0}, "cubeface.jpg", 0, "cubemsk.jpg", 60));
    builder.addMaterial(sceneMaterial("szklo", {0.7, 0.85, 1.0}, "glass.jpg", 60, "glassmsk.jpg", 90));

    const double size = 120.0;
    const double beam = 9.0;
    SceneObject frame;
    frame.name = "ramka";
    for (int axisIndex = 0; axisIndex < 3; ++axisIndex) {
        for (int corner = 0; corner < 4; ++corner) {
            const double a = (corner & 1 ? 0.5 : -0.5) * size;
            const double b = (corner & 2 ? 0.5 : -0.5) * size;
            V3 centre;
            V3 extent;
            if (axisIndex == 0) {
                centre = {0.0, a, b};
                extent = {size - beam, beam, beam};
            } else if (axisIndex == 1) {
                centre = {a, 0.0, b};
                extent = {beam, size - beam, beam};
            } else {
                centre = {a, b, 0.0};
                extent = {beam, beam, size - beam};
            }
            frame.mesh.append(boxMesh(extent), Affine::translation(centre));
        }
    }
    for (int corner = 0; corner < 8; ++corner) {
        frame.mesh.append(boxMesh({beam * 1.6, beam * 1.6, beam * 1.6}),
                          Affine::translation({(corner & 1 ? 0.5 : -0.5) * size, (corner & 2 ? 0.5 : -0.5) * size,
                                               (corner & 4 ? 0.5 : -0.5) * size}));
    }
    frame.material = "rama";
    frame.spinAxis = normalised({1.0, 0.6, 0.9});
    frame.spin = {{0, 0.3}, {frames, 0.3 + 2.0 * 2.0 * STABLE_PI}};
    const int frameIndex = builder.addObject(frame);

    SceneObject heart;
    heart.name = "serce";
    heart.mesh = boxMesh({44.0, 44.0, 44.0});
    heart.material = "serce";
    heart.parent = frameIndex;
    heart.spinAxis = normalised({-0.4, 1.0, 0.2});
    heart.spin = {{0, 0.0}, {frames, -6.0 * 2.0 * STABLE_PI}};
    builder.addObject(heart);

    SceneObject glass;
    glass.name = "szklo";
    glass.mesh = boxMesh({size - beam, size - beam, size - beam});
    glass.material = "szklo";
    glass.parent = frameIndex;
    builder.addObject(glass);

    builder.addLight("klucz", {{0, {300.0, -300.0, 250.0}}}, {1.0, 0.95, 0.85});
    builder.addLight("kontra", {{0, {-300.0, 250.0, 100.0}}}, {0.3, 0.5, 1.0});
    builder.addLight("okrazajace", sampleVector(frames, 15, [](double f) {
                         const double a = f / FRAMES_PER_SECOND * 1.1;
                         return V3{200.0 * stableCos(a), 200.0 * stableSin(a), -120.0};
                     }),
                     {1.0, 0.45, 0.2});

    builder.setCamera(sampleVector(frames, 25,
                                   [](double f) {
                                       const double a = (20.0 + 50.0 * f / 1500.0) * STABLE_PI / 180.0;
                                       const double r = 340.0 - 60.0 * f / 1500.0;
                                       return V3{r * stableSin(a), -r * stableCos(a), 80.0 - 50.0 * f / 1500.0};
                                   }),
                      {{0, {0.0, 0.0, 0.0}}}, sampleScalar(frames, 25, [](double) { return 50.0; }),
                      sampleScalar(frames, 25, [](double f) { return 6.0 * stableSin(f / 240.0); }), 10.0, 2000.0);
    return builder.save(path, error);
}

// Four credits plates, one every five seconds: each flips in from the distance, hangs in
// front of the camera and sweeps up past it. No lights, so the set-up's additive flag
// adds the plates' pictures as they are, weighted by their materials' 15 % transparency.
bool writeCreditsScene(const std::string& path, std::string& error)
{
    const int frames = 1500;
    SceneBuilder builder(frames);
    for (int plate = 0; plate < 4; ++plate) {
        builder.addMaterial(sceneMaterial("napis" + std::to_string(plate + 1), {1.0, 1.0, 1.0},
                                          "credit" + std::to_string(plate + 1) + ".jpg", 15, "", 0));
    }
    for (int plate = 0; plate < 4; ++plate) {
        const double slot = plate * 5.0 * FRAMES_PER_SECOND;
        SceneObject sign;
        sign.name = "napis" + std::to_string(plate + 1);
        sign.mesh = wallMesh(240.0, 60.0, 240.0);
        // wallMesh tiles from the panel's corner; one tile spans the plate here.
        for (auto& coordinate : sign.mesh.uv) {
            coordinate[0] += 0.5;
            coordinate[1] = coordinate[1] * 4.0 + 0.5;
        }
        sign.material = sign.name;
        const double side = plate % 2 == 0 ? -1.0 : 1.0;
        sign.positions = sampleVector(frames, 15, [&](double f) {
            const double t = (f - slot) / FRAMES_PER_SECOND;
            if (t < 0.0) {
                return V3{0.0, 2600.0, 0.0};
            }
            if (t < 1.2) {
                const double p = 1.0 - (1.0 - t / 1.2) * (1.0 - t / 1.2);
                return V3{side * 60.0 * (1.0 - p), 1400.0 * (1.0 - p), 0.0};
            }
            if (t < 4.0) {
                return V3{side * 6.0 * (t - 1.2), 0.0, 4.0 * (t - 1.2)};
            }
            if (t < 5.0) {
                const double p = (t - 4.0) * (t - 4.0);
                return V3{side * 16.8, -260.0 * p, 11.2 + 190.0 * p};
            }
            return V3{0.0, -900.0, 0.0};
        });
        sign.spinAxis = {0.0, 0.0, 1.0};
        sign.spin = sampleScalar(frames, 15, [&](double f) {
            const double t = (f - slot) / FRAMES_PER_SECOND;
            return side * 1.4 * (1.0 - easeInOut(t / 1.2));
        });
        builder.addObject(sign);
    }
    builder.setCamera({{0, {0.0, -300.0, 0.0}}}, {{0, {0.0, 0.0, 0.0}}}, {{0, 40.0}}, {{0, 0.0}}, 10.0, 2000.0);
    return builder.save(path, error);
}
