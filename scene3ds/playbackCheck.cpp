#include "scene3ds/playbackCheck.h"

#include "platform/files/loadError.h"
#include "scene3ds/chunkIds.h"
#include "scene3ds/scene.h"

#include <cstdio>
#include <vector>

namespace {

std::string quoted(const std::string& name) { return "\"" + name + "\""; }

bool failAt(LoadError& error, const Scene& scene, const KeyframerNode* record, const std::string& text)
{
    if (record) return failLoad(error, scene.fileName, static_cast<long long>(record->offset), record->chunkId, text);
    return failLoad(error, scene.fileName, -1, -1, text);
}

const KeyframerNode* nodeRecord(const Scene& scene, int index)
{
    return index >= 0 && index < static_cast<int>(scene.keyframerNodes.size()) ? &scene.keyframerNodes[index] : nullptr;
}

template <typename Track>
std::vector<std::int16_t> framesOf(const Track& track)
{
    std::vector<std::int16_t> frames;
    for (const auto& key : track.keys) frames.push_back(key.frame);
    return frames;
}

// Keys present, and in strictly ascending frames, since evaluation divides by the
// distance between neighbouring keys.
template <typename Track>
bool checkTrack(const Track* track, const std::string& owner, const char* trackName, const Scene& scene,
                const KeyframerNode* record, LoadError& error)
{
    if (!track) return failAt(error, scene, record, owner + " has no " + trackName + " track");
    const std::vector<std::int16_t> frames = framesOf(*track);
    if (frames.empty()) return failAt(error, scene, record, owner + ": its " + trackName + " track has no keys");
    for (std::size_t i = 1; i < frames.size(); ++i) {
        if (frames[i] <= frames[i - 1]) {
            return failAt(error, scene, record,
                          owner + ": " + trackName + " key " + std::to_string(i) + " at frame " +
                              std::to_string(frames[i]) + " does not come after frame " + std::to_string(frames[i - 1]));
        }
    }
    return true;
}

const KeyframerNode* recordOf(const Scene& scene, std::uint16_t chunkId, const std::string& name)
{
    for (const KeyframerNode& record : scene.keyframerNodes) {
        if ((record.chunkId == chunkId || (chunkId == CHUNK_LIGHT_NODE && record.chunkId == CHUNK_SPOT_NODE)) &&
            (name.empty() || record.name == name)) {
            return &record;
        }
    }
    return nullptr;
}

} // namespace

bool checkScenePlayback(const Scene& scene, const std::vector<std::string>& requiredNodes, LoadError& error)
{
    for (const MeshObject& object : scene.objects) {
        const Mesh& mesh = *object.mesh;
        if (!object.material->textureName.empty() && mesh.texCoordCount > 0 && mesh.texCoordCount < mesh.vertexCount) {
            return failAt(error, scene, nullptr,
                          "object " + quoted(object.name) + " is textured by material " + quoted(object.material->name) +
                              " but has " + std::to_string(mesh.texCoordCount) + " mapping coordinates for " +
                              std::to_string(mesh.vertexCount) + " vertices");
        }
    }

    for (const SceneNode& node : scene.nodes) {
        const std::string owner = "node " + quoted(node.name);
        const KeyframerNode* record = nodeRecord(scene, node.keyframerNode);
        if (!checkTrack(node.posTrack.get(), owner, "position", scene, record, error) ||
            !checkTrack(node.rotTrack.get(), owner, "rotation", scene, record, error) ||
            !checkTrack(node.scaleTrack.get(), owner, "scale", scene, record, error)) {
            return false;
        }
        const float* scale = node.scaleTrack->keys[0].value;
        if (scale[0] == 0.0f || scale[1] == 0.0f || scale[2] == 0.0f) {
            return failAt(error, scene, record,
                          owner + ": its first scale key has a zero component, so its rest pose cannot be inverted");
        }
    }

    // GL guarantees eight lights; a ninth would be an invalid light name.
    if (scene.lights.size() > 8) {
        return failAt(error, scene, nullptr,
                      "light " + quoted(scene.lights[8].name) + " is the ninth; playback drives at most 8 lights");
    }
    for (const Light& light : scene.lights) {
        const std::string owner = "light " + quoted(light.name);
        const KeyframerNode* record = recordOf(scene, CHUNK_LIGHT_NODE, light.name);
        if (!checkTrack(light.posTrack.get(), owner, "position", scene, record, error) ||
            !checkTrack(light.colorTrack.get(), owner, "colour", scene, record, error)) {
            return false;
        }
    }

    const KeyframerNode* cameraRecord = recordOf(scene, CHUNK_CAMERA_NODE, "");
    const KeyframerNode* targetRecord = recordOf(scene, CHUNK_TARGET_NODE, "");
    const std::string camera = cameraRecord ? "camera node " + quoted(cameraRecord->name) : std::string("the camera");
    if (!checkTrack(scene.cameraTrack.get(), camera, "position", scene, cameraRecord, error) ||
        !checkTrack(scene.fovTrack.get(), camera, "field-of-view", scene, cameraRecord, error) ||
        !checkTrack(scene.rollTrack.get(), camera, "roll", scene, cameraRecord, error) ||
        !checkTrack(scene.targetTrack.get(), targetRecord ? "camera target node " + quoted(targetRecord->name) : camera,
                    "position", scene, targetRecord, error)) {
        return false;
    }
    for (const ScalarKey& key : scene.fovTrack->keys) {
        if (!(key.value > 0.0f && key.value < 180.0f)) {
            char degrees[32];
            std::snprintf(degrees, sizeof degrees, "%g", key.value);
            return failAt(error, scene, cameraRecord,
                          camera + ": a field of view of " + degrees + " degrees at frame " + std::to_string(key.frame) +
                              " gives no picture; it must lie between 0 and 180");
        }
    }

    for (const std::string& name : requiredNodes) {
        if (scene.findNode(name) < 0) return failAt(error, scene, nullptr, "no node is named " + quoted(name));
    }
    return true;
}
