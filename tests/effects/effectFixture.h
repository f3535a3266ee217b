// Shared set-up for the effect tests: the GL fixture with the run's own start-up state, solid
// test textures, .3ds scenes written with the test-side writer and loaded through the scene
// reader, and probes of the GL state an effect leaves behind.
#pragma once

#include "tests/support/glFixture.h"
#include "textures/texture.h"
#include "tools/writer3ds/writer3ds.h"

#include <array>
#include <memory>
#include <string>

struct Scene;
class ParticleEmitter;

class EffectTest : public GlTest {
protected:
    // GlTest's set-up, then the GL state the player sets before its first frame.
    void SetUp() override;

    // A 4 x 4 texture of one RGBA colour (0 .. 255 each).
    static TextureId solidTexture(int red, int green, int blue, int alpha);

    // Writes the description to a file of the test's own and loads it as a scene drawn
    // filled, as the asset set-up does; fails the test when the reader refuses it.
    static std::unique_ptr<Scene> loadScene(const writer3ds::Scene& description, const std::string& name);

    // Fills the colour buffer with one colour and clears depth and stencil.
    static void fillScreen(float red, float green, float blue);

    static bool enabled(unsigned int capability);
    static std::array<float, 16> matrix(unsigned int which);

    // Nodes of the emitter's list, the end node included.
    static int listLength(const ParticleEmitter& emitter);
};

// A scene seen by its camera from (0, -cameraDistance, 0) towards the origin, up +z, 45
// degrees field of view, running 3000 frames, with one light at (0, -50, 0). `objects` hold
// the meshes; each gets an object node that keeps it still at its place (pivot 0).
writer3ds::Scene stillScene(const std::vector<writer3ds::Object>& objects, float cameraDistance = 100.0f);

// The keyframer node of that name in a description.
writer3ds::Node& sceneNode(writer3ds::Scene& scene, const std::string& name);

// A square facing the camera (in the plane y = 0), from (x0, z0) to (x1, z1), with a
// white unlit material.
writer3ds::Object facingSquare(const std::string& name, float x0, float z0, float x1, float z1);
