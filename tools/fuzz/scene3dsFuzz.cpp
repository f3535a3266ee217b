// libFuzzer entry for the .3ds reader and what follows it in the demo: any bytes must end
// in a scene or a clear error, never a crash, a hang or a read outside the buffer. A scene
// that passes the playback check is then taken through what the demo does with it: every
// track evaluated over a range of frames, its bounds, its meshes recorded, and one draw on
// an offscreen context. The byte-level and the chunk-tree fuzzers share this entry; they
// differ in their mutators only.
#include "platform/display/renderWindow.h"
#include "platform/files/loadError.h"
#include "render/mesh.h"
#include "scene3ds/playbackCheck.h"
#include "scene3ds/scene.h"
#include "scene3ds/scenePlayback.h"
#include "tools/fuzz/fuzzWindow.h"

#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

RenderWindow* window = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    window = &fuzzRenderWindow("scene fuzzer", 64, 48);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Scene scene;
    scene.host = window;
    LoadError error;
    if (!scene.readBytes(data, size, "fuzz.3ds", error)) {
        // An error must point inside the file and say something.
        if (error.text.empty() || error.offset > static_cast<long long>(size)) std::abort();
        return 0;
    }
    if (!checkScenePlayback(scene, {}, error)) return 0;

    const std::int16_t frames[] = {-32768, -5, 0, 1, 7, 50, 99, 100, 4464, 32767};
    for (std::int16_t frame : frames) {
        evaluateVectorTrack(*scene.cameraTrack, frame);
        evaluateVectorTrack(*scene.targetTrack, frame);
        evaluateScalarTrack(*scene.rollTrack, frame);
        evaluateScalarTrack(*scene.fovTrack, frame);
        for (SceneNode& node : scene.nodes) {
            evaluateVectorTrack(*node.posTrack, frame);
            evaluateVectorTrack(*node.scaleTrack, frame);
        }
        for (Light& light : scene.lights) {
            evaluateVectorTrack(*light.posTrack, frame);
            evaluateVectorTrack(*light.colorTrack, frame);
        }
    }

    // What the demo's start-up and one frame do with a scene; the display lists the meshes
    // record are handed back afterwards, as the run's scenes live on while these do not.
    const std::int16_t frame = static_cast<std::int16_t>(size % 211);
    float low[3], high[3];
    sceneBounds(scene, frame, nullptr, low, high);
    const GLuint firstList = glGenLists(1);
    glDeleteLists(firstList, 1);
    scene.setMeshFlags(MESH_FILL | MESH_DEPTH_TEST | MESH_DEPTH_WRITE);
    for (const SceneNode& node : scene.nodes) {
        if (node.mesh) node.mesh->record();
    }
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    scene.frame = frame;
    scene.draw();
    glFinish();
    const GLuint lastList = glGenLists(1);
    glDeleteLists(firstList, lastList - firstList + 1);
    return 0;
}
