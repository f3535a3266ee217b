// The second layer of loading: each problem playback would trip over is named with its
// object, node or material; the third-party corpus reads or is refused cleanly.
#include "tests/scene3ds/sceneFixtures.h"

#include "scene3ds/playbackCheck.h"

#include <gtest/gtest.h>

#include <string>

using namespace writer3ds;

namespace {

// The check's message for a scene that reads; fails the test when the check passes.
std::string checkProblem(const writer3ds::Scene& description, const std::vector<std::string>& required = {})
{
    ::Scene scene;
    EXPECT_TRUE(fixtures::readScene(scene, description));
    LoadError error;
    EXPECT_FALSE(checkScenePlayback(scene, required, error)) << "the check passed";
    EXPECT_EQ(error.file, "fixture.3ds");
    return error.text;
}

Node& nodeNamed(writer3ds::Scene& description, const std::string& name)
{
    for (Node& node : description.keyframer.nodes) {
        if (node.name == name) return node;
    }
    throw std::runtime_error("no node " + name);
}

} // namespace

TEST(PlaybackCheck, SampleScenePassesWithItsNodeNames)
{
    ::Scene scene;
    ASSERT_TRUE(fixtures::readScene(scene, sampleScene()));
    LoadError error;
    EXPECT_TRUE(checkScenePlayback(scene, {"Box"}, error)) << formatLoadError(error);
}

TEST(PlaybackCheck, MeshWithoutMaterialGroupNamesTheObject)
{
    writer3ds::Scene description = sampleScene();
    description.objects[0].materialGroups.clear();
    EXPECT_EQ(checkProblem(description), "object \"Box\" has no material group");
}

TEST(PlaybackCheck, MaterialGroupNamingNoMaterialNamesBoth)
{
    writer3ds::Scene description = sampleScene();
    description.objects[0].materialGroups[0].materialName = "Green";
    EXPECT_EQ(checkProblem(description), "object \"Box\" names material \"Green\", which the file does not define");
}

TEST(PlaybackCheck, TexturedMeshWithTooFewMappingCoordinatesNamesObjectAndMaterial)
{
    writer3ds::Scene description = sampleScene();
    description.materials[0].textureMap = "tex.jpg";
    description.objects[0].texCoords.resize(5);
    EXPECT_EQ(checkProblem(description),
              "object \"Box\" is textured by material \"Red\" but has 5 mapping coordinates for 8 vertices");
}

TEST(PlaybackCheck, ObjectNodeNamingNoObjectIsReportedAtTheNode)
{
    writer3ds::Scene description = sampleScene();
    Node dummy = staticObjectNode("$$$DUMMY", -1, {0, 0, 0});
    dummy.instanceName = "Helper";
    description.keyframer.nodes.push_back(dummy);
    const std::vector<std::uint8_t> bytes = sceneBytes(description);
    ::Scene scene;
    ASSERT_TRUE(fixtures::readScene(scene, bytes));
    LoadError error;
    EXPECT_FALSE(checkScenePlayback(scene, {}, error));
    EXPECT_EQ(error.text, "object node \"$$$DUMMY\" names no object of the file");
    EXPECT_EQ(error.chunkId, CHUNK_OBJECT_NODE);
    EXPECT_EQ(error.offset, fixtures::chunkOffset(bytes, CHUNK_OBJECT_NODE, 1));
}

TEST(PlaybackCheck, LightNodeNamingNoLightIsReported)
{
    writer3ds::Scene description = sampleScene();
    nodeNamed(description, "Omni01").name = "Omni02";
    EXPECT_EQ(checkProblem(description), "light node \"Omni02\" names no light of the file");
}

TEST(PlaybackCheck, MoreLightsThanGlOffersAreReported)
{
    writer3ds::Scene description = sampleScene();
    for (int i = 2; i <= 9; ++i) {
        writer3ds::Light light = description.lights[0];
        light.name = "Omni0" + std::to_string(i);
        description.lights.push_back(light);
        writer3ds::Node node = description.keyframer.nodes[3];
        node.name = light.name;
        description.keyframer.nodes.push_back(node);
    }
    EXPECT_EQ(checkProblem(description), "light \"Omni09\" is the ninth; playback drives at most 8 lights");
    description.lights.pop_back();
    description.keyframer.nodes.pop_back();
    ::Scene scene;
    ASSERT_TRUE(fixtures::readScene(scene, description));
    LoadError error;
    EXPECT_TRUE(checkScenePlayback(scene, {}, error)) << formatLoadError(error);
}

TEST(PlaybackCheck, MeshObjectWithoutKeyframerNodeIsReported)
{
    writer3ds::Scene description = sampleScene();
    description.objects.push_back(boxObject("Lonely", {0, 0, 0}, {1, 1, 1}, "Red"));
    EXPECT_EQ(checkProblem(description), "object \"Lonely\" has no keyframer node");
}

TEST(PlaybackCheck, HierarchyValueWithoutAnEarlierSmallerOneIsReported)
{
    writer3ds::Scene description = sampleScene();
    nodeNamed(description, "Box").hierarchy = 0;
    EXPECT_EQ(checkProblem(description),
              "node \"Box\" has hierarchy value 0 but no earlier node has a smaller one to be its parent");
}

TEST(PlaybackCheck, TrackWithoutKeysNamesNodeAndTrack)
{
    writer3ds::Scene description = sampleScene();
    nodeNamed(description, "Box").tracks[2].vectorKeys.clear();
    EXPECT_EQ(checkProblem(description), "node \"Box\": its scale track has no keys");

    description = sampleScene();
    nodeNamed(description, "Omni01").tracks[1].vectorKeys.clear();
    EXPECT_EQ(checkProblem(description), "light \"Omni01\": its colour track has no keys");
}

TEST(PlaybackCheck, MissingTrackNamesNodeAndTrack)
{
    writer3ds::Scene description = sampleScene();
    Node& box = nodeNamed(description, "Box");
    box.tracks.erase(box.tracks.begin() + 1);
    EXPECT_EQ(checkProblem(description), "node \"Box\" has no rotation track");
}

TEST(PlaybackCheck, KeysOutOfOrderAreReported)
{
    writer3ds::Scene description = sampleScene();
    writer3ds::VectorKey first, second, third;
    second.frame = 20;
    third.frame = 20;
    nodeNamed(description, "Box").tracks[0].vectorKeys = {first, second, third};
    EXPECT_EQ(checkProblem(description), "node \"Box\": position key 2 at frame 20 does not come after frame 20");
}

TEST(PlaybackCheck, ZeroFirstScaleKeyIsReported)
{
    writer3ds::Scene description = sampleScene();
    nodeNamed(description, "Box").tracks[2].vectorKeys[0].value = {1, 0, 1};
    EXPECT_NE(checkProblem(description).find("node \"Box\": its first scale key has a zero component"),
              std::string::npos);
}

TEST(PlaybackCheck, SceneWithoutCameraTargetFovOrRollIsReported)
{
    writer3ds::Scene description = sampleScene();
    description.keyframer.nodes.erase(description.keyframer.nodes.begin() + 1);
    EXPECT_EQ(checkProblem(description), "the scene has no camera node 0xB003");

    description = sampleScene();
    description.keyframer.nodes.erase(description.keyframer.nodes.begin() + 2);
    EXPECT_EQ(checkProblem(description), "the scene has no camera target node 0xB004");

    description = sampleScene();
    nodeNamed(description, "Camera01").tracks.pop_back();
    EXPECT_EQ(checkProblem(description), "camera node \"Camera01\" has no roll track");

    description = sampleScene();
    Node& camera = nodeNamed(description, "Camera01");
    camera.tracks.erase(camera.tracks.begin() + 1);
    EXPECT_EQ(checkProblem(description), "camera node \"Camera01\" has no field-of-view track");
}

TEST(PlaybackCheck, FrameSegmentEndOfZeroOrLessIsReported)
{
    writer3ds::Scene description = sampleScene();
    description.keyframer.endFrame = 0;
    EXPECT_EQ(checkProblem(description),
              "the frame segment ends at frame 0; playback wraps modulo the end frame and needs it above 0");
    // 65536 keeps a low half of 0.
    description.keyframer.endFrame = 65536;
    EXPECT_NE(checkProblem(description).find("ends at frame 0"), std::string::npos);
}

TEST(PlaybackCheck, NodeNamesTheCallerNeedsMustExist)
{
    EXPECT_EQ(checkProblem(sampleScene(), {"Box", "rdzen"}), "no node is named \"rdzen\"");
}

TEST(PlaybackCheck, CorpusFilesReadAndAreRefusedWithAMessage)
{
    const std::string directory = std::string(KESU_SOURCE_DIR) + "/tests/data/corpus3ds/";
    const char* readable[] = {"CameraRollAnimWithChildObject.3ds", "RotatingCube.3DS", "TargetCameraAnim.3ds",
                              "cube_with_diffuse_texture.3DS", "cubes_with_alpha.3DS", "test1.3ds", "fels.3ds"};
    for (const char* name : readable) {
        ::Scene scene;
        LoadError error;
        EXPECT_TRUE(scene.readFile(directory + name, error)) << formatLoadError(error);
        // None of them is made for the demo: each fails the playback check with a message.
        EXPECT_FALSE(checkScenePlayback(scene, {}, error)) << name;
        EXPECT_FALSE(error.text.empty());
    }
}

TEST(PlaybackCheck, CorpusDetailsComeThroughTheWalk)
{
    const std::string directory = std::string(KESU_SOURCE_DIR) + "/tests/data/corpus3ds/";
    ::Scene rotating;
    LoadError error;
    ASSERT_TRUE(rotating.readFile(directory + "RotatingCube.3DS", error)) << formatLoadError(error);
    ASSERT_TRUE(rotating.nodes[0].rotTrack);
    EXPECT_EQ(rotating.nodes[0].rotTrack->keyCount, 182);

    ::Scene child;
    ASSERT_TRUE(child.readFile(directory + "CameraRollAnimWithChildObject.3ds", error)) << formatLoadError(error);
    ASSERT_TRUE(child.rollTrack);
    EXPECT_EQ(child.rollTrack->keyCount, 2);

    ::Scene alpha;
    ASSERT_TRUE(alpha.readFile(directory + "cubes_with_alpha.3DS", error)) << formatLoadError(error);
    EXPECT_EQ(alpha.materialCount, 5);
    EXPECT_NEAR(alpha.materials[4].opacity, 0.83f, 1e-6);
    EXPECT_TRUE(alpha.nodes[4].mesh->flags & MESH_BLEND);
}
