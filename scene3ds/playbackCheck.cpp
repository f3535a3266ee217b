#include "scene3ds/playbackCheck.h"

#include "platform/loadError.h"
#include "scene3ds/chunkCursor.h"
#include "scene3ds/chunkIds.h"
#include "scene3ds/scene.h"

#include <memory>
#include <vector>

namespace {

std::string quoted(const std::string& name) { return "\"" + name + "\""; }

const KeyframerNode* nodeRecord(const Scene& scene, int index)
{
    return index >= 0 && index < static_cast<int>(scene.keyframerNodes.size()) ? &scene.keyframerNodes[index] : nullptr;
}

bool failAt(LoadError& error, const Scene& scene, const KeyframerNode* record, const std::string& text)
{
    if (record) return failLoad(error, scene.fileName, static_cast<long long>(record->offset), record->chunkId, text);
    return failLoad(error, scene.fileName, -1, -1, text);
}

// Frames of a track's keys; null when the track is missing.
std::unique_ptr<std::vector<std::int16_t>> framesOf(const VectorTrack* track)
{
    if (!track) return nullptr;
    auto frames = std::make_unique<std::vector<std::int16_t>>();
    for (const VectorKey& key : track->keys) frames->push_back(key.frame);
    return frames;
}

std::unique_ptr<std::vector<std::int16_t>> framesOf(const ScalarTrack* track)
{
    if (!track) return nullptr;
    auto frames = std::make_unique<std::vector<std::int16_t>>();
    for (const ScalarKey& key : track->keys) frames->push_back(key.frame);
    return frames;
}

std::unique_ptr<std::vector<std::int16_t>> framesOf(const RotationTrack* track)
{
    if (!track) return nullptr;
    auto frames = std::make_unique<std::vector<std::int16_t>>();
    for (const RotationKey& key : track->keys) frames->push_back(key.frame);
    return frames;
}

// Keys present, and in strictly ascending frames, since evaluation divides by the
// distance between neighbouring keys.
bool checkTrack(const std::vector<std::int16_t>* frames, const std::string& owner, const char* trackName,
                const Scene& scene, const KeyframerNode* record, LoadError& error)
{
    if (!frames) return failAt(error, scene, record, owner + " has no " + trackName + " track");
    if (frames->empty()) return failAt(error, scene, record, owner + ": its " + trackName + " track has no keys");
    for (std::size_t i = 1; i < frames->size(); ++i) {
        if ((*frames)[i] <= (*frames)[i - 1]) {
            return failAt(error, scene, record,
                          owner + ": " + trackName + " key " + std::to_string(i) + " at frame " +
                              std::to_string((*frames)[i]) + " does not come after frame " +
                              std::to_string((*frames)[i - 1]));
        }
    }
    return true;
}

const char* nodeKindText(std::uint16_t chunkId)
{
    return chunkId == CHUNK_LIGHT_NODE ? "light node" : "object node";
}

} // namespace

bool checkScenePlayback(const Scene& scene, const std::vector<std::string>& requiredNodes, LoadError& error)
{
    for (const SceneNode& node : scene.nodes) {
        const Mesh& mesh = *node.mesh;
        const std::string object = "object " + quoted(node.name);
        if (mesh.materialName.empty()) return failAt(error, scene, nullptr, object + " has no material group");
        if (!node.material) {
            return failAt(error, scene, nullptr,
                          object + " names material " + quoted(mesh.materialName) + ", which the file does not define");
        }
        if (!node.material->textureName.empty() && mesh.texCoordCount > 0 && mesh.texCoordCount < mesh.vertexCount) {
            return failAt(error, scene, nullptr,
                          object + " is textured by material " + quoted(node.material->name) + " but has " +
                              std::to_string(mesh.texCoordCount) + " mapping coordinates for " +
                              std::to_string(mesh.vertexCount) + " vertices");
        }
    }

    for (const KeyframerNode& record : scene.keyframerNodes) {
        if ((record.chunkId == CHUNK_OBJECT_NODE || record.chunkId == CHUNK_LIGHT_NODE) && record.target < 0) {
            return failAt(error, scene, &record,
                          std::string(nodeKindText(record.chunkId)) + " " + quoted(record.name) + " names no " +
                              (record.chunkId == CHUNK_LIGHT_NODE ? "light" : "object") + " of the file");
        }
    }

    for (const SceneNode& node : scene.nodes) {
        const std::string owner = "node " + quoted(node.name);
        const KeyframerNode* record = nodeRecord(scene, node.keyframerNode);
        if (!record) return failAt(error, scene, nullptr, "object " + quoted(node.name) + " has no keyframer node");
        if (node.hierarchy != -1 && !node.parent) {
            return failAt(error, scene, record,
                          owner + " has hierarchy value " + std::to_string(node.hierarchy) +
                              " but no earlier node has a smaller one to be its parent");
        }
        if (!checkTrack(framesOf(node.posTrack.get()).get(), owner, "position", scene, record, error) ||
            !checkTrack(framesOf(node.rotTrack.get()).get(), owner, "rotation", scene, record, error) ||
            !checkTrack(framesOf(node.scaleTrack.get()).get(), owner, "scale", scene, record, error)) {
            return false;
        }
        const float* scale = node.scaleTrack->keys[0].value;
        if (scale[0] == 0.0f || scale[1] == 0.0f || scale[2] == 0.0f) {
            return failAt(error, scene, record, owner + ": its first scale key has a zero component, so its rest pose "
                                                        "cannot be inverted");
        }
    }

    // GL guarantees eight lights; a ninth would be an invalid light name.
    if (scene.lights.size() > 8) {
        return failAt(error, scene, nullptr,
                      "light " + quoted(scene.lights[8].name) + " is the ninth; playback drives at most 8 lights");
    }
    for (const Light& light : scene.lights) {
        const std::string owner = "light " + quoted(light.name);
        const KeyframerNode* record = nullptr;
        for (const KeyframerNode& candidate : scene.keyframerNodes) {
            if (candidate.chunkId == CHUNK_LIGHT_NODE && candidate.name == light.name) {
                record = &candidate;
                break;
            }
        }
        if (!record) return failAt(error, scene, nullptr, owner + " has no keyframer node");
        if (!checkTrack(framesOf(light.posTrack.get()).get(), owner, "position", scene, record, error) ||
            !checkTrack(framesOf(light.colorTrack.get()).get(), owner, "colour", scene, record, error)) {
            return false;
        }
    }

    const KeyframerNode* cameraRecord = nullptr;
    const KeyframerNode* targetRecord = nullptr;
    for (const KeyframerNode& record : scene.keyframerNodes) {
        if (record.chunkId == CHUNK_CAMERA_NODE) cameraRecord = &record;
        if (record.chunkId == CHUNK_TARGET_NODE) targetRecord = &record;
    }
    if (!cameraRecord) return failAt(error, scene, nullptr, "the scene has no camera node " + chunkIdText(CHUNK_CAMERA_NODE));
    if (!targetRecord) {
        return failAt(error, scene, nullptr, "the scene has no camera target node " + chunkIdText(CHUNK_TARGET_NODE));
    }
    const std::string camera = "camera node " + quoted(cameraRecord->name);
    if (!checkTrack(framesOf(scene.cameraTrack.get()).get(), camera, "position", scene, cameraRecord, error) ||
        !checkTrack(framesOf(scene.fovTrack.get()).get(), camera, "field-of-view", scene, cameraRecord, error) ||
        !checkTrack(framesOf(scene.rollTrack.get()).get(), camera, "roll", scene, cameraRecord, error) ||
        !checkTrack(framesOf(scene.targetTrack.get()).get(), "camera target node " + quoted(targetRecord->name), "position", scene,
                    targetRecord, error)) {
        return false;
    }

    if (!scene.hasFrameSegment) {
        return failAt(error, scene, nullptr, "the scene has no frame segment chunk " + chunkIdText(CHUNK_FRAME_SEGMENT));
    }
    if (scene.frameCount <= 0) {
        return failAt(error, scene, nullptr,
                      "the frame segment ends at frame " + std::to_string(scene.frameCount) +
                          "; playback wraps modulo the end frame and needs it above 0");
    }

    for (const std::string& name : requiredNodes) {
        if (scene.findNode(name) < 0) return failAt(error, scene, nullptr, "no node is named " + quoted(name));
    }
    return true;
}
