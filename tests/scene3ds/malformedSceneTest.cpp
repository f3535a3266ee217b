// The walk on damaged files: each kind of malformed bytes stops it with the offset and
// chunk of the offending item, and no damage makes it read outside the buffer.
#include "tests/scene3ds/sceneFixtures.h"

#include <gtest/gtest.h>

#include <string>

using namespace writer3ds;
using fixtures::chunkOffset;
using fixtures::readError;
using fixtures::wrappedFile;

namespace {

std::vector<std::uint8_t> sampleBytes() { return sceneBytes(sampleScene()); }

::testing::AssertionResult mentions(const LoadError& error, const std::string& text)
{
    if (error.text.find(text) != std::string::npos) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "\"" << formatLoadError(error) << "\" does not mention \"" << text << "\"";
}

// The read must fail at this offset in this chunk, with a message mentioning the text.
void expectRefused(const std::vector<std::uint8_t>& bytes, long long offset, int chunkId, const std::string& text)
{
    const LoadError error = readError(bytes);
    EXPECT_EQ(error.offset, offset);
    EXPECT_EQ(error.chunkId, chunkId);
    EXPECT_TRUE(mentions(error, text));
}

} // namespace

TEST(MalformedScene, EmptyFileIsRefusedAtByteZero)
{
    LoadError error = readError({});
    EXPECT_EQ(error.offset, 0);
    EXPECT_TRUE(mentions(error, "empty"));
}

TEST(MalformedScene, MissingFileIsReportedByName)
{
    ::Scene scene;
    LoadError error;
    EXPECT_FALSE(scene.readFile("/nonexistent/scene.3ds", error));
    EXPECT_EQ(error.file, "/nonexistent/scene.3ds");
    EXPECT_TRUE(mentions(error, "cannot be opened"));
}

TEST(MalformedScene, ChunkLengthBelowSixNamesTheChunk)
{
    std::vector<std::uint8_t> bytes = sampleBytes();
    const long long points = chunkOffset(bytes, CHUNK_POINT_ARRAY);
    fixtures::putU32(bytes, points + 2, 5);
    expectRefused(bytes, points, CHUNK_POINT_ARRAY, "length of 5 bytes");
}

TEST(MalformedScene, ChunkPastItsParentsEndNamesTheParent)
{
    std::vector<std::uint8_t> bytes = sampleBytes();
    const long long points = chunkOffset(bytes, CHUNK_POINT_ARRAY);
    const long long mesh = chunkOffset(bytes, CHUNK_TRIANGLE_MESH);
    const std::uint32_t meshLength = bytes[mesh + 2] | (bytes[mesh + 3] << 8);
    fixtures::putU32(bytes, points + 2, static_cast<std::uint32_t>(mesh + meshLength - points + 1));
    expectRefused(bytes, points, CHUNK_POINT_ARRAY,
                  "its parent 0x4100 ends at byte " + std::to_string(mesh + meshLength));
}

TEST(MalformedScene, TruncatedFileNamesTheChunkThatPassesTheEnd)
{
    std::vector<std::uint8_t> bytes = sampleBytes();
    bytes.resize(bytes.size() - 10);
    expectRefused(bytes, 0, CHUNK_MAIN, "the file ends at byte " + std::to_string(bytes.size()));
}

TEST(MalformedScene, BytesAfterTheLastChunkTooFewForAHeaderAreReported)
{
    std::vector<std::uint8_t> bytes = sampleBytes();
    const std::size_t end = bytes.size();
    bytes.insert(bytes.end(), {1, 2, 3});
    expectRefused(bytes, static_cast<long long>(end), -1, "needs 6 bytes");
}

TEST(MalformedScene, NameLongerThan255BytesIsReportedAtItsStart)
{
    writer3ds::Scene description = sampleScene();
    description.objects[0].name = std::string(256, 'x');
    std::vector<std::uint8_t> bytes = sceneBytes(description);
    const long long object = chunkOffset(bytes, CHUNK_NAMED_OBJECT);
    expectRefused(bytes, object + 6, CHUNK_NAMED_OBJECT, "longer than 255");

    description.objects[0].name = std::string(255, 'x');
    description.keyframer.nodes[0].name = description.objects[0].name;
    ::Scene scene;
    EXPECT_TRUE(fixtures::readScene(scene, description));
}

TEST(MalformedScene, NameWithoutTerminatorIsReported)
{
    std::vector<std::uint8_t> bytes = wrappedFile(CHUNK_EDITOR, [](ChunkWriter& writer) {
        writer.beginChunk(CHUNK_NAMED_OBJECT);
        writer.writeBytes("Box", 3);
        writer.endChunk();
    });
    expectRefused(bytes, 12 + 6, CHUNK_NAMED_OBJECT, "no terminating zero byte");
}

TEST(MalformedScene, CountAbove32767IsReportedAtTheCount)
{
    std::vector<std::uint8_t> bytes = sampleBytes();
    const long long points = chunkOffset(bytes, CHUNK_POINT_ARRAY);
    fixtures::putU16(bytes, points + 6, 40000);
    expectRefused(bytes, points + 6, CHUNK_POINT_ARRAY, "point count 40000 is above 32767");
}

TEST(MalformedScene, CountLargerThanItsChunkCanHoldIsRefusedBeforeAllocating)
{
    std::vector<std::uint8_t> bytes = sampleBytes();
    const long long faces = chunkOffset(bytes, CHUNK_FACE_ARRAY);
    fixtures::putU16(bytes, faces + 6, 32767);
    expectRefused(bytes, faces + 6, CHUNK_FACE_ARRAY, "face count 32767 needs 262136 bytes");
}

TEST(MalformedScene, FaceIndexNotBelowTheVertexCountIsReportedAtTheFace)
{
    writer3ds::Scene description = sampleScene();
    description.objects[0].faces[3].c = 8;
    std::vector<std::uint8_t> bytes = sceneBytes(description);
    const long long faces = chunkOffset(bytes, CHUNK_FACE_ARRAY);
    expectRefused(bytes, faces + 8 + 8 * 3, CHUNK_FACE_ARRAY, "face 3 names vertex 8 but the mesh has 8 vertices");
}

TEST(MalformedScene, TrackWithFewerKeysThanItsCountIsReported)
{
    std::vector<std::uint8_t> bytes = sampleBytes();
    const long long track = chunkOffset(bytes, CHUNK_POSITION_TRACK);
    fixtures::putU32(bytes, track + 16, 3);
    expectRefused(bytes, track + 16, CHUNK_POSITION_TRACK, "key count 3 needs at least 54 bytes");
}

TEST(MalformedScene, KeyCountAbove32767IsReported)
{
    std::vector<std::uint8_t> bytes = sampleBytes();
    const long long track = chunkOffset(bytes, CHUNK_ROTATION_TRACK);
    fixtures::putU32(bytes, track + 16, 70000);
    expectRefused(bytes, track + 16, CHUNK_ROTATION_TRACK, "key count 70000 is above 32767");
}

TEST(MalformedScene, TrackChunkShorterThanItsHeaderFieldsIsReported)
{
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
    expectRefused(bytes, static_cast<long long>(track + 6), CHUNK_FOV_TRACK,
                  "the track flags and range needs 10 bytes");
}

TEST(MalformedScene, KeyWithSplineFieldsPastTheChunkIsReported)
{
    writer3ds::Scene description = sampleScene();
    description.keyframer.nodes[1].tracks[1].scalarKeys[0].spline.flags = 0x1F;
    std::vector<std::uint8_t> bytes = sceneBytes(description);
    const long long track = chunkOffset(bytes, CHUNK_FOV_TRACK);
    const std::uint32_t length = bytes[track + 2] | (bytes[track + 3] << 8);
    std::vector<long long> enclosing;
    for (std::uint16_t id : {CHUNK_MAIN, CHUNK_KEYFRAMER, CHUNK_CAMERA_NODE, CHUNK_FOV_TRACK}) {
        enclosing.push_back(chunkOffset(bytes, id));
    }
    // Cut the key's last spline field and its value, 8 bytes, and shorten every chunk around
    // them to match, so the track holds four of the five spline fields its flags announce.
    bytes.erase(bytes.begin() + track + length - 8, bytes.begin() + track + length);
    for (long long at : enclosing) {
        const std::uint32_t old = bytes[at + 2] | (bytes[at + 3] << 8) | (bytes[at + 4] << 16);
        fixtures::putU32(bytes, at + 2, old - 8);
    }
    expectRefused(bytes, track + length - 8, CHUNK_FOV_TRACK, "a spline field of the key needs 4 bytes");
}

TEST(MalformedScene, NodeHeaderShorterThanItsFieldsIsReported)
{
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
    expectRefused(bytes, 12 + 6 + 8 + 6 + 4 + 2, CHUNK_NODE_HEADER, "second flag word needs 2 bytes");
}

TEST(MalformedScene, NodeWithoutItsHeaderIsReportedAtTheNode)
{
    std::vector<std::uint8_t> bytes = wrappedFile(CHUNK_KEYFRAMER, [](ChunkWriter& writer) {
        writer.beginChunk(CHUNK_LIGHT_NODE);
        writeNodeId(writer, 0);
        writer.endChunk();
    });
    expectRefused(bytes, 12, CHUNK_LIGHT_NODE, "no node header chunk 0xB010");
}

TEST(MalformedScene, FrameChunksShorterThanTheirFieldsAreReported)
{
    std::vector<std::uint8_t> bytes = wrappedFile(CHUNK_KEYFRAMER, [](ChunkWriter& writer) {
        writer.beginChunk(CHUNK_FRAME_SEGMENT);
        writer.writeU32(0);
        writer.writeU16(100);
        writer.endChunk();
    });
    expectRefused(bytes, 12 + 10, CHUNK_FRAME_SEGMENT, "end frame needs 4 bytes");
}

TEST(MalformedScene, CameraShorterThanItsThirtyTwoBytesIsReported)
{
    std::vector<std::uint8_t> bytes = wrappedFile(CHUNK_EDITOR, [](ChunkWriter& writer) {
        writer.beginChunk(CHUNK_NAMED_OBJECT);
        writer.writeString("Camera01");
        writer.beginChunk(CHUNK_CAMERA);
        writer.writeVec3({0, 0, 0});
        writer.endChunk();
        writer.endChunk();
    });
    expectRefused(bytes, 12 + 6 + 9 + 6, CHUNK_CAMERA, "needs 32 bytes");
}

TEST(MalformedScene, MaterialChunkOutsideAnyMaterialBlockIsReported)
{
    std::size_t at = 0;
    std::vector<std::uint8_t> bytes = wrappedFile(CHUNK_EDITOR, [&at](ChunkWriter& writer) {
        at = writer.size();
        writeMaterialColorFloat(writer, CHUNK_DIFFUSE, {1, 0, 0});
    });
    expectRefused(bytes, static_cast<long long>(at), CHUNK_DIFFUSE, "no material block 0xAFFF");
}

TEST(MalformedScene, ColourChunkWithoutItsSubChunkIsReported)
{
    std::size_t at = 0;
    std::vector<std::uint8_t> bytes = wrappedFile(CHUNK_EDITOR, [&at](ChunkWriter& writer) {
        writer.beginChunk(CHUNK_MATERIAL);
        writeMaterialName(writer, "M");
        at = writer.size();
        writer.beginChunk(CHUNK_AMBIENT);
        writer.endChunk();
        writer.endChunk();
    });
    expectRefused(bytes, static_cast<long long>(at), CHUNK_AMBIENT, "holds no colour sub-chunk");
}

TEST(MalformedScene, MapWithoutAFileNameChunkIsReported)
{
    std::size_t at = 0;
    std::vector<std::uint8_t> bytes = wrappedFile(CHUNK_EDITOR, [&at](ChunkWriter& writer) {
        writer.beginChunk(CHUNK_MATERIAL);
        writeMaterialName(writer, "M");
        at = writer.size();
        writer.beginChunk(CHUNK_TEXTURE_MAP);
        writePercentIntChunk(writer, 100);
        writer.endChunk();
        writer.endChunk();
    });
    expectRefused(bytes, static_cast<long long>(at), CHUNK_TEXTURE_MAP, "no map file name chunk 0xA300");
}

TEST(MalformedScene, MeshInsideAChunkThatHoldsNoObjectsIsReported)
{
    std::size_t at = 0;
    std::vector<std::uint8_t> bytes = wrappedFile(CHUNK_EDITOR, [&at](ChunkWriter& writer) {
        writer.beginChunk(CHUNK_MATERIAL);
        writeMaterialName(writer, "M");
        at = writer.size();
        writer.beginChunk(CHUNK_TRIANGLE_MESH);
        writer.endChunk();
        writer.endChunk();
    });
    expectRefused(bytes, static_cast<long long>(at), CHUNK_TRIANGLE_MESH, "holds no objects");
}

TEST(MalformedScene, EveryTruncationFailsInsideTheFileOrReads)
{
    const std::vector<std::uint8_t> full = sampleBytes();
    for (std::size_t size = 0; size < full.size(); ++size) {
        std::vector<std::uint8_t> bytes(full.begin(), full.begin() + size);
        ::Scene scene;
        LoadError error;
        if (!scene.readBytes(bytes.data(), bytes.size(), "cut.3ds", error)) {
            EXPECT_LE(error.offset, static_cast<long long>(size)) << "cut at " << size;
            EXPECT_FALSE(error.text.empty());
        }
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
