// The second layer of loading: what any scene needs to be drawn safely. Each problem
// playback would trip over is named with its object, node or light; what real modelling
// tools write without breaking playback (no material group, dummies, static objects,
// lights and cameras without nodes, no camera at all) passes.
#include "tests/scene3ds/sceneFixtures.h"

#include "scene3ds/playbackCheck.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

using namespace writer3ds;

namespace {

using Change = std::function<void(writer3ds::Scene&)>;

Node& nodeNamed(writer3ds::Scene& description, const std::string& name)
{
    for (Node& node : description.keyframer.nodes) {
        if (node.name == name) return node;
    }
    throw std::runtime_error("no node " + name);
}

void addLights(writer3ds::Scene& description, int count)
{
    for (int i = 2; i < 2 + count; ++i) {
        writer3ds::Light light = description.lights[0];
        light.name = "Omni" + std::to_string(i);
        description.lights.push_back(light);
        writer3ds::Node node = nodeNamed(description, "Omni01");
        node.name = light.name;
        description.keyframer.nodes.push_back(node);
    }
}

// The check's verdict on the sample scene after the change: "" when it passes.
std::string verdict(const Change& change, const std::vector<std::string>& required = {})
{
    writer3ds::Scene description = sampleScene();
    change(description);
    ::Scene scene;
    EXPECT_TRUE(fixtures::readScene(scene, description));
    LoadError error;
    if (checkScenePlayback(scene, required, error)) return "";
    EXPECT_EQ(error.file, "fixture.3ds");
    return error.text;
}

} // namespace

TEST(PlaybackCheck, EachProblemIsNamedWithItsOwner)
{
    const std::vector<std::tuple<const char*, Change, std::string>> problems = {
        {"partial mapping on a textured mesh",
         [](writer3ds::Scene& d) {
             d.materials[0].textureMap = "tex.jpg";
             d.objects[0].texCoords.resize(5);
         },
         "object \"Box\" is textured by material \"Red\" but has 5 mapping coordinates for 8 vertices"},
        {"track without keys", [](writer3ds::Scene& d) { nodeNamed(d, "Box").tracks[2].vectorKeys.clear(); },
         "node \"Box\": its scale track has no keys"},
        {"missing track", [](writer3ds::Scene& d) { nodeNamed(d, "Box").tracks.erase(nodeNamed(d, "Box").tracks.begin() + 1); },
         "node \"Box\" has no rotation track"},
        {"keys out of order",
         [](writer3ds::Scene& d) {
             nodeNamed(d, "Box").tracks[0].vectorKeys = {fixtures::vkey(0, 0, 0, 0), fixtures::vkey(20, 0, 0, 0),
                                                         fixtures::vkey(20, 0, 0, 0)};
         },
         "node \"Box\": position key 2 at frame 20 does not come after frame 20"},
        {"light keys out of order",
         [](writer3ds::Scene& d) {
             nodeNamed(d, "Omni01").tracks[1].vectorKeys = {fixtures::vkey(5, 1, 1, 1), fixtures::vkey(2, 1, 1, 1)};
         },
         "light \"Omni01\": colour key 1 at frame 2 does not come after frame 5"},
        {"zero first scale key", [](writer3ds::Scene& d) { nodeNamed(d, "Box").tracks[2].vectorKeys[0].value = {1, 0, 1}; },
         "node \"Box\": its first scale key has a zero component, so its rest pose cannot be inverted"},
        {"a dummy's degenerate track",
         [](writer3ds::Scene& d) {
             Node dummy = dummyNode("Arm", -1, {0, 0, 0});
             dummy.tracks[0].vectorKeys.clear();
             d.keyframer.nodes.push_back(dummy);
         },
         "node \"Arm\": its position track has no keys"},
        {"more lights than GL offers", [](writer3ds::Scene& d) { addLights(d, 8); },
         "light \"Omni9\" is the ninth; playback drives at most 8 lights"},
        {"field of view of 0", [](writer3ds::Scene& d) { nodeNamed(d, "Camera01").tracks[1].scalarKeys[0].value = 0.0f; },
         "camera node \"Camera01\": a field of view of 0 degrees at frame 0 gives no picture; it must lie between 0 and 180"},
        {"field of view of 180",
         [](writer3ds::Scene& d) { nodeNamed(d, "Camera01").tracks[1].scalarKeys[0].value = 180.0f; },
         "camera node \"Camera01\": a field of view of 180 degrees at frame 0 gives no picture; it must lie between 0 and 180"},
    };
    for (const auto& [name, change, message] : problems) EXPECT_EQ(verdict(change), message) << name;
    EXPECT_EQ(verdict([](writer3ds::Scene&) {}, {"Box", "rdzen"}), "no node is named \"rdzen\"");
    EXPECT_EQ(verdict([](writer3ds::Scene& d) { addLights(d, 7); }), "") << "eight lights";
}

TEST(PlaybackCheck, WhatModellingToolsWriteWithoutBreakingPlaybackPasses)
{
    const std::vector<std::pair<const char*, Change>> passing = {
        {"no material group", [](writer3ds::Scene& d) { d.objects[0].materialGroups.clear(); }},
        {"a material group naming no material", [](writer3ds::Scene& d) { d.objects[0].materialGroups[0].materialName = "Green"; }},
        {"a dummy parent", [](writer3ds::Scene& d) {
             d.keyframer.nodes.insert(d.keyframer.nodes.begin(), dummyNode("Arm", -1, {0, 0, 0}));
             nodeNamed(d, "Box").hierarchy = 0;
         }},
        {"an object without node", [](writer3ds::Scene& d) { d.objects.push_back(boxObject("Lonely", {0, 0, 0}, {1, 1, 1}, "Red")); }},
        {"a node naming no object", [](writer3ds::Scene& d) { nodeNamed(d, "Box").name = "Crate"; }},
        {"a hierarchy value without an earlier smaller one", [](writer3ds::Scene& d) { nodeNamed(d, "Box").hierarchy = 0; }},
        {"a light without node", [](writer3ds::Scene& d) { d.keyframer.nodes.pop_back(); }},
        {"a camera node without roll track", [](writer3ds::Scene& d) { nodeNamed(d, "Camera01").tracks.pop_back(); }},
        {"a camera without nodes", [](writer3ds::Scene& d) { d.keyframer.nodes.erase(d.keyframer.nodes.begin() + 1, d.keyframer.nodes.begin() + 3); }},
        {"no camera", [](writer3ds::Scene& d) {
             d.hasCamera = false;
             d.keyframer.nodes.erase(d.keyframer.nodes.begin() + 1, d.keyframer.nodes.begin() + 3);
         }},
        {"no keyframer", [](writer3ds::Scene& d) { d.keyframer.present = false; }},
        {"a frame segment ending at 0", [](writer3ds::Scene& d) { d.keyframer.endFrame = 0; }},
    };
    for (const auto& [name, change] : passing) EXPECT_EQ(verdict(change, {"Box"}), "") << name;
}
