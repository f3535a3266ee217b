// Writes .3ds files: the chunk subset the scene reader reads, plus a few chunks it passes
// over. Used by the tests to build their fixtures in code and by the data generator to
// make the demo's scenes. Owns only the byte buffer being written; needs no GL.
#pragma once

#include "scene3ds/chunkIds.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace writer3ds {

using Vec2 = std::array<float, 2>;
using Vec3 = std::array<float, 3>;

// A growing little-endian byte buffer with nested chunks. beginChunk writes the header
// with a placeholder length; endChunk patches the length of the innermost open chunk,
// header included, once everything inside it is written.
class ChunkWriter {
public:
    void beginChunk(std::uint16_t id);
    void endChunk();
    // Chunks begun and not yet ended.
    int openChunks() const { return static_cast<int>(openStarts.size()); }

    void writeU8(std::uint8_t value);
    void writeU16(std::uint16_t value);
    void writeI16(std::int16_t value);
    void writeU32(std::uint32_t value);
    void writeI32(std::int32_t value);
    void writeFloat(float value);
    void writeVec3(const Vec3& value);
    // The bytes of text and then a zero byte.
    void writeString(const std::string& text);
    void writeBytes(const void* data, std::size_t size);

    std::size_t size() const { return buffer.size(); }
    const std::vector<std::uint8_t>& bytes() const { return buffer; }
    std::vector<std::uint8_t>& bytes() { return buffer; }
    // Overwrites 4 bytes at offset, for damaging a finished file on purpose.
    void patchU32(std::size_t offset, std::uint32_t value);
    void patchU16(std::size_t offset, std::uint16_t value);

private:
    std::vector<std::uint8_t> buffer;
    std::vector<std::size_t> openStarts;
};

// Writes bytes to path; false with a message when the file cannot be written whole.
bool saveFile(const std::string& path, const std::vector<std::uint8_t>& bytes, std::string& error);

// ---- One chunk each, complete (header, data and fixed sub-chunks). ----

void writeVersion(ChunkWriter& writer, std::uint32_t version);
void writeColorFloatChunk(ChunkWriter& writer, const Vec3& rgb);
void writeColor24Chunk(ChunkWriter& writer, std::uint8_t red, std::uint8_t green, std::uint8_t blue);
void writePercentIntChunk(ChunkWriter& writer, std::int16_t percent);
void writePercentFloatChunk(ChunkWriter& writer, float percent);

// Mesh sub-chunks.
void writePointArray(ChunkWriter& writer, const std::vector<Vec3>& points);
struct Face {
    std::uint16_t a = 0, b = 0, c = 0;
    std::uint16_t flags = 0x0007;   // edge-visibility flags as 3D packages write them; the reader skips them
};
// Opens the face array and writes the faces; the caller adds material groups and
// smoothing groups and then closes it with endChunk.
void beginFaceArray(ChunkWriter& writer, const std::vector<Face>& faces);
void writeMaterialGroup(ChunkWriter& writer, const std::string& materialName,
                        const std::vector<std::uint16_t>& faceIndices);
void writeSmoothGroups(ChunkWriter& writer, const std::vector<std::uint32_t>& groups);
void writeTexVerts(ChunkWriter& writer, const std::vector<Vec2>& texCoords);
void writeLocalAxes(ChunkWriter& writer, const Vec3& xAxis, const Vec3& yAxis, const Vec3& zAxis, const Vec3& origin);

// Lights and the camera (each inside its named object).
void writeLightChunk(ChunkWriter& writer, const Vec3& position, const Vec3& colour);
// Opens the camera chunk with its 32 bytes; ranges and other sub-chunks follow, then endChunk.
void beginCamera(ChunkWriter& writer, const Vec3& position, const Vec3& target, float bank, float lens);
void writeCameraRanges(ChunkWriter& writer, float nearPlane, float farPlane);

// Material sub-chunks. colourChunkId is CHUNK_AMBIENT, CHUNK_DIFFUSE or CHUNK_SPECULAR;
// percentChunkId is CHUNK_SHININESS or CHUNK_TRANSPARENCY; mapChunkId is
// CHUNK_TEXTURE_MAP or CHUNK_OPACITY_MAP.
void writeMaterialName(ChunkWriter& writer, const std::string& name);
void writeMaterialColorFloat(ChunkWriter& writer, std::uint16_t colourChunkId, const Vec3& rgb);
void writeMaterialColor24(ChunkWriter& writer, std::uint16_t colourChunkId, std::uint8_t red, std::uint8_t green,
                          std::uint8_t blue);
void writeMaterialPercentInt(ChunkWriter& writer, std::uint16_t percentChunkId, std::int16_t percent);
void writeMaterialPercentFloat(ChunkWriter& writer, std::uint16_t percentChunkId, float percent);
// A map chunk as 3D packages write it: a strength percentage first, then the file name.
void writeMap(ChunkWriter& writer, std::uint16_t mapChunkId, const std::string& fileName, std::int16_t strength = 100);

// Keyframer sub-chunks.
void writeFrameSegment(ChunkWriter& writer, std::int32_t startFrame, std::int32_t endFrame);
void writeCurrentFrame(ChunkWriter& writer, std::int32_t frame);
void writeNodeId(ChunkWriter& writer, std::int16_t nodeId);
void writeNodeHeader(ChunkWriter& writer, const std::string& name, std::uint16_t flags1, std::uint16_t flags2,
                     std::int16_t hierarchy);
void writeInstanceName(ChunkWriter& writer, const std::string& name);
void writePivot(ChunkWriter& writer, const Vec3& pivot);

// Keys. frame is stored as 32 bits as in the file; flags other than 0 add one spline
// float per set bit among KEY_TENSION .. KEY_EASE_FROM, taken from spline in that order.
struct Spline {
    std::uint16_t flags = 0;
    std::array<float, 5> values = {0.0f, 0.0f, 0.0f, 0.0f, 0.0f};
};
struct VectorKey {
    std::int32_t frame = 0;
    Vec3 value = {0.0f, 0.0f, 0.0f};
    Spline spline;
};
struct ScalarKey {
    std::int32_t frame = 0;
    float value = 0.0f;
    Spline spline;
};
struct RotationKey {
    std::int32_t frame = 0;
    float angle = 0.0f;   // radians, relative to the previous key
    Vec3 axis = {0.0f, 0.0f, 1.0f};
    Spline spline;
};
// trackChunkId: CHUNK_POSITION_TRACK, CHUNK_SCALE_TRACK or CHUNK_COLOR_TRACK for vectors,
// CHUNK_FOV_TRACK or CHUNK_ROLL_TRACK for scalars.
void writeVectorTrack(ChunkWriter& writer, std::uint16_t trackChunkId, const std::vector<VectorKey>& keys);
void writeScalarTrack(ChunkWriter& writer, std::uint16_t trackChunkId, const std::vector<ScalarKey>& keys);
void writeRotationTrack(ChunkWriter& writer, const std::vector<RotationKey>& keys);

// ---- A whole scene from a description. ----

// A colour chunk as floats (0x0010) or as bytes (0x0011); present = false writes no chunk.
struct Colour {
    bool present = true;
    bool asBytes = false;
    Vec3 value = {0.0f, 0.0f, 0.0f};                   // used as floats
    std::array<std::uint8_t, 3> bytes = {0, 0, 0};    // used as bytes
};
Colour colourFloat(float red, float green, float blue);
Colour colour24(std::uint8_t red, std::uint8_t green, std::uint8_t blue);

// A percentage chunk as an integer (0x0030) or a float (0x0031).
struct Percent {
    bool present = true;
    bool asFloat = false;
    std::int16_t intValue = 0;
    float floatValue = 0.0f;
};
Percent percentInt(std::int16_t value);
Percent percentFloat(float value);

struct Material {
    std::string name;
    Colour ambient = colourFloat(0.2f, 0.2f, 0.2f);
    Colour diffuse = colourFloat(0.8f, 0.8f, 0.8f);
    Colour specular = colourFloat(1.0f, 1.0f, 1.0f);
    Percent shininess = percentInt(20);
    Percent transparency = percentInt(0);
    std::string textureMap;   // empty: no texture map chunk
    std::string opacityMap;   // empty: no opacity map chunk
};

struct MaterialGroup {
    std::string materialName;
    std::vector<std::uint16_t> faces;   // empty: every face of the object
};

struct Object {
    std::string name;
    std::vector<Vec3> points;
    std::vector<Face> faces;
    std::vector<MaterialGroup> materialGroups;
    std::vector<Vec2> texCoords;        // empty: no mapping chunk
    bool writeLocalAxes = true;
    Vec3 localAxes[3] = {{1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, 1.0f}};
    Vec3 origin = {0.0f, 0.0f, 0.0f};
    bool writeSmoothGroups = false;     // one group per face, for files that look like a package's
};

struct Light {
    std::string name;
    Vec3 position = {0.0f, 0.0f, 0.0f};   // stored in the light chunk; the reader animates lights by their node only
    Vec3 colour = {1.0f, 1.0f, 1.0f};
};

struct Camera {
    std::string name = "Camera01";
    Vec3 position = {0.0f, -100.0f, 0.0f};
    Vec3 target = {0.0f, 0.0f, 0.0f};
    float bank = 0.0f;
    float lens = 35.0f;
    bool writeRanges = true;
    float nearPlane = 1.0f;
    float farPlane = 1000.0f;
};

// One track inside a node, in the order the node lists them.
struct Track {
    enum Kind { VECTOR, SCALAR, ROTATION } kind = VECTOR;
    std::uint16_t chunkId = CHUNK_POSITION_TRACK;
    std::vector<VectorKey> vectorKeys;
    std::vector<ScalarKey> scalarKeys;
    std::vector<RotationKey> rotationKeys;
};
Track vectorTrack(std::uint16_t chunkId, const std::vector<VectorKey>& keys);
Track scalarTrack(std::uint16_t chunkId, const std::vector<ScalarKey>& keys);
Track rotationTrack(const std::vector<RotationKey>& keys);

// A keyframer node. Sub-chunks are written in the order: node id, header, instance name
// (when set), pivot (object nodes), then tracks in list order.
struct Node {
    std::uint16_t chunkId = CHUNK_OBJECT_NODE;   // CHUNK_OBJECT_NODE, CHUNK_CAMERA_NODE, CHUNK_TARGET_NODE, CHUNK_LIGHT_NODE, ...
    std::int16_t nodeId = 0;
    std::string name;
    std::uint16_t flags1 = 0x4000;
    std::uint16_t flags2 = 0;
    std::int16_t hierarchy = -1;
    std::string instanceName;                    // empty: no 0xB011 chunk
    bool writePivot = true;                      // object nodes only
    Vec3 pivot = {0.0f, 0.0f, 0.0f};
    std::vector<Track> tracks;
};
// Object node with position, rotation and scale tracks.
Node objectNode(const std::string& name, std::int16_t hierarchy, const Vec3& pivot, const std::vector<VectorKey>& positions,
                const std::vector<RotationKey>& rotations, const std::vector<VectorKey>& scales);
// Camera node with position, field-of-view and roll tracks.
Node cameraNode(const std::string& name, const std::vector<VectorKey>& positions, const std::vector<ScalarKey>& fov,
                const std::vector<ScalarKey>& roll);
// Camera target node with its position track.
Node targetNode(const std::string& name, const std::vector<VectorKey>& positions);
// Light node with its position track first and colour track second.
Node lightNode(const std::string& name, const std::vector<VectorKey>& positions, const std::vector<VectorKey>& colours);

struct Keyframer {
    bool present = true;
    std::int32_t startFrame = 0;
    std::int32_t endFrame = 100;
    std::int32_t currentFrame = 0;
    std::vector<Node> nodes;   // node ids are given in list order when writing
};

struct Scene {
    std::vector<Material> materials;
    std::vector<Object> objects;
    std::vector<Light> lights;
    bool hasCamera = true;
    Camera camera;
    Keyframer keyframer;
};

// One named object holding the object's mesh; one keyframer node with the given id.
void writeObject(ChunkWriter& writer, const Object& object);
void writeNode(ChunkWriter& writer, const Node& node, std::int16_t nodeId);

// Writes main, version, editor data (materials, then objects, lights and the camera as
// named objects) and the keyframer, in the order 3D packages use.
void writeScene(ChunkWriter& writer, const Scene& scene);
std::vector<std::uint8_t> sceneBytes(const Scene& scene);

// ---- Building blocks for descriptions. ----

// An axis-aligned box from min to max as 8 points and 12 outward-facing triangles, with
// one mapping coordinate per point; its one material group names materialName.
Object boxObject(const std::string& name, const Vec3& min, const Vec3& max, const std::string& materialName);
// A square in the plane z = height, corners (x0, y0) and (x1, y1), facing +z, with mapping
// coordinates (0, 0) .. (1, 1) over it.
Object quadObject(const std::string& name, float x0, float y0, float x1, float y1, float height,
                  const std::string& materialName);

// One static key each: position, no turn (angle 0 about z) and unit scale.
Node staticObjectNode(const std::string& name, std::int16_t hierarchy, const Vec3& position);
// A grouping node as 3D packages write one: named "$$$DUMMY", its own name in the instance
// name chunk, with static keys at position.
Node dummyNode(const std::string& instanceName, std::int16_t hierarchy, const Vec3& position);

// Stores an object modelled around its own origin as 3D packages do for a root node whose
// first keys are position, a turn of angle radians about axis (which playback applies as
// -angle) and scale, with the given pivot: each point p becomes M . p and the local axes
// chunk holds M, where M = T(position) . R(-angle, axis) . S(scale) . T(-pivot). Returns the
// node with those first keys.
Node placeObject(Object& object, const Vec3& position, float angle, const Vec3& axis, const Vec3& scale,
                 const Vec3& pivot);

// A small scene that plays: material "Red" (float colours), a 20-unit box "Box" at the
// origin using it, light "Omni01", camera "Camera01" at (0, -100, 0) looking at the origin
// with a 45-degree field of view and ranges 1 .. 1000, frames 0 .. 100, and keyframer nodes
// for all of them. Tests and seeds change it from there.
Scene sampleScene();

} // namespace writer3ds
