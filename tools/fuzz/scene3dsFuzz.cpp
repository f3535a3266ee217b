// libFuzzer entry for the .3ds reader: any bytes must end in a scene or a clear error, never
// a crash, a hang or a read outside the buffer. Scenes that pass the playback check also
// have every track evaluated over a range of frames.
#include "platform/loadError.h"
#include "scene3ds/scenePlayback.h"
#include "scene3ds/playbackCheck.h"
#include "scene3ds/scene.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Scene scene;
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
    return 0;
}
