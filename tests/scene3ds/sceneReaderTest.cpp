// The walk on well-formed files written by our writer: the worked examples, material and
// light flags, binding, lookups and the chunks 3D packages add.
#include "tests/scene3ds/sceneFixtures.h"

#include "scene3ds/scenePlayback.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace writer3ds;
using fixtures::rkey;
using fixtures::vkey;

namespace {

// The sample scene with the box's position track replaced.
writer3ds::Scene sceneWithBoxPositions(const std::vector<writer3ds::VectorKey>& keys)
{
    writer3ds::Scene description = sampleScene();
    description.keyframer.nodes[0].tracks[0].vectorKeys = keys;
    return description;
}

} // namespace

TEST(SceneReader, ReadsTheSampleSceneWithCountsNamesRangesAndFrames)
{
    ::Scene scene;
    writer3ds::Scene description = sampleScene();
    description.keyframer.currentFrame = 12;
    ASSERT_TRUE(fixtures::readScene(scene, description));
    EXPECT_EQ(scene.nodeCount, 1);
    EXPECT_EQ(scene.lightCount, 1);
    EXPECT_EQ(scene.materialCount, 1);
    EXPECT_EQ(scene.nodes[0].name, "Box");
    EXPECT_EQ(scene.nodes[0].mesh->vertexCount, 8);
    EXPECT_EQ(scene.nodes[0].mesh->faceCount, 12);
    EXPECT_EQ(scene.nodes[0].mesh->texFaceCount, 12);
    EXPECT_EQ(scene.nodes[0].material, &scene.materials[0]);
    EXPECT_EQ(scene.lights[0].name, "Omni01");
    EXPECT_EQ(scene.lights[0].glLight, 0x4000);
    EXPECT_FLOAT_EQ(scene.lights[0].position[3], 1.0f);
    EXPECT_FLOAT_EQ(scene.lights[0].diffuse[3], 1.0f);
    EXPECT_FLOAT_EQ(scene.nearPlane, 1.0f);
    EXPECT_FLOAT_EQ(scene.farPlane, 1000.0f);
    EXPECT_EQ(scene.frameCount, 100);
    EXPECT_EQ(scene.fileFrame, 12);
    ASSERT_TRUE(scene.cameraTrack && scene.targetTrack && scene.fovTrack && scene.rollTrack);
    EXPECT_FLOAT_EQ(scene.cameraTrack->keys[0].value[1], -100.0f);
    EXPECT_FLOAT_EQ(scene.fovTrack->keys[0].value, 45.0f);
    // Texture coordinates follow faces one to one: texFaces is a copy of faces.
    for (int i = 0; i < 36; ++i) EXPECT_EQ(scene.nodes[0].mesh->texFaces[i], scene.nodes[0].mesh->faces[i]);
}

TEST(SceneReader, TangentsOfKeysAtZeroTenFortyAreFiveTwentyThirtyFiveAndTwoKeysGetNone)
{
    ::Scene scene;
    ASSERT_TRUE(fixtures::readScene(scene, sceneWithBoxPositions({vkey(0, 0, 0, 0), vkey(10, 10, 0, 0), vkey(20, 40, 0, 0)})));
    const VectorTrack& track = *scene.nodes[0].posTrack;
    ASSERT_EQ(track.keyCount, 3);
    EXPECT_FLOAT_EQ(track.keys[0].tangent[0], 5.0f);
    EXPECT_FLOAT_EQ(track.keys[1].tangent[0], 20.0f);
    EXPECT_FLOAT_EQ(track.keys[2].tangent[0], 35.0f);

    // Two keys interpolate linearly: no tangents.
    ::Scene two;
    ASSERT_TRUE(fixtures::readScene(two, sceneWithBoxPositions({vkey(0, 3, 0, 0), vkey(10, 40, 0, 0)})));
    for (const ::VectorKey& key : two.nodes[0].posTrack->keys) EXPECT_FLOAT_EQ(key.tangent[0], 0.0f);
}

TEST(SceneReader, QuarterTurnAccumulatesToAboutMinusNinetyPointZeroZeroZeroOneDegreesAboutZ)
{
    writer3ds::Scene description = sampleScene();
    description.keyframer.nodes[0].tracks[1].rotationKeys = {rkey(0, 0.0f, 0, 0, 1), rkey(10, 1.5707963f, 0, 0, 1)};
    ::Scene scene;
    ASSERT_TRUE(fixtures::readScene(scene, description));
    const float* m = scene.nodes[0].rotTrack->keys[1].accumulated;
    // 3.141592 lies below pi, so the angle is slightly more than a quarter turn.
    const double degrees = -90.00001;
    const double radians = degrees * 3.14159265358979323846 / 180.0;
    EXPECT_NEAR(m[0], std::cos(radians), 1e-6);
    EXPECT_NEAR(m[1], std::sin(radians), 1e-6);
    EXPECT_NEAR(m[4], -std::sin(radians), 1e-6);
    EXPECT_NEAR(m[10], 1.0f, 1e-6);
    // The excess over 90 degrees shows in element 0: cos(-90.00001 deg) is about -1.7e-7.
    EXPECT_LT(m[0], 0.0f);
    EXPECT_NEAR(std::atan2(m[1], m[0]) * 180.0 / 3.14159265358979323846, degrees, 2e-5);
}

TEST(SceneReader, FrameNumberSeventyThousandReadsAsFourThousandFourHundredSixtyFour)
{
    ::Scene scene;
    ASSERT_TRUE(fixtures::readScene(scene, sceneWithBoxPositions({vkey(0, 0, 0, 0), vkey(70000, 1, 0, 0)})));
    EXPECT_EQ(scene.nodes[0].posTrack->keys[1].frame, 4464);
}

TEST(SceneReader, HierarchyValuesLinkEachNodeToTheNearestEarlierSmallerOne)
{
    writer3ds::Scene description = sampleScene();
    description.objects.clear();
    const char* names[] = {"A", "B", "C", "D"};
    const std::int16_t hierarchy[] = {-1, 0, 1, 0};
    description.keyframer.nodes.clear();
    for (int i = 0; i < 4; ++i) {
        description.objects.push_back(boxObject(names[i], {0, 0, 0}, {1, 1, 1}, "Red"));
        description.keyframer.nodes.push_back(staticObjectNode(names[i], hierarchy[i], {0, 0, 0}));
    }
    ::Scene scene;
    ASSERT_TRUE(fixtures::readScene(scene, description));
    EXPECT_EQ(scene.nodes[0].parent, nullptr);
    EXPECT_EQ(scene.nodes[1].parent, &scene.nodes[0]);
    EXPECT_EQ(scene.nodes[2].parent, &scene.nodes[1]);
    EXPECT_EQ(scene.nodes[3].parent, &scene.nodes[0]);

    for (Node& node : description.keyframer.nodes) node.hierarchy = -1;
    ::Scene roots;
    ASSERT_TRUE(fixtures::readScene(roots, description));
    for (const SceneNode& node : roots.nodes) EXPECT_EQ(node.parent, nullptr);
}

TEST(SceneReader, TransparencyFiftyGivesOpacityOneHalfAndBlendingAndShininessReadsAsStored)
{
    for (Percent percent : {percentInt(50), percentFloat(50.0f)}) {
        writer3ds::Scene description = sampleScene();
        description.materials[0].transparency = percent;
        description.materials[0].shininess = percent;
        ::Scene scene;
        ASSERT_TRUE(fixtures::readScene(scene, description));
        EXPECT_FLOAT_EQ(scene.materials[0].opacity, 0.5f);
        EXPECT_FLOAT_EQ(scene.nodes[0].mesh->alpha, 0.5f);
        EXPECT_TRUE(scene.nodes[0].mesh->flags & MESH_BLEND);
        EXPECT_FLOAT_EQ(scene.materials[0].shininess, 50.0f);
        EXPECT_FLOAT_EQ(scene.nodes[0].mesh->shininess, 50.0f);
    }
}

TEST(SceneReader, LocalAxesGoIntoRowsAndTheOriginIntoTheLastColumn)
{
    writer3ds::Scene description = sampleScene();
    Object& box = description.objects[0];
    box.localAxes[0] = {1, 0, 0};
    box.localAxes[1] = {0, 0, 1};
    box.localAxes[2] = {0, -1, 0};
    box.origin = {5, 6, 7};
    ::Scene scene;
    ASSERT_TRUE(fixtures::readScene(scene, description));
    const float expected[16] = {1, 0, 0, 0, 0, 0, -1, 0, 0, 1, 0, 0, 5, 6, 7, 1};
    for (int i = 0; i < 16; ++i) EXPECT_FLOAT_EQ(scene.nodes[0].mesh->localMatrix[i], expected[i]) << i;
}

TEST(SceneReader, TextureVertexVIsStoredAsOneMinusVAndUnmappedMeshesKeepNone)
{
    writer3ds::Scene description = sampleScene();
    description.objects[0].texCoords[0] = {0.25f, 0.75f};
    ::Scene scene;
    ASSERT_TRUE(fixtures::readScene(scene, description));
    EXPECT_FLOAT_EQ(scene.nodes[0].mesh->texCoords[0], 0.25f);
    EXPECT_FLOAT_EQ(scene.nodes[0].mesh->texCoords[1], 0.25f);
    EXPECT_EQ(scene.nodes[0].mesh->texCoordCount, 8);

    description.objects[0].texCoords.clear();
    ::Scene unmapped;
    ASSERT_TRUE(fixtures::readScene(unmapped, description));
    EXPECT_EQ(unmapped.nodes[0].mesh->texCoordCount, 0);
    EXPECT_EQ(unmapped.nodes[0].mesh->texCoords, nullptr);
}

TEST(SceneReader, TheLastMaterialGroupNamesTheMaterialAndTheFirstOfThatNameBinds)
{
    writer3ds::Scene description = sampleScene();
    writer3ds::Material blue = description.materials[0];
    blue.name = "Blue";
    description.materials.push_back(blue);
    description.materials.push_back(description.materials[1]);
    description.materials[2].diffuse = colourFloat(0, 0, 1);
    description.objects[0].materialGroups = {{"Red", {0}}, {"Blue", {1}}};
    ::Scene scene;
    ASSERT_TRUE(fixtures::readScene(scene, description));
    EXPECT_EQ(scene.nodes[0].mesh->materialName, "Blue");
    EXPECT_EQ(scene.nodes[0].material, &scene.materials[1]);
    EXPECT_FLOAT_EQ(scene.nodes[0].mesh->diffuse[0], 1.0f);
}

TEST(SceneReader, LightsMakeMeshesLitWithTheMaterialColours)
{
    ::Scene scene;
    ASSERT_TRUE(fixtures::readScene(scene, sampleScene()));
    const Mesh& mesh = *scene.nodes[0].mesh;
    // Cleared and rebuilt from the material: lit, not blended, not yet filled or textured.
    EXPECT_EQ(mesh.flags, MESH_LIT);
    EXPECT_FLOAT_EQ(mesh.ambient[0], 0.1f);
    EXPECT_FLOAT_EQ(mesh.diffuse[0], 1.0f);
    EXPECT_FLOAT_EQ(mesh.diffuse[1], 0.0f);
    EXPECT_FLOAT_EQ(mesh.shininess, 40.0f);
    // The fourth components keep the mesh's defaults.
    EXPECT_FLOAT_EQ(mesh.ambient[3], 0.0f);
    EXPECT_FLOAT_EQ(mesh.diffuse[3], 1.0f);
}

TEST(SceneReader, SceneWithoutLightsLeavesMeshesUnlitWithDefaultColours)
{
    writer3ds::Scene description = sampleScene();
    description.lights.clear();
    description.keyframer.nodes.pop_back();
    ::Scene scene;
    ASSERT_TRUE(fixtures::readScene(scene, description));
    EXPECT_EQ(scene.lightCount, 0);
    EXPECT_TRUE(scene.lights.empty());
    const Mesh& mesh = *scene.nodes[0].mesh;
    EXPECT_EQ(mesh.flags, 0u);
    EXPECT_FLOAT_EQ(mesh.diffuse[1], 1.0f);
    EXPECT_FLOAT_EQ(mesh.shininess, 5.0f);
}

TEST(SceneReader, OpacityMapMakesMeshesBlendWhateverTheOpacity)
{
    writer3ds::Scene description = sampleScene();
    description.materials[0].textureMap = "tex.jpg";
    description.materials[0].opacityMap = "mask.jpg";
    ::Scene scene;
    ASSERT_TRUE(fixtures::readScene(scene, description));
    EXPECT_EQ(scene.materials[0].textureName, "tex.jpg");
    EXPECT_EQ(scene.materials[0].maskName, "mask.jpg");
    EXPECT_FLOAT_EQ(scene.nodes[0].mesh->alpha, 1.0f);
    EXPECT_TRUE(scene.nodes[0].mesh->flags & MESH_BLEND);
    // No texture is made without GL: the walk leaves it to loadTextures.
    EXPECT_FALSE(scene.nodes[0].mesh->flags & MESH_TEXTURED);

    // A texture map alone with full opacity does not blend.
    description.materials[0].opacityMap.clear();
    ::Scene plain;
    ASSERT_TRUE(fixtures::readScene(plain, description));
    EXPECT_FALSE(plain.nodes[0].mesh->flags & MESH_BLEND);
}

TEST(SceneReader, ChunksOutsideTheTableArePassedOverByTheirLength)
{
    // sampleScene writes version, mesh version, master scale and keyframer header chunks;
    // object colour, mapping information and smoothing groups are added here.
    const writer3ds::Object box = sampleScene().objects[0];
    const std::vector<std::uint8_t> bytes = fixtures::wrappedFile(CHUNK_EDITOR, [&box](ChunkWriter& extra) {
        extra.beginChunk(CHUNK_NAMED_OBJECT);
        extra.writeString("Box");
        extra.beginChunk(CHUNK_TRIANGLE_MESH);
        extra.beginChunk(CHUNK_OBJECT_COLOR);
        extra.writeU8(3);
        extra.endChunk();
        writePointArray(extra, box.points);
        extra.beginChunk(CHUNK_MAPPING_INFO);
        for (int i = 0; i < 23; ++i) extra.writeU16(0xABCD);
        extra.endChunk();
        beginFaceArray(extra, box.faces);
        writeSmoothGroups(extra, std::vector<std::uint32_t>(box.faces.size(), 1));
        writeMaterialGroup(extra, "Red", {0, 1});
        extra.endChunk();
        extra.endChunk();
        extra.endChunk();
    });
    ::Scene scene;
    ASSERT_TRUE(fixtures::readScene(scene, bytes));
    ASSERT_EQ(scene.nodeCount, 1);
    EXPECT_EQ(scene.nodes[0].mesh->vertexCount, 8);
    EXPECT_EQ(scene.nodes[0].mesh->faceCount, 12);
    EXPECT_EQ(scene.nodes[0].mesh->materialName, "Red");
}

TEST(SceneReader, KeysWithSplineFlagsReadAsTheSameValues)
{
    writer3ds::Scene description = sampleScene();
    description.keyframer.nodes[0].tracks[0].vectorKeys = {vkey(0, 1, 2, 3), vkey(10, 4, 5, 6), vkey(20, 7, 8, 9)};
    for (std::uint16_t flag : {0x01, 0x02, 0x04, 0x08, 0x10, 0x1F, 0x15}) {
        writer3ds::Scene splined = description;
        for (Node& node : splined.keyframer.nodes) {
            for (Track& track : node.tracks) {
                for (writer3ds::VectorKey& key : track.vectorKeys) key.spline = {flag, {0.1f, 0.2f, 0.3f, 0.4f, 0.5f}};
                for (writer3ds::ScalarKey& key : track.scalarKeys) key.spline = {flag, {9, 9, 9, 9, 9}};
                for (writer3ds::RotationKey& key : track.rotationKeys) key.spline = {flag, {7, 7, 7, 7, 7}};
            }
        }
        ::Scene scene;
        ASSERT_TRUE(fixtures::readScene(scene, splined)) << "flags " << flag;
        const VectorTrack& track = *scene.nodes[0].posTrack;
        ASSERT_EQ(track.keyCount, 3);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(track.keys[i].frame, 10 * i);
            for (int c = 0; c < 3; ++c) EXPECT_FLOAT_EQ(track.keys[i].value[c], 3 * i + c + 1);
        }
        EXPECT_FLOAT_EQ(scene.fovTrack->keys[0].value, 45.0f);
        EXPECT_FLOAT_EQ(scene.lights[0].colorTrack->keys[0].value[0], 1.0f);
    }
}

TEST(SceneReader, LightTracksArePlacedByChunkIdInEitherOrder)
{
    writer3ds::Scene description = sampleScene();
    Node& light = description.keyframer.nodes[3];
    for (int swap = 0; swap < 2; ++swap) {
        if (swap) std::swap(light.tracks[0], light.tracks[1]);
        ::Scene scene;
        ASSERT_TRUE(fixtures::readScene(scene, description));
        EXPECT_FLOAT_EQ(scene.lights[0].posTrack->keys[0].value[1], -100.0f) << "swap " << swap;
        EXPECT_FLOAT_EQ(scene.lights[0].posTrack->keys[0].value[2], 50.0f);
        EXPECT_FLOAT_EQ(scene.lights[0].colorTrack->keys[0].value[0], 1.0f);
    }
}

TEST(SceneReader, MeshesHoldUpTo65535VerticesAndFaces)
{
    writer3ds::Scene description = sampleScene();
    writer3ds::Object& strip = description.objects[0];
    strip.points.clear();
    strip.faces.clear();
    strip.texCoords.clear();
    for (int i = 0; i < 65535; ++i) {
        strip.points.push_back({static_cast<float>(i % 256), static_cast<float>(i / 256), 0.0f});
        strip.faces.push_back({static_cast<std::uint16_t>(i), static_cast<std::uint16_t>((i + 1) % 65535), 65534});
    }
    ::Scene scene;
    ASSERT_TRUE(fixtures::readScene(scene, description));
    const Mesh& mesh = *scene.nodes[0].mesh;
    ASSERT_EQ(mesh.vertexCount, 65535);
    ASSERT_EQ(mesh.faceCount, 65535);
    // Indices above 32767 keep their value: the last vertex, at (254, 255, 0).
    EXPECT_EQ(mesh.faces[3 * 65534 + 2], 65534);
    EXPECT_FLOAT_EQ(mesh.positions[0][3 * mesh.faces[3 * 40000] + 1], 40000 / 256);
    float low[3], high[3];
    ASSERT_TRUE(sceneBounds(scene, 0, nullptr, low, high));
    EXPECT_FLOAT_EQ(high[1], 255.0f);
}

TEST(SceneReader, SetMeshFlagsOrsIntoEveryMeshAndLookupsOfAMissingNameChangeNothing)
{
    writer3ds::Scene description = sampleScene();
    description.objects.push_back(boxObject("Ramka", {0, 0, 0}, {1, 1, 1}, "Red"));
    description.keyframer.nodes.push_back(staticObjectNode("Ramka", -1, {0, 0, 0}));
    ::Scene scene;
    ASSERT_TRUE(fixtures::readScene(scene, description));
    EXPECT_EQ(scene.setMeshFlags(MESH_FILL), 2);
    EXPECT_TRUE(scene.setMeshFlagsByName("Ramka", MESH_CULL | MESH_DEPTH_WRITE));
    EXPECT_EQ(scene.nodes[0].mesh->flags, MESH_LIT | MESH_FILL);
    EXPECT_EQ(scene.nodes[1].mesh->flags, MESH_LIT | MESH_FILL | MESH_CULL | MESH_DEPTH_WRITE);
    EXPECT_EQ(scene.findNode("Ramka"), 1);
    EXPECT_EQ(scene.findNode("Box"), 0);
    // A missing name (names match whole and case-sensitively) is reported and changes nothing.
    EXPECT_EQ(scene.findNode("Bo"), -1);
    EXPECT_FALSE(scene.setMeshFlagsByName("ramka", MESH_CULL));
    EXPECT_EQ(scene.nodes[1].mesh->flags, MESH_LIT | MESH_FILL | MESH_CULL | MESH_DEPTH_WRITE);
}

TEST(SceneReader, MaterialChunksMissingFromABlockLeaveDefaultsAndSaySo)
{
    writer3ds::Scene description = sampleScene();
    description.materials[0].ambient.present = false;
    description.materials[0].transparency.present = false;
    ::Scene scene;
    ASSERT_TRUE(fixtures::readScene(scene, description));
    const ::Material& material = scene.materials[0];
    EXPECT_FALSE(material.presentChunks & MATERIAL_HAS_AMBIENT);
    EXPECT_FALSE(material.presentChunks & MATERIAL_HAS_TRANSPARENCY);
    EXPECT_TRUE(material.presentChunks & MATERIAL_HAS_DIFFUSE);
    EXPECT_FLOAT_EQ(material.opacity, 1.0f);
}

TEST(SceneReader, ColourBytesAreFractionsOf255AndUnknownKindsLeaveValuesUnchanged)
{
    const std::vector<std::uint8_t> bytes = fixtures::wrappedFile(CHUNK_EDITOR, [](ChunkWriter& writer) {
        writer.beginChunk(CHUNK_MATERIAL);
        writeMaterialName(writer, "Odd");
        writeMaterialColor24(writer, CHUNK_AMBIENT, 255, 128, 0);
        writeMaterialColorFloat(writer, CHUNK_DIFFUSE, {0.25f, 0.5f, 0.75f});
        writer.beginChunk(CHUNK_DIFFUSE);
        writer.beginChunk(CHUNK_LIN_COLOR_24);
        writer.writeBytes("\x01\x02\x03", 3);
        writer.endChunk();
        writer.endChunk();
        writeMaterialPercentInt(writer, CHUNK_TRANSPARENCY, 20);
        writer.beginChunk(CHUNK_TRANSPARENCY);
        writer.beginChunk(0x0032);
        writer.writeU16(99);
        writer.endChunk();
        writer.endChunk();
        writer.endChunk();
    });
    ::Scene scene;
    ASSERT_TRUE(fixtures::readScene(scene, bytes));
    EXPECT_FLOAT_EQ(scene.materials[0].ambient[0], 1.0f);
    EXPECT_NEAR(scene.materials[0].ambient[1], 0.50196f, 1e-5);
    EXPECT_FLOAT_EQ(scene.materials[0].ambient[2], 0.0f);
    EXPECT_FLOAT_EQ(scene.materials[0].diffuse[1], 0.5f);
    EXPECT_FLOAT_EQ(scene.materials[0].opacity, 0.8f);
}
