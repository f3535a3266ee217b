#include "scene3ds/keyframerNodes.h"

#include "scene3ds/chunkCursor.h"
#include "scene3ds/chunkIds.h"
#include "scene3ds/scene.h"

#include <string>

namespace {

// Everything a node chunk may hold that the scene uses.
struct NodeContents {
    bool hasHeader = false;
    std::string name;
    std::string instanceName;
    std::int16_t hierarchy = -1;
    bool hasPivot = false;
    float pivot[3] = {0.0f, 0.0f, 0.0f};
    std::unique_ptr<VectorTrack> position, scale, color;
    std::unique_ptr<RotationTrack> rotation;
    std::unique_ptr<ScalarTrack> fov, roll;
};

int keyCount(const VectorTrack* track) { return track ? track->keyCount : -1; }
int keyCount(const ScalarTrack* track) { return track ? track->keyCount : -1; }
int keyCount(const RotationTrack* track) { return track ? track->keyCount : -1; }

bool readNodeChunks(ChunkCursor& cursor, const ChunkHeader& node, NodeContents& contents)
{
    const std::size_t depth = cursor.enter(node);
    ChunkHeader chunk;
    while (cursor.next(depth, chunk)) {
        bool read = true;
        switch (chunk.id) {
        case CHUNK_NODE_HEADER: {
            std::uint16_t flags;
            read = cursor.readName(chunk, contents.name, "the node name") &&
                   cursor.readU16(chunk, flags, "the node's first flag word") &&
                   cursor.readU16(chunk, flags, "the node's second flag word") &&
                   cursor.readI16(chunk, contents.hierarchy, "the node's hierarchy value");
            contents.hasHeader = read;
            cursor.skip(chunk);
            break;
        }
        case CHUNK_INSTANCE_NAME:
            read = cursor.readName(chunk, contents.instanceName, "the instance name");
            cursor.skip(chunk);
            break;
        case CHUNK_PIVOT:
            read = cursor.readFloats(chunk, contents.pivot, 3, "the pivot");
            contents.hasPivot = read;
            cursor.skip(chunk);
            break;
        case CHUNK_POSITION_TRACK: read = readVectorTrack(cursor, chunk, contents.position); break;
        case CHUNK_ROTATION_TRACK: read = readRotationTrack(cursor, chunk, contents.rotation); break;
        case CHUNK_SCALE_TRACK: read = readVectorTrack(cursor, chunk, contents.scale); break;
        case CHUNK_FOV_TRACK: read = readScalarTrack(cursor, chunk, contents.fov); break;
        case CHUNK_ROLL_TRACK: read = readScalarTrack(cursor, chunk, contents.roll); break;
        case CHUNK_COLOR_TRACK: read = readVectorTrack(cursor, chunk, contents.color); break;
        default: cursor.skip(chunk); break;
        }
        if (!read) return false;
    }
    if (cursor.failed()) return false;
    if (!contents.hasHeader) {
        return cursor.fail(static_cast<long long>(node.start), node.id,
                           "the node holds no node header chunk " + chunkIdText(CHUNK_NODE_HEADER));
    }
    return true;
}

// Records the node for info and the checks; returns its index in keyframerNodes.
int recordNode(Scene& scene, const ChunkHeader& chunk, const NodeContents& contents)
{
    KeyframerNode record;
    record.chunkId = chunk.id;
    record.offset = chunk.start;
    record.name = contents.name;
    record.instanceName = contents.instanceName;
    record.hierarchy = contents.hierarchy;
    record.hasPivot = contents.hasPivot;
    for (int c = 0; c < 3; ++c) record.pivot[c] = contents.pivot[c];
    record.positionKeys = keyCount(contents.position.get());
    record.rotationKeys = keyCount(contents.rotation.get());
    record.scaleKeys = keyCount(contents.scale.get());
    record.fovKeys = keyCount(contents.fov.get());
    record.rollKeys = keyCount(contents.roll.get());
    record.colorKeys = keyCount(contents.color.get());
    scene.keyframerNodes.push_back(record);
    return static_cast<int>(scene.keyframerNodes.size()) - 1;
}

} // namespace

bool readObjectNode(Scene& scene, ChunkCursor& cursor, const ChunkHeader& chunk, std::size_t objectNodeCapacity)
{
    NodeContents contents;
    if (!readNodeChunks(cursor, chunk, contents)) return false;
    // Pass 1 counted the object nodes it met; one it did not meet (inside a chunk it skips)
    // would move the nodes that parents point to. The room reserved for objects without a
    // node is not theirs to take.
    if (scene.nodes.size() >= objectNodeCapacity) {
        return cursor.fail(static_cast<long long>(chunk.start), chunk.id,
                           "lies inside a chunk that holds no keyframer nodes (keyframer data 0xB000 expected "
                           "around it)");
    }
    const int record = recordNode(scene, chunk, contents);
    scene.keyframerNodes[record].target = static_cast<int>(scene.nodes.size());

    // Bound to its object, parent and material once the whole file is read.
    scene.nodes.emplace_back();
    SceneNode& node = scene.nodes.back();
    node.keyframerNode = record;
    node.name = contents.name;
    node.instanceName = contents.instanceName;
    node.hierarchy = contents.hierarchy;
    for (int c = 0; c < 3; ++c) node.pivot[c] = contents.pivot[c];
    node.posTrack = std::move(contents.position);
    node.rotTrack = std::move(contents.rotation);
    node.scaleTrack = std::move(contents.scale);
    return true;
}

bool readCameraNode(Scene& scene, ChunkCursor& cursor, const ChunkHeader& chunk)
{
    NodeContents contents;
    if (!readNodeChunks(cursor, chunk, contents)) return false;
    recordNode(scene, chunk, contents);
    scene.cameraTrack = std::move(contents.position);
    scene.fovTrack = std::move(contents.fov);
    scene.rollTrack = std::move(contents.roll);
    scene.hasCamera = scene.hasCameraNode = true;
    return true;
}

bool readTargetNode(Scene& scene, ChunkCursor& cursor, const ChunkHeader& chunk)
{
    NodeContents contents;
    if (!readNodeChunks(cursor, chunk, contents)) return false;
    recordNode(scene, chunk, contents);
    scene.targetTrack = std::move(contents.position);
    return true;
}

bool readLightNode(Scene& scene, ChunkCursor& cursor, const ChunkHeader& chunk)
{
    NodeContents contents;
    if (!readNodeChunks(cursor, chunk, contents)) return false;
    const int record = recordNode(scene, chunk, contents);
    for (std::size_t i = 0; i < scene.lights.size(); ++i) {
        if (scene.lights[i].name == contents.name) {
            scene.keyframerNodes[record].target = static_cast<int>(i);
            // Placed by chunk id, whichever order the file gives them in.
            scene.lights[i].posTrack = std::move(contents.position);
            scene.lights[i].colorTrack = std::move(contents.color);
            scene.lights[i].hasNode = true;
            break;
        }
    }
    return true;
}

bool readFrameSegment(Scene& scene, ChunkCursor& cursor, const ChunkHeader& chunk)
{
    std::uint32_t start, end;
    if (!cursor.readU32(chunk, start, "the segment's start frame")) return false;
    if (!cursor.readU32(chunk, end, "the segment's end frame")) return false;
    scene.startFrame = static_cast<std::int32_t>(start);
    // The low half of the end frame, as every frame number is kept.
    scene.frameCount = static_cast<std::int16_t>(end & 0xFFFF);
    scene.hasFrameSegment = true;
    cursor.skip(chunk);
    return true;
}

bool readCurrentFrame(Scene& scene, ChunkCursor& cursor, const ChunkHeader& chunk)
{
    std::uint32_t frame;
    if (!cursor.readU32(chunk, frame, "the current frame")) return false;
    scene.fileFrame = static_cast<std::int16_t>(frame & 0xFFFF);
    cursor.skip(chunk);
    return true;
}
