#include "tools/writer3ds/writer3ds.h"

#include <cassert>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace writer3ds {

void ChunkWriter::beginChunk(std::uint16_t id)
{
    openStarts.push_back(buffer.size());
    writeU16(id);
    writeU32(0);   // placeholder, patched by endChunk
}

void ChunkWriter::endChunk()
{
    assert(!openStarts.empty());
    std::size_t start = openStarts.back();
    openStarts.pop_back();
    patchU32(start + 2, static_cast<std::uint32_t>(buffer.size() - start));
}

void ChunkWriter::writeU8(std::uint8_t value) { buffer.push_back(value); }

void ChunkWriter::writeU16(std::uint16_t value)
{
    buffer.push_back(static_cast<std::uint8_t>(value & 0xFF));
    buffer.push_back(static_cast<std::uint8_t>(value >> 8));
}

void ChunkWriter::writeI16(std::int16_t value) { writeU16(static_cast<std::uint16_t>(value)); }

void ChunkWriter::writeU32(std::uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8) buffer.push_back(static_cast<std::uint8_t>((value >> shift) & 0xFF));
}

void ChunkWriter::writeI32(std::int32_t value) { writeU32(static_cast<std::uint32_t>(value)); }

void ChunkWriter::writeFloat(float value)
{
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    writeU32(bits);
}

void ChunkWriter::writeVec3(const Vec3& value)
{
    for (float component : value) writeFloat(component);
}

void ChunkWriter::writeString(const std::string& text)
{
    writeBytes(text.data(), text.size());
    writeU8(0);
}

void ChunkWriter::writeBytes(const void* data, std::size_t size)
{
    const std::uint8_t* bytes = static_cast<const std::uint8_t*>(data);
    buffer.insert(buffer.end(), bytes, bytes + size);
}

void ChunkWriter::patchU32(std::size_t offset, std::uint32_t value)
{
    assert(offset + 4 <= buffer.size());
    for (int i = 0; i < 4; ++i) buffer[offset + i] = static_cast<std::uint8_t>((value >> (8 * i)) & 0xFF);
}

void ChunkWriter::patchU16(std::size_t offset, std::uint16_t value)
{
    assert(offset + 2 <= buffer.size());
    buffer[offset] = static_cast<std::uint8_t>(value & 0xFF);
    buffer[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

bool saveFile(const std::string& path, const std::vector<std::uint8_t>& bytes, std::string& error)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        error = path + ": cannot be opened for writing";
        return false;
    }
    std::size_t written = bytes.empty() ? 0 : std::fwrite(bytes.data(), 1, bytes.size(), file);
    bool closed = std::fclose(file) == 0;
    if (written != bytes.size() || !closed) {
        error = path + ": could not write all " + std::to_string(bytes.size()) + " bytes";
        return false;
    }
    return true;
}

void writeVersion(ChunkWriter& writer, std::uint32_t version)
{
    writer.beginChunk(CHUNK_VERSION);
    writer.writeU32(version);
    writer.endChunk();
}

void writeColorFloatChunk(ChunkWriter& writer, const Vec3& rgb)
{
    writer.beginChunk(CHUNK_COLOR_FLOAT);
    writer.writeVec3(rgb);
    writer.endChunk();
}

void writeColor24Chunk(ChunkWriter& writer, std::uint8_t red, std::uint8_t green, std::uint8_t blue)
{
    writer.beginChunk(CHUNK_COLOR_24);
    writer.writeU8(red);
    writer.writeU8(green);
    writer.writeU8(blue);
    writer.endChunk();
}

void writePercentIntChunk(ChunkWriter& writer, std::int16_t percent)
{
    writer.beginChunk(CHUNK_PERCENT_INT);
    writer.writeI16(percent);
    writer.endChunk();
}

void writePercentFloatChunk(ChunkWriter& writer, float percent)
{
    writer.beginChunk(CHUNK_PERCENT_FLOAT);
    writer.writeFloat(percent);
    writer.endChunk();
}

void writePointArray(ChunkWriter& writer, const std::vector<Vec3>& points)
{
    writer.beginChunk(CHUNK_POINT_ARRAY);
    writer.writeU16(static_cast<std::uint16_t>(points.size()));
    for (const Vec3& point : points) writer.writeVec3(point);
    writer.endChunk();
}

void beginFaceArray(ChunkWriter& writer, const std::vector<Face>& faces)
{
    writer.beginChunk(CHUNK_FACE_ARRAY);
    writer.writeU16(static_cast<std::uint16_t>(faces.size()));
    for (const Face& face : faces) {
        writer.writeU16(face.a);
        writer.writeU16(face.b);
        writer.writeU16(face.c);
        writer.writeU16(face.flags);
    }
}

void writeMaterialGroup(ChunkWriter& writer, const std::string& materialName,
                        const std::vector<std::uint16_t>& faceIndices)
{
    writer.beginChunk(CHUNK_MATERIAL_GROUP);
    writer.writeString(materialName);
    writer.writeU16(static_cast<std::uint16_t>(faceIndices.size()));
    for (std::uint16_t face : faceIndices) writer.writeU16(face);
    writer.endChunk();
}

void writeSmoothGroups(ChunkWriter& writer, const std::vector<std::uint32_t>& groups)
{
    writer.beginChunk(CHUNK_SMOOTH_GROUP);
    for (std::uint32_t group : groups) writer.writeU32(group);
    writer.endChunk();
}

void writeTexVerts(ChunkWriter& writer, const std::vector<Vec2>& texCoords)
{
    writer.beginChunk(CHUNK_TEX_VERTS);
    writer.writeU16(static_cast<std::uint16_t>(texCoords.size()));
    for (const Vec2& uv : texCoords) {
        writer.writeFloat(uv[0]);
        writer.writeFloat(uv[1]);
    }
    writer.endChunk();
}

void writeLocalAxes(ChunkWriter& writer, const Vec3& xAxis, const Vec3& yAxis, const Vec3& zAxis, const Vec3& origin)
{
    writer.beginChunk(CHUNK_LOCAL_AXES);
    writer.writeVec3(xAxis);
    writer.writeVec3(yAxis);
    writer.writeVec3(zAxis);
    writer.writeVec3(origin);
    writer.endChunk();
}

void writeLightChunk(ChunkWriter& writer, const Vec3& position, const Vec3& colour)
{
    writer.beginChunk(CHUNK_LIGHT);
    writer.writeVec3(position);
    writeColorFloatChunk(writer, colour);
    writer.endChunk();
}

void beginCamera(ChunkWriter& writer, const Vec3& position, const Vec3& target, float bank, float lens)
{
    writer.beginChunk(CHUNK_CAMERA);
    writer.writeVec3(position);
    writer.writeVec3(target);
    writer.writeFloat(bank);
    writer.writeFloat(lens);
}

void writeCameraRanges(ChunkWriter& writer, float nearPlane, float farPlane)
{
    writer.beginChunk(CHUNK_CAMERA_RANGES);
    writer.writeFloat(nearPlane);
    writer.writeFloat(farPlane);
    writer.endChunk();
}

void writeMaterialName(ChunkWriter& writer, const std::string& name)
{
    writer.beginChunk(CHUNK_MATERIAL_NAME);
    writer.writeString(name);
    writer.endChunk();
}

void writeMaterialColorFloat(ChunkWriter& writer, std::uint16_t colourChunkId, const Vec3& rgb)
{
    writer.beginChunk(colourChunkId);
    writeColorFloatChunk(writer, rgb);
    writer.endChunk();
}

void writeMaterialColor24(ChunkWriter& writer, std::uint16_t colourChunkId, std::uint8_t red, std::uint8_t green,
                          std::uint8_t blue)
{
    writer.beginChunk(colourChunkId);
    writeColor24Chunk(writer, red, green, blue);
    writer.endChunk();
}

void writeMaterialPercentInt(ChunkWriter& writer, std::uint16_t percentChunkId, std::int16_t percent)
{
    writer.beginChunk(percentChunkId);
    writePercentIntChunk(writer, percent);
    writer.endChunk();
}

void writeMaterialPercentFloat(ChunkWriter& writer, std::uint16_t percentChunkId, float percent)
{
    writer.beginChunk(percentChunkId);
    writePercentFloatChunk(writer, percent);
    writer.endChunk();
}

void writeMap(ChunkWriter& writer, std::uint16_t mapChunkId, const std::string& fileName, std::int16_t strength)
{
    writer.beginChunk(mapChunkId);
    writePercentIntChunk(writer, strength);
    writer.beginChunk(CHUNK_MAP_FILE_NAME);
    writer.writeString(fileName);
    writer.endChunk();
    writer.endChunk();
}

void writeFrameSegment(ChunkWriter& writer, std::int32_t startFrame, std::int32_t endFrame)
{
    writer.beginChunk(CHUNK_FRAME_SEGMENT);
    writer.writeI32(startFrame);
    writer.writeI32(endFrame);
    writer.endChunk();
}

void writeCurrentFrame(ChunkWriter& writer, std::int32_t frame)
{
    writer.beginChunk(CHUNK_CURRENT_FRAME);
    writer.writeI32(frame);
    writer.endChunk();
}

void writeNodeId(ChunkWriter& writer, std::int16_t nodeId)
{
    writer.beginChunk(CHUNK_NODE_ID);
    writer.writeI16(nodeId);
    writer.endChunk();
}

void writeNodeHeader(ChunkWriter& writer, const std::string& name, std::uint16_t flags1, std::uint16_t flags2,
                     std::int16_t hierarchy)
{
    writer.beginChunk(CHUNK_NODE_HEADER);
    writer.writeString(name);
    writer.writeU16(flags1);
    writer.writeU16(flags2);
    writer.writeI16(hierarchy);
    writer.endChunk();
}

void writeInstanceName(ChunkWriter& writer, const std::string& name)
{
    writer.beginChunk(CHUNK_INSTANCE_NAME);
    writer.writeString(name);
    writer.endChunk();
}

void writePivot(ChunkWriter& writer, const Vec3& pivot)
{
    writer.beginChunk(CHUNK_PIVOT);
    writer.writeVec3(pivot);
    writer.endChunk();
}

namespace {

// Track flags word, then two 32-bit words that 3D packages use for the track's range.
void writeTrackHeader(ChunkWriter& writer, std::uint16_t trackChunkId, std::size_t keyCount)
{
    writer.beginChunk(trackChunkId);
    writer.writeU16(0);
    writer.writeU32(0);
    writer.writeU32(0);
    writer.writeU32(static_cast<std::uint32_t>(keyCount));
}

void writeKeyHeader(ChunkWriter& writer, std::int32_t frame, const Spline& spline)
{
    writer.writeI32(frame);
    writer.writeU16(spline.flags);
    for (int bit = 0; bit < 5; ++bit) {
        if (spline.flags & (1u << bit)) writer.writeFloat(spline.values[bit]);
    }
}

void writeColour(ChunkWriter& writer, std::uint16_t chunkId, const Colour& colour)
{
    if (!colour.present) return;
    if (colour.asBytes) {
        writeMaterialColor24(writer, chunkId, colour.bytes[0], colour.bytes[1], colour.bytes[2]);
    } else {
        writeMaterialColorFloat(writer, chunkId, colour.value);
    }
}

void writePercent(ChunkWriter& writer, std::uint16_t chunkId, const Percent& percent)
{
    if (!percent.present) return;
    if (percent.asFloat) {
        writeMaterialPercentFloat(writer, chunkId, percent.floatValue);
    } else {
        writeMaterialPercentInt(writer, chunkId, percent.intValue);
    }
}

void writeMaterial(ChunkWriter& writer, const Material& material)
{
    writer.beginChunk(CHUNK_MATERIAL);
    writeMaterialName(writer, material.name);
    writeColour(writer, CHUNK_AMBIENT, material.ambient);
    writeColour(writer, CHUNK_DIFFUSE, material.diffuse);
    writeColour(writer, CHUNK_SPECULAR, material.specular);
    writePercent(writer, CHUNK_SHININESS, material.shininess);
    writePercent(writer, CHUNK_TRANSPARENCY, material.transparency);
    if (!material.textureMap.empty()) writeMap(writer, CHUNK_TEXTURE_MAP, material.textureMap);
    if (!material.opacityMap.empty()) writeMap(writer, CHUNK_OPACITY_MAP, material.opacityMap);
    writer.endChunk();
}

} // namespace

void writeObject(ChunkWriter& writer, const Object& object)
{
    writer.beginChunk(CHUNK_NAMED_OBJECT);
    writer.writeString(object.name);
    writer.beginChunk(CHUNK_TRIANGLE_MESH);
    writePointArray(writer, object.points);
    if (object.writeLocalAxes) {
        writeLocalAxes(writer, object.localAxes[0], object.localAxes[1], object.localAxes[2], object.origin);
    }
    if (!object.texCoords.empty()) writeTexVerts(writer, object.texCoords);
    beginFaceArray(writer, object.faces);
    for (const MaterialGroup& group : object.materialGroups) {
        std::vector<std::uint16_t> faces = group.faces;
        if (faces.empty()) {
            for (std::size_t i = 0; i < object.faces.size(); ++i) faces.push_back(static_cast<std::uint16_t>(i));
        }
        writeMaterialGroup(writer, group.materialName, faces);
    }
    if (object.writeSmoothGroups) writeSmoothGroups(writer, std::vector<std::uint32_t>(object.faces.size(), 1u));
    writer.endChunk();   // face array
    writer.endChunk();   // triangle mesh
    writer.endChunk();   // named object
}

namespace {

void writeTrack(ChunkWriter& writer, const Track& track)
{
    switch (track.kind) {
    case Track::VECTOR: writeVectorTrack(writer, track.chunkId, track.vectorKeys); break;
    case Track::SCALAR: writeScalarTrack(writer, track.chunkId, track.scalarKeys); break;
    case Track::ROTATION: writeRotationTrack(writer, track.rotationKeys); break;
    }
}

} // namespace

void writeNode(ChunkWriter& writer, const Node& node, std::int16_t nodeId)
{
    writer.beginChunk(node.chunkId);
    writeNodeId(writer, nodeId);
    writeNodeHeader(writer, node.name, node.flags1, node.flags2, node.hierarchy);
    if (!node.instanceName.empty()) writeInstanceName(writer, node.instanceName);
    if (node.writePivot) writePivot(writer, node.pivot);
    for (const Track& track : node.tracks) writeTrack(writer, track);
    writer.endChunk();
}

void writeVectorTrack(ChunkWriter& writer, std::uint16_t trackChunkId, const std::vector<VectorKey>& keys)
{
    writeTrackHeader(writer, trackChunkId, keys.size());
    for (const VectorKey& key : keys) {
        writeKeyHeader(writer, key.frame, key.spline);
        writer.writeVec3(key.value);
    }
    writer.endChunk();
}

void writeScalarTrack(ChunkWriter& writer, std::uint16_t trackChunkId, const std::vector<ScalarKey>& keys)
{
    writeTrackHeader(writer, trackChunkId, keys.size());
    for (const ScalarKey& key : keys) {
        writeKeyHeader(writer, key.frame, key.spline);
        writer.writeFloat(key.value);
    }
    writer.endChunk();
}

void writeRotationTrack(ChunkWriter& writer, const std::vector<RotationKey>& keys)
{
    writeTrackHeader(writer, CHUNK_ROTATION_TRACK, keys.size());
    for (const RotationKey& key : keys) {
        writeKeyHeader(writer, key.frame, key.spline);
        writer.writeFloat(key.angle);
        writer.writeVec3(key.axis);
    }
    writer.endChunk();
}

Colour colourFloat(float red, float green, float blue)
{
    Colour colour;
    colour.value = {red, green, blue};
    return colour;
}

Colour colour24(std::uint8_t red, std::uint8_t green, std::uint8_t blue)
{
    Colour colour;
    colour.asBytes = true;
    colour.bytes = {red, green, blue};
    colour.value = {red / 255.0f, green / 255.0f, blue / 255.0f};
    return colour;
}

Percent percentInt(std::int16_t value)
{
    Percent percent;
    percent.intValue = value;
    percent.floatValue = value;
    return percent;
}

Percent percentFloat(float value)
{
    Percent percent;
    percent.asFloat = true;
    percent.floatValue = value;
    percent.intValue = static_cast<std::int16_t>(value);
    return percent;
}

Track vectorTrack(std::uint16_t chunkId, const std::vector<VectorKey>& keys)
{
    Track track;
    track.kind = Track::VECTOR;
    track.chunkId = chunkId;
    track.vectorKeys = keys;
    return track;
}

Track scalarTrack(std::uint16_t chunkId, const std::vector<ScalarKey>& keys)
{
    Track track;
    track.kind = Track::SCALAR;
    track.chunkId = chunkId;
    track.scalarKeys = keys;
    return track;
}

Track rotationTrack(const std::vector<RotationKey>& keys)
{
    Track track;
    track.kind = Track::ROTATION;
    track.chunkId = CHUNK_ROTATION_TRACK;
    track.rotationKeys = keys;
    return track;
}

Node objectNode(const std::string& name, std::int16_t hierarchy, const Vec3& pivot, const std::vector<VectorKey>& positions,
                const std::vector<RotationKey>& rotations, const std::vector<VectorKey>& scales)
{
    Node node;
    node.chunkId = CHUNK_OBJECT_NODE;
    node.name = name;
    node.hierarchy = hierarchy;
    node.pivot = pivot;
    node.tracks = {vectorTrack(CHUNK_POSITION_TRACK, positions), rotationTrack(rotations),
                   vectorTrack(CHUNK_SCALE_TRACK, scales)};
    return node;
}

Node cameraNode(const std::string& name, const std::vector<VectorKey>& positions, const std::vector<ScalarKey>& fov,
                const std::vector<ScalarKey>& roll)
{
    Node node;
    node.chunkId = CHUNK_CAMERA_NODE;
    node.name = name;
    node.writePivot = false;
    node.tracks = {vectorTrack(CHUNK_POSITION_TRACK, positions), scalarTrack(CHUNK_FOV_TRACK, fov),
                   scalarTrack(CHUNK_ROLL_TRACK, roll)};
    return node;
}

Node targetNode(const std::string& name, const std::vector<VectorKey>& positions)
{
    Node node;
    node.chunkId = CHUNK_TARGET_NODE;
    node.name = name;
    node.writePivot = false;
    node.tracks = {vectorTrack(CHUNK_POSITION_TRACK, positions)};
    return node;
}

Node lightNode(const std::string& name, const std::vector<VectorKey>& positions, const std::vector<VectorKey>& colours)
{
    Node node;
    node.chunkId = CHUNK_LIGHT_NODE;
    node.name = name;
    node.writePivot = false;
    node.tracks = {vectorTrack(CHUNK_POSITION_TRACK, positions), vectorTrack(CHUNK_COLOR_TRACK, colours)};
    return node;
}

void writeScene(ChunkWriter& writer, const Scene& scene)
{
    writer.beginChunk(CHUNK_MAIN);
    writeVersion(writer, 3);
    writer.beginChunk(CHUNK_EDITOR);
    writer.beginChunk(CHUNK_MESH_VERSION);
    writer.writeU32(3);
    writer.endChunk();
    for (const Material& material : scene.materials) writeMaterial(writer, material);
    writer.beginChunk(CHUNK_MASTER_SCALE);
    writer.writeFloat(1.0f);
    writer.endChunk();
    for (const Object& object : scene.objects) writeObject(writer, object);
    for (const Light& light : scene.lights) {
        writer.beginChunk(CHUNK_NAMED_OBJECT);
        writer.writeString(light.name);
        writeLightChunk(writer, light.position, light.colour);
        writer.endChunk();
    }
    if (scene.hasCamera) {
        const Camera& camera = scene.camera;
        writer.beginChunk(CHUNK_NAMED_OBJECT);
        writer.writeString(camera.name);
        beginCamera(writer, camera.position, camera.target, camera.bank, camera.lens);
        if (camera.writeRanges) writeCameraRanges(writer, camera.nearPlane, camera.farPlane);
        writer.endChunk();
        writer.endChunk();
    }
    writer.endChunk();   // editor data

    if (scene.keyframer.present) {
        const Keyframer& keyframer = scene.keyframer;
        writer.beginChunk(CHUNK_KEYFRAMER);
        writer.beginChunk(CHUNK_KEYFRAMER_HEADER);
        writer.writeU16(5);
        writer.writeString("MAXSCENE");
        writer.writeU32(static_cast<std::uint32_t>(keyframer.endFrame));
        writer.endChunk();
        writeFrameSegment(writer, keyframer.startFrame, keyframer.endFrame);
        writeCurrentFrame(writer, keyframer.currentFrame);
        for (std::size_t i = 0; i < keyframer.nodes.size(); ++i) {
            writeNode(writer, keyframer.nodes[i], static_cast<std::int16_t>(i));
        }
        writer.endChunk();
    }
    writer.endChunk();   // main
}

std::vector<std::uint8_t> sceneBytes(const Scene& scene)
{
    ChunkWriter writer;
    writeScene(writer, scene);
    return writer.bytes();
}

Object boxObject(const std::string& name, const Vec3& min, const Vec3& max, const std::string& materialName)
{
    Object object;
    object.name = name;
    for (int i = 0; i < 8; ++i) {
        object.points.push_back({(i & 1) ? max[0] : min[0], (i & 2) ? max[1] : min[1], (i & 4) ? max[2] : min[2]});
        object.texCoords.push_back({(i & 1) ? 1.0f : 0.0f, (i & 2) ? 1.0f : 0.0f});
    }
    // Corner i has bit 0 for x, bit 1 for y, bit 2 for z; each side's corners run
    // counter-clockwise seen from outside.
    const std::uint16_t sides[6][4] = {
        {0, 2, 3, 1},   // -z
        {4, 5, 7, 6},   // +z
        {0, 1, 5, 4},   // -y
        {2, 6, 7, 3},   // +y
        {0, 4, 6, 2},   // -x
        {1, 3, 7, 5},   // +x
    };
    for (const auto& side : sides) {
        object.faces.push_back({side[0], side[1], side[2]});
        object.faces.push_back({side[0], side[2], side[3]});
    }
    object.materialGroups.push_back({materialName, {}});
    object.origin = {(min[0] + max[0]) * 0.5f, (min[1] + max[1]) * 0.5f, (min[2] + max[2]) * 0.5f};
    return object;
}

Object quadObject(const std::string& name, float x0, float y0, float x1, float y1, float height,
                  const std::string& materialName)
{
    Object object;
    object.name = name;
    object.points = {{x0, y0, height}, {x1, y0, height}, {x1, y1, height}, {x0, y1, height}};
    object.texCoords = {{0.0f, 0.0f}, {1.0f, 0.0f}, {1.0f, 1.0f}, {0.0f, 1.0f}};
    object.faces = {{0, 1, 2}, {0, 2, 3}};
    object.materialGroups.push_back({materialName, {}});
    object.origin = {(x0 + x1) * 0.5f, (y0 + y1) * 0.5f, height};
    return object;
}

Node staticObjectNode(const std::string& name, std::int16_t hierarchy, const Vec3& position)
{
    VectorKey positionKey;
    positionKey.value = position;
    RotationKey rotationKey;
    VectorKey scaleKey;
    scaleKey.value = {1.0f, 1.0f, 1.0f};
    return objectNode(name, hierarchy, {0.0f, 0.0f, 0.0f}, {positionKey}, {rotationKey}, {scaleKey});
}

Node dummyNode(const std::string& instanceName, std::int16_t hierarchy, const Vec3& position)
{
    Node node = staticObjectNode("$$$DUMMY", hierarchy, position);
    node.instanceName = instanceName;
    return node;
}

Node placeObject(Object& object, const Vec3& position, float angle, const Vec3& axis, const Vec3& scale,
                 const Vec3& pivot)
{
    // Columns of R(-angle) about the unit axis, as glRotatef builds it.
    const double length = std::sqrt(double(axis[0]) * axis[0] + double(axis[1]) * axis[1] + double(axis[2]) * axis[2]);
    const double x = axis[0] / length, y = axis[1] / length, z = axis[2] / length;
    const double c = std::cos(-double(angle)), s = std::sin(-double(angle)), t = 1.0 - c;
    const double rotation[3][3] = {{t * x * x + c, t * x * y + z * s, t * x * z - y * s},
                                   {t * x * y - z * s, t * y * y + c, t * y * z + x * s},
                                   {t * x * z + y * s, t * y * z - x * s, t * z * z + c}};
    auto place = [&](const Vec3& local, bool point) {
        Vec3 placed;
        for (int r = 0; r < 3; ++r) {
            double sum = point ? double(position[r]) : 0.0;
            for (int k = 0; k < 3; ++k) sum += rotation[k][r] * scale[k] * (local[k] - (point ? pivot[k] : 0.0f));
            placed[r] = static_cast<float>(sum);
        }
        return placed;
    };
    for (Vec3& point : object.points) point = place(point, true);
    for (int k = 0; k < 3; ++k) {
        Vec3 unit = {0.0f, 0.0f, 0.0f};
        unit[k] = 1.0f;
        object.localAxes[k] = place(unit, false);
    }
    object.origin = place({0.0f, 0.0f, 0.0f}, true);
    object.writeLocalAxes = true;

    VectorKey positionKey;
    positionKey.value = position;
    RotationKey rotationKey;
    rotationKey.angle = angle;
    rotationKey.axis = axis;
    VectorKey scaleKey;
    scaleKey.value = scale;
    return objectNode(object.name, -1, pivot, {positionKey}, {rotationKey}, {scaleKey});
}

Scene sampleScene()
{
    Scene scene;
    Material red;
    red.name = "Red";
    red.ambient = colourFloat(0.1f, 0.0f, 0.0f);
    red.diffuse = colourFloat(1.0f, 0.0f, 0.0f);
    red.specular = colourFloat(1.0f, 1.0f, 1.0f);
    red.shininess = percentInt(40);
    red.transparency = percentInt(0);
    scene.materials.push_back(red);
    scene.objects.push_back(boxObject("Box", {-10.0f, -10.0f, -10.0f}, {10.0f, 10.0f, 10.0f}, "Red"));
    Light light;
    light.name = "Omni01";
    light.position = {0.0f, -100.0f, 50.0f};
    scene.lights.push_back(light);
    scene.camera.name = "Camera01";
    scene.camera.position = {0.0f, -100.0f, 0.0f};
    scene.camera.target = {0.0f, 0.0f, 0.0f};
    scene.camera.nearPlane = 1.0f;
    scene.camera.farPlane = 1000.0f;
    scene.keyframer.startFrame = 0;
    scene.keyframer.endFrame = 100;

    VectorKey cameraKey;
    cameraKey.value = {0.0f, -100.0f, 0.0f};
    ScalarKey fovKey;
    fovKey.value = 45.0f;
    ScalarKey rollKey;
    VectorKey targetKey;
    VectorKey lightPosition;
    lightPosition.value = {0.0f, -100.0f, 50.0f};
    VectorKey lightColour;
    lightColour.value = {1.0f, 1.0f, 1.0f};
    scene.keyframer.nodes = {staticObjectNode("Box", -1, {0.0f, 0.0f, 0.0f}),
                             cameraNode("Camera01", {cameraKey}, {fovKey}, {rollKey}),
                             targetNode("Camera01.Target", {targetKey}),
                             lightNode("Omni01", {lightPosition}, {lightColour})};
    return scene;
}

} // namespace writer3ds
