#include "tests/effects/effectFixture.h"

#include "particles/particleEmitter.h"
#include "platform/files/loadError.h"
#include "scene3ds/playbackCheck.h"
#include "scene3ds/scene.h"
#include "timeline/demoTimeline.h"

#include <GL/gl.h>

#include <filesystem>
#include <string>

#include <unistd.h>

void EffectTest::SetUp()
{
    GlTest::SetUp();
    setDemoRunState();
}

TextureId EffectTest::solidTexture(int red, int green, int blue, int alpha)
{
    GLubyte pixels[4 * 4 * 4];
    for (int i = 0; i < 16; ++i) {
        pixels[4 * i + 0] = static_cast<GLubyte>(red);
        pixels[4 * i + 1] = static_cast<GLubyte>(green);
        pixels[4 * i + 2] = static_cast<GLubyte>(blue);
        pixels[4 * i + 3] = static_cast<GLubyte>(alpha);
    }
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 4, 4, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    return name;
}

std::unique_ptr<Scene> EffectTest::loadScene(const writer3ds::Scene& description, const std::string& name)
{
    // One folder per process: ctest runs the cases of this program side by side.
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("kesu-effect-tests-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const std::string path = (folder / (name + ".3ds")).string();
    std::string writeError;
    EXPECT_TRUE(writer3ds::saveFile(path, writer3ds::sceneBytes(description), writeError)) << writeError;

    auto scene = std::make_unique<Scene>();
    scene->host = &renderWindow();
    LoadError error;
    const bool loaded = scene->load(path, folder.string() + "/", 2, error) && checkScenePlayback(*scene, {}, error);
    EXPECT_TRUE(loaded) << formatLoadError(error);
    scene->setMeshFlags(MESH_FILL);
    return scene;
}

void EffectTest::fillScreen(float red, float green, float blue)
{
    glClearColor(red, green, blue, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
}

bool EffectTest::enabled(unsigned int capability) { return glIsEnabled(capability) == GL_TRUE; }

std::array<float, 16> EffectTest::matrix(unsigned int which)
{
    std::array<float, 16> values{};
    glGetFloatv(which, values.data());
    return values;
}

int EffectTest::listLength(const ParticleEmitter& emitter)
{
    int length = 0;
    for (const Particle* node = emitter.head; node; node = node->next) ++length;
    return length;
}

writer3ds::Scene stillScene(const std::vector<writer3ds::Object>& objects, float cameraDistance)
{
    using namespace writer3ds;
    writer3ds::Scene scene;
    writer3ds::Material white;
    white.name = "white";
    white.ambient = colourFloat(1.0f, 1.0f, 1.0f);
    white.diffuse = colourFloat(1.0f, 1.0f, 1.0f);
    white.specular = colourFloat(0.0f, 0.0f, 0.0f);
    scene.materials.push_back(white);
    scene.objects = objects;
    writer3ds::Light light;
    light.name = "Omni01";
    light.position = {0.0f, -50.0f, 0.0f};
    scene.lights.push_back(light);
    scene.camera.position = {0.0f, -cameraDistance, 0.0f};
    scene.camera.target = {0.0f, 0.0f, 0.0f};
    scene.camera.nearPlane = 10.0f;
    scene.camera.farPlane = 10.0f * cameraDistance;
    scene.keyframer.endFrame = 3000;
    scene.keyframer.nodes.push_back(cameraNode("Camera01", {{0, {0.0f, -cameraDistance, 0.0f}, {}}}, {{0, 45.0f, {}}},
                                               {{0, 0.0f, {}}}));
    scene.keyframer.nodes.push_back(targetNode("Camera01", {{0, {0.0f, 0.0f, 0.0f}, {}}}));
    scene.keyframer.nodes.push_back(
        lightNode("Omni01", {{0, {0.0f, -50.0f, 0.0f}, {}}}, {{0, {1.0f, 1.0f, 1.0f}, {}}}));
    for (const Object& object : objects) {
        scene.keyframer.nodes.push_back(objectNode(object.name, -1, {0.0f, 0.0f, 0.0f}, {{0, {0.0f, 0.0f, 0.0f}, {}}},
                                                   {{0, 0.0f, {0.0f, 0.0f, 1.0f}, {}}},
                                                   {{0, {1.0f, 1.0f, 1.0f}, {}}}));
    }
    return scene;
}

writer3ds::Node& sceneNode(writer3ds::Scene& scene, const std::string& name)
{
    for (writer3ds::Node& node : scene.keyframer.nodes) {
        if (node.name == name) return node;
    }
    ADD_FAILURE() << "no node " << name;
    return scene.keyframer.nodes.front();
}

writer3ds::Object facingSquare(const std::string& name, float x0, float z0, float x1, float z1)
{
    writer3ds::Object square;
    square.name = name;
    square.points = {{x0, 0.0f, z0}, {x1, 0.0f, z0}, {x1, 0.0f, z1}, {x0, 0.0f, z1}};
    // Counter-clockwise as the camera at -y sees them (screen right is +x, up is +z).
    square.faces = {{0, 1, 2, 7}, {0, 2, 3, 7}};
    square.materialGroups = {{"white", {}}};
    return square;
}
