// The .3ds writer: lengths patched on close, little-endian fields, key spline fields, and
// descriptions that the reader reads back unchanged.
#include "tests/scene3ds/sceneFixtures.h"

#include <gtest/gtest.h>

using namespace writer3ds;

TEST(Writer3ds, EndChunkPatchesTheLengthOfNestedChunksHeaderIncluded)
{
    ChunkWriter writer;
    writer.beginChunk(0x1234);
    writer.beginChunk(0xABCD);
    writer.writeU16(0xBEEF);
    writer.endChunk();
    writer.writeU8(7);
    EXPECT_EQ(writer.openChunks(), 1);
    writer.endChunk();
    // 6 + 8 + 1 = 15 bytes in all: the outer length counts its header and the inner chunk.
    const std::vector<std::uint8_t> expected = {0x34, 0x12, 15, 0, 0, 0, 0xCD, 0xAB, 8, 0, 0, 0, 0xEF, 0xBE, 7};
    EXPECT_EQ(writer.bytes(), expected);
    EXPECT_EQ(writer.openChunks(), 0);
}

TEST(Writer3ds, FieldsAreLittleEndianAndStringsZeroTerminated)
{
    ChunkWriter writer;
    writer.writeU32(0x01020304);
    writer.writeI16(-2);
    writer.writeFloat(1.0f);
    writer.writeString("ab");
    const std::vector<std::uint8_t> expected = {4, 3, 2, 1, 0xFE, 0xFF, 0, 0, 0x80, 0x3F, 'a', 'b', 0};
    EXPECT_EQ(writer.bytes(), expected);
}

TEST(Writer3ds, MapChunkHoldsStrengthThenFileName)
{
    ChunkWriter writer;
    writeMap(writer, CHUNK_TEXTURE_MAP, "t.jpg");
    const std::vector<std::uint8_t>& bytes = writer.bytes();
    ASSERT_EQ(bytes.size(), 6u + 8u + 6u + 6u);
    EXPECT_EQ(bytes[6], 0x30);     // percentage sub-chunk first
    EXPECT_EQ(bytes[14], 0x00);    // then 0xA300, little-endian
    EXPECT_EQ(bytes[15], 0xA3);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[20])), "t.jpg");
}

TEST(Writer3ds, DescriptionReadsBackThroughTheSceneReader)
{
    writer3ds::Scene description = sampleScene();
    description.objects.push_back(quadObject("Floor", -50, -50, 50, 50, -10, "Red"));
    description.keyframer.nodes.push_back(staticObjectNode("Floor", -1, {0, 0, -10}));
    ::Scene scene;
    ASSERT_TRUE(fixtures::readScene(scene, description));
    ASSERT_EQ(scene.nodeCount, 2);
    const Mesh& floor = *scene.nodes[1].mesh;
    EXPECT_EQ(floor.vertexCount, 4);
    EXPECT_EQ(floor.faceCount, 2);
    EXPECT_FLOAT_EQ(floor.positions[0][3 * 2 + 0], 50.0f);
    EXPECT_FLOAT_EQ(floor.positions[0][3 * 2 + 2], -10.0f);
    // The quad faces +z.
    EXPECT_FLOAT_EQ(floor.faceNormals[0][2], 1.0f);
    EXPECT_EQ(floor.localMatrix[14], -10.0f);
    EXPECT_FLOAT_EQ(scene.nodes[1].posTrack->keys[0].value[2], -10.0f);
}

TEST(Writer3ds, SaveFileReportsAPathThatCannotBeWritten)
{
    std::string error;
    EXPECT_FALSE(saveFile("/nonexistent/folder/x.3ds", {1, 2, 3}, error));
    EXPECT_NE(error.find("/nonexistent/folder/x.3ds"), std::string::npos);
}
