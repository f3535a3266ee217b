// The walk on damaged files: each kind of malformed bytes stops it with the offset and
// chunk of the offending item, and no damage makes it read outside the buffer.
#include "tests/scene3ds/sceneFixtures.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <string>

using namespace writer3ds;
using fixtures::chunkOffset;
using fixtures::wrappedFile;

namespace {

// Damaged bytes and where and how the walk must refuse them.
struct Refusal {
    std::vector<std::uint8_t> bytes;
    long long offset;
    int chunkId;
    std::string text;
};

std::vector<std::uint8_t> sampleBytes() { return sceneBytes(sampleScene()); }

// The sample scene with a 16- or 32-bit field at offset `field` of its first chunk `id`
// overwritten, refused at that chunk (or at the field when atField).
Refusal patched(std::uint16_t id, int field, std::uint32_t value, bool wide, bool atField, const std::string& text)
{
    std::vector<std::uint8_t> bytes = sampleBytes();
    const long long at = chunkOffset(bytes, id);
    if (wide) {
        fixtures::putU32(bytes, at + field, value);
    } else {
        fixtures::putU16(bytes, at + field, static_cast<std::uint16_t>(value));
    }
    return Refusal{bytes, atField ? at + field : at, id, text};
}

// A material block named "M" whose next chunk the body writes; at is where that chunk starts.
std::vector<std::uint8_t> inMaterial(std::size_t& at, const std::function<void(ChunkWriter&)>& body)
{
    return wrappedFile(CHUNK_EDITOR, [&](ChunkWriter& writer) {
        writer.beginChunk(CHUNK_MATERIAL);
        writeMaterialName(writer, "M");
        at = writer.size();
        body(writer);
        writer.endChunk();
    });
}

const std::vector<std::pair<const char*, std::function<Refusal()>>> refusals = {
    {"chunk length below six", [] { return patched(CHUNK_POINT_ARRAY, 2, 5, true, false, "length of 5 bytes"); }},
    {"chunk past its parent's end",
     [] {
         std::vector<std::uint8_t> bytes = sampleBytes();
         const long long points = chunkOffset(bytes, CHUNK_POINT_ARRAY);
         const long long mesh = chunkOffset(bytes, CHUNK_TRIANGLE_MESH);
         const std::uint32_t meshLength = bytes[mesh + 2] | (bytes[mesh + 3] << 8);
         fixtures::putU32(bytes, points + 2, static_cast<std::uint32_t>(mesh + meshLength - points + 1));
         return Refusal{bytes, points, CHUNK_POINT_ARRAY, "its parent 0x4100 ends at byte " + std::to_string(mesh + meshLength)};
     }},
    {"truncated file",
     [] {
         std::vector<std::uint8_t> bytes = sampleBytes();
         bytes.resize(bytes.size() - 10);
         return Refusal{bytes, 0, CHUNK_MAIN, "the file ends at byte " + std::to_string(bytes.size())};
     }},
    {"bytes after the last chunk too few for a header",
     [] {
         std::vector<std::uint8_t> bytes = sampleBytes();
         const long long end = static_cast<long long>(bytes.size());
         bytes.insert(bytes.end(), {1, 2, 3});
         return Refusal{bytes, end, -1, "needs 6 bytes"};
     }},
    {"name longer than 255 bytes",
     [] {
         writer3ds::Scene description = sampleScene();
         description.objects[0].name = std::string(256, 'x');
         std::vector<std::uint8_t> bytes = sceneBytes(description);
         return Refusal{bytes, chunkOffset(bytes, CHUNK_NAMED_OBJECT) + 6, CHUNK_NAMED_OBJECT, "longer than 255"};
     }},
    {"name without terminator",
     [] {
         std::vector<std::uint8_t> bytes = wrappedFile(CHUNK_EDITOR, [](ChunkWriter& writer) {
             writer.beginChunk(CHUNK_NAMED_OBJECT);
             writer.writeBytes("Box", 3);
             writer.endChunk();
         });
         return Refusal{bytes, 12 + 6, CHUNK_NAMED_OBJECT, "no terminating zero byte"};
     }},
    {"count larger than its chunk can hold, refused before allocating",
     [] { return patched(CHUNK_FACE_ARRAY, 6, 65535, false, true, "face count 65535 needs 524280 bytes"); }},
    {"face index not below the vertex count",
     [] {
         writer3ds::Scene description = sampleScene();
         description.objects[0].faces[3].c = 8;
         std::vector<std::uint8_t> bytes = sceneBytes(description);
         return Refusal{bytes, chunkOffset(bytes, CHUNK_FACE_ARRAY) + 8 + 8 * 3, CHUNK_FACE_ARRAY,
                        "face 3 names vertex 8 but the mesh has 8 vertices"};
     }},
    {"track with fewer keys than its count",
     [] { return patched(CHUNK_POSITION_TRACK, 16, 3, true, true, "key count 3 needs at least 54 bytes"); }},
    {"key count above 32767",
     [] { return patched(CHUNK_ROTATION_TRACK, 16, 70000, true, true, "key count 70000 is above 32767"); }},
    {"track chunk shorter than its header fields",
     [] {
         std::size_t track = 0;
         std::vector<std::uint8_t> bytes = wrappedFile(CHUNK_KEYFRAMER, [&track](ChunkWriter& writer) {
             writer.beginChunk(CHUNK_CAMERA_NODE);
             writeNodeId(writer, 0);
             writeNodeHeader(writer, "Camera01", 0, 0, -1);
             track = writer.size();
             writer.beginChunk(CHUNK_FOV_TRACK);
             writer.writeU16(0);
             writer.writeU32(0);
             writer.endChunk();
             writer.endChunk();
         });
         return Refusal{bytes, static_cast<long long>(track + 6), CHUNK_FOV_TRACK, "the track flags and range needs 10 bytes"};
     }},
    {"key with spline fields past the chunk",
     [] {
         writer3ds::Scene description = sampleScene();
         description.keyframer.nodes[1].tracks[1].scalarKeys[0].spline.flags = 0x1F;
         std::vector<std::uint8_t> bytes = sceneBytes(description);
         const long long track = chunkOffset(bytes, CHUNK_FOV_TRACK);
         const std::uint32_t length = bytes[track + 2] | (bytes[track + 3] << 8);
         std::vector<long long> enclosing;
         for (std::uint16_t id : {CHUNK_MAIN, CHUNK_KEYFRAMER, CHUNK_CAMERA_NODE, CHUNK_FOV_TRACK}) {
             enclosing.push_back(chunkOffset(bytes, id));
         }
         // Cut the key's last spline field and its value, 8 bytes, and shorten every chunk
         // around them to match, so the track holds four of the five fields its flags announce.
         bytes.erase(bytes.begin() + track + length - 8, bytes.begin() + track + length);
         for (long long at : enclosing) {
             const std::uint32_t old = bytes[at + 2] | (bytes[at + 3] << 8) | (bytes[at + 4] << 16);
             fixtures::putU32(bytes, at + 2, old - 8);
         }
         return Refusal{bytes, track + length - 8, CHUNK_FOV_TRACK, "a spline field of the key needs 4 bytes"};
     }},
    {"node header shorter than its fields",
     [] {
         std::vector<std::uint8_t> bytes = wrappedFile(CHUNK_KEYFRAMER, [](ChunkWriter& writer) {
             writer.beginChunk(CHUNK_OBJECT_NODE);
             writeNodeId(writer, 0);
             writer.beginChunk(CHUNK_NODE_HEADER);
             writer.writeString("Box");
             writer.writeU16(0x4000);
             writer.endChunk();
             writer.endChunk();
         });
         // Node at 12, its id chunk of 8 bytes, then the header's 6, the name's 4 and one flag word.
         return Refusal{bytes, 12 + 6 + 8 + 6 + 4 + 2, CHUNK_NODE_HEADER, "second flag word needs 2 bytes"};
     }},
    {"node without its header",
     [] {
         std::vector<std::uint8_t> bytes = wrappedFile(CHUNK_KEYFRAMER, [](ChunkWriter& writer) {
             writer.beginChunk(CHUNK_LIGHT_NODE);
             writeNodeId(writer, 0);
             writer.endChunk();
         });
         return Refusal{bytes, 12, CHUNK_LIGHT_NODE, "no node header chunk 0xB010"};
     }},
    {"frame segment shorter than its fields",
     [] {
         std::vector<std::uint8_t> bytes = wrappedFile(CHUNK_KEYFRAMER, [](ChunkWriter& writer) {
             writer.beginChunk(CHUNK_FRAME_SEGMENT);
             writer.writeU32(0);
             writer.writeU16(100);
             writer.endChunk();
         });
         return Refusal{bytes, 12 + 10, CHUNK_FRAME_SEGMENT, "end frame needs 4 bytes"};
     }},
    {"camera shorter than its 32 bytes",
     [] {
         std::vector<std::uint8_t> bytes = wrappedFile(CHUNK_EDITOR, [](ChunkWriter& writer) {
             writer.beginChunk(CHUNK_NAMED_OBJECT);
             writer.writeString("Camera01");
             writer.beginChunk(CHUNK_CAMERA);
             writer.writeVec3({0, 0, 0});
             writer.endChunk();
             writer.endChunk();
         });
         return Refusal{bytes, 12 + 6 + 9 + 6 + 12, CHUNK_CAMERA, "the camera's target needs 12 bytes"};
     }},
    {"light colour shorter than its three floats",
     [] {
         std::vector<std::uint8_t> bytes = wrappedFile(CHUNK_EDITOR, [](ChunkWriter& writer) {
             writer.beginChunk(CHUNK_NAMED_OBJECT);
             writer.writeString("Omni");
             writer.beginChunk(CHUNK_LIGHT);
             writer.writeVec3({0, 0, 0});
             writer.beginChunk(CHUNK_COLOR_FLOAT);
             writer.writeFloat(1.0f);
             writer.endChunk();
             writer.endChunk();
             writer.endChunk();
         });
         return Refusal{bytes, 12 + 6 + 5 + 6 + 12 + 6, CHUNK_COLOR_FLOAT, "the light's colour needs 12 bytes"};
     }},
    {"material chunk outside any material block",
     [] {
         std::size_t at = 0;
         std::vector<std::uint8_t> bytes = wrappedFile(CHUNK_EDITOR, [&at](ChunkWriter& writer) {
             at = writer.size();
             writeMaterialColorFloat(writer, CHUNK_DIFFUSE, {1, 0, 0});
         });
         return Refusal{bytes, static_cast<long long>(at), CHUNK_DIFFUSE, "no material block 0xAFFF"};
     }},
    {"colour chunk without its sub-chunk",
     [] {
         std::size_t at = 0;
         std::vector<std::uint8_t> bytes = inMaterial(at, [](ChunkWriter& writer) {
             writer.beginChunk(CHUNK_AMBIENT);
             writer.endChunk();
         });
         return Refusal{bytes, static_cast<long long>(at), CHUNK_AMBIENT, "holds no colour sub-chunk"};
     }},
    {"map without a file name chunk",
     [] {
         std::size_t at = 0;
         std::vector<std::uint8_t> bytes = inMaterial(at, [](ChunkWriter& writer) {
             writer.beginChunk(CHUNK_TEXTURE_MAP);
             writePercentIntChunk(writer, 100);
             writer.endChunk();
         });
         return Refusal{bytes, static_cast<long long>(at), CHUNK_TEXTURE_MAP, "no map file name chunk 0xA300"};
     }},
    {"mesh inside a chunk that holds no objects",
     [] {
         std::size_t at = 0;
         std::vector<std::uint8_t> bytes = inMaterial(at, [](ChunkWriter& writer) {
             writer.beginChunk(CHUNK_TRIANGLE_MESH);
             writer.endChunk();
         });
         return Refusal{bytes, static_cast<long long>(at), CHUNK_TRIANGLE_MESH, "holds no objects"};
     }},
    {"object node inside a chunk that holds no keyframer nodes",
     [] {
         std::size_t at = 0;
         std::vector<std::uint8_t> bytes = inMaterial(at, [](ChunkWriter& writer) {
             writer.beginChunk(CHUNK_OBJECT_NODE);
             writeNodeHeader(writer, "Box", 0, 0, -1);
             writer.endChunk();
         });
         return Refusal{bytes, static_cast<long long>(at), CHUNK_OBJECT_NODE, "holds no keyframer nodes"};
     }},
    {"object nodes, a parent and its child, inside the camera of a file whose objects have no nodes",
     [] {
         writer3ds::Scene description = sampleScene();
         description.objects.push_back(boxObject("Lid", {0, 0, 20}, {20, 20, 30}, "Red"));
         description.keyframer.present = false;
         std::vector<ChunkNode> tree;
         const std::vector<std::uint8_t> plain = sceneBytes(description);
         parseChunkTree(plain.data(), plain.size(), tree);
         ChunkWriter nodes;
         writeNode(nodes, staticObjectNode("Box", -1, {0, 0, 0}), 0);
         writeNode(nodes, staticObjectNode("Lid", 0, {0, 0, 0}), 1);
         std::vector<ChunkNode> written;
         parseChunkTree(nodes.bytes().data(), nodes.size(), written);
         ChunkNode* camera = findChunk(tree, CHUNK_CAMERA);
         camera->children.insert(camera->children.begin(), written.begin(), written.end());
         std::vector<std::uint8_t> bytes = chunkTreeBytes(tree);
         return Refusal{bytes, chunkOffset(bytes, CHUNK_OBJECT_NODE), CHUNK_OBJECT_NODE, "holds no keyframer nodes"};
     }},
};

} // namespace

// Read whole from memory, and from a file in steps as a loading between frames reads it.
TEST(MalformedScene, EachDamageIsRefusedAtItsOffsetAndChunk)
{
    const std::string path = ::testing::TempDir() + "broken.3ds";
    for (const auto& [name, make] : refusals) {
        const Refusal refusal = make();
        ::Scene scene;
        LoadError error;
        EXPECT_FALSE(scene.readBytes(refusal.bytes.data(), refusal.bytes.size(), "broken.3ds", error)) << name;
        EXPECT_EQ(error.file, "broken.3ds") << name;
        EXPECT_EQ(error.offset, refusal.offset) << name;
        EXPECT_EQ(error.chunkId, refusal.chunkId) << name;
        EXPECT_NE(error.text.find(refusal.text), std::string::npos)
            << name << ": \"" << formatLoadError(error) << "\" does not mention \"" << refusal.text << "\"";

        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(refusal.bytes.data()),
                                                    static_cast<std::streamsize>(refusal.bytes.size()));
        ::Scene stepped;
        LoadError steppedError;
        EXPECT_EQ(fixtures::readSceneInSteps(stepped, path, steppedError), -1) << name;
        EXPECT_EQ(steppedError.file, path) << name;
        EXPECT_EQ(steppedError.offset, error.offset) << name;
        EXPECT_EQ(steppedError.chunkId, error.chunkId) << name;
        EXPECT_EQ(steppedError.text, error.text) << name;
    }
}

TEST(MalformedScene, EmptyAndMissingFilesAreReportedByName)
{
    ::Scene scene;
    LoadError error;
    EXPECT_FALSE(scene.readBytes(nullptr, 0, "empty.3ds", error));
    EXPECT_EQ(error.offset, 0);
    EXPECT_NE(error.text.find("empty"), std::string::npos);
    EXPECT_FALSE(scene.readFile("/nonexistent/scene.3ds", error));
    EXPECT_EQ(error.file, "/nonexistent/scene.3ds");
    EXPECT_NE(error.text.find("cannot open the file: No such file"), std::string::npos) << error.text;
    LoadError stepped;
    EXPECT_EQ(fixtures::readSceneInSteps(scene, "/nonexistent/scene.3ds", stepped), -1);
    EXPECT_EQ(stepped.text, error.text);
    // A folder opens, and its read fails.
    EXPECT_EQ(fixtures::readSceneInSteps(scene, ::testing::TempDir(), stepped), -1);
    EXPECT_NE(stepped.text.find("cannot read the file"), std::string::npos) << stepped.text;
}

// A file cut anywhere before its end declares more bytes than it holds: every cut is
// refused, at an offset inside what is left.
TEST(MalformedScene, EveryTruncationIsRefusedInsideTheFile)
{
    const std::vector<std::uint8_t> full = sampleBytes();
    for (std::size_t size = 0; size < full.size(); ++size) {
        std::vector<std::uint8_t> bytes(full.begin(), full.begin() + size);
        ::Scene scene;
        LoadError error;
        ASSERT_FALSE(scene.readBytes(bytes.data(), bytes.size(), "cut.3ds", error)) << "cut at " << size << " was read";
        EXPECT_GE(error.offset, 0) << "cut at " << size;
        EXPECT_LE(error.offset, static_cast<long long>(size)) << "cut at " << size;
        EXPECT_FALSE(error.text.empty());
    }
}

TEST(MalformedScene, EveryByteOverwrittenEndsInASceneOrAnError)
{
    const std::vector<std::uint8_t> full = sampleBytes();
    for (std::size_t at = 0; at < full.size(); ++at) {
        for (std::uint8_t value : {std::uint8_t(0x00), std::uint8_t(0xFF), std::uint8_t(0x7F)}) {
            std::vector<std::uint8_t> bytes = full;
            bytes[at] = value;
            ::Scene scene;
            LoadError error;
            if (!scene.readBytes(bytes.data(), bytes.size(), "hit.3ds", error)) {
                EXPECT_LE(error.offset, static_cast<long long>(bytes.size())) << "byte " << at;
            }
        }
    }
}
