#include "platform/loadError.h"
#include "scene3ds/scene.h"
#include "timeline/demoSchedule.h"
#include "tools/datagen/dataPack.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

// The pack the build generates (the kesu_datapack target), read back with the demo's own
// reader. Whether every file loads as the demo loads it is the timeline tests' business;
// these check what the effects need of the pictures the pack draws.
class DataPackTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_TRUE(std::filesystem::exists(packDir() + "/data/.complete"))
            << packDir() << " holds no finished pack; build the kesu_datapack target";
        for (int i = 0; i < sceneCount; ++i) {
            scenes[i] = std::make_unique<Scene>();
            LoadError error;
            ASSERT_TRUE(scenes[i]->readFile(packDir() + "/data/" + sceneFiles[i], error)) << formatLoadError(error);
        }
    }

    static void TearDownTestSuite()
    {
        for (auto& scene : scenes) scene.reset();
    }

    static std::string packDir() { return std::string(KESU_BINARY_DIR) + "/testdata"; }

    static double distance(const float* p, const std::array<double, 3>& q)
    {
        return std::sqrt((p[0] - q[0]) * (p[0] - q[0]) + (p[1] - q[1]) * (p[1] - q[1]) + (p[2] - q[2]) * (p[2] - q[2]));
    }

    static std::unique_ptr<Scene> scenes[sceneCount];
};

std::unique_ptr<Scene> DataPackTest::scenes[sceneCount];

std::vector<char> fileBytes(const std::string& path)
{
    std::ifstream stream(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
}

} // namespace

// The last frame an effect asks for is its window's length times 75, truncated; the playback
// wraps at frameCount, so the segment must reach it or the scene jumps back mid-window.
TEST_F(DataPackTest, EachScenesSegmentCoversTheWindowOfTheEffectThatPlaysIt)
{
    const std::pair<SceneIndex, EffectWindow> played[] = {
        {SCENE_TITLE, titleStreamsWindow},    {SCENE_GRASS, grassSceneWindow},     {SCENE_BLINDS, blindsMaskWindow},
        {SCENE_CUBE, cubeCreditsWindow},      {SCENE_PIPES, factoryRewindWindow},  {SCENE_ELEMENTS, titleStreamsWindow},
        {SCENE_TUNNEL, cubeCreditsWindow},    {SCENE_FACTORY, factoryRewindWindow}, {SCENE_CREDITS, cubeCreditsWindow},
        {SCENE_ROBOT, robotCoreWindow},       {SCENE_FINALE, finaleSphereWindow},  {SCENE_LOGO, closingWindow}};
    for (const auto& scene : played) {
        const EffectWindow& window = scene.second;
        EXPECT_GE(scenes[scene.first]->frameCount, static_cast<int>((window.end - window.start) * 75.0f))
            << sceneFiles[scene.first];
    }
}

// The core sphere is drawn at the node's rest origin with radius up to 180 and a ribbon about
// 170 round it: no other part of the robot may come inside 200 units of the centre.
TEST_F(DataPackTest, RobotHasThreeLightsAndRingsClearOfTheSwollenCore)
{
    const Scene& robot = *scenes[SCENE_ROBOT];
    EXPECT_EQ(robot.lightCount, 3);
    const SceneNode& core = robot.nodes[robot.findNode("rdzen")];
    ASSERT_NE(core.parent, nullptr);   // the axle hangs in the gimbal rings
    for (const SceneNode& node : robot.nodes) {
        if (&node == &core) continue;
        for (int i = 0; i < node.mesh->vertexCount; ++i) {
            ASSERT_GT(distance(&node.mesh->positions[0][3 * i], {0.0, 0.0, 0.0}), 200.0) << node.name;
        }
    }
}

// Where the effects put their particles: the title jets leave two points of the elements
// scene's first object, the smoke leaves the pipes' outlet, and the final scene keeps clear
// of the particle sphere.
TEST_F(DataPackTest, GeometryMeetsTheParticlesWhereTheEffectsPutThem)
{
    struct Row {
        SceneIndex scene;
        bool firstNodeOnly;
        std::array<double, 3> point;
        double radius;
        bool vertexWithin;
    };
    const Row rows[] = {{SCENE_ELEMENTS, true, {129.0, 0.0, -16.0}, 13.0, true},
                        {SCENE_ELEMENTS, true, {129.0, 0.0, -152.0}, 13.0, true},
                        {SCENE_PIPES, false, {270.0, 0.0, 180.0}, 30.0, true},
                        {SCENE_FINALE, false, {-15.0, 51.0, 70.0}, 110.0, false}};
    for (const Row& row : rows) {
        const Scene& scene = *scenes[row.scene];
        bool found = false;
        for (int n = 0; n < (row.firstNodeOnly ? 1 : scene.nodeCount); ++n) {
            const Mesh& mesh = *scene.nodes[n].mesh;
            for (int i = 0; i < mesh.vertexCount; ++i) found = found || distance(&mesh.positions[0][3 * i], row.point) < row.radius;
        }
        EXPECT_EQ(found, row.vertexWithin) << sceneFiles[row.scene] << " near " << row.point[0] << ", "
                                           << row.point[1] << ", " << row.point[2];
    }
}

TEST_F(DataPackTest, TunnelsFirstLightMovesForTheSparksToFollow)
{
    const Scene& tunnel = *scenes[SCENE_TUNNEL];
    ASSERT_GT(tunnel.lightCount, 0);
    const VectorTrack& path = *tunnel.lights[0].posTrack;
    ASSERT_GT(path.keyCount, 2);
    const float* last = path.keys[path.keyCount - 1].value;
    EXPECT_GT(distance(path.keys[0].value, {last[0], last[1], last[2]}), 100.0);
}

// The golden frames rest on the pack being the same on every run.
TEST_F(DataPackTest, TwoRunsGiveIdenticalBytes)
{
    const std::string second = ::testing::TempDir() + "kesu-pack-" + std::to_string(getpid());
    std::filesystem::remove_all(second);
    std::string error;
    ASSERT_TRUE(generateDataPack(second, error)) << error;
    int compared = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(packDir())) {
        if (!entry.is_regular_file() || entry.path().filename() == ".complete") continue;
        const std::string relative = std::filesystem::relative(entry.path(), packDir()).string();
        const std::vector<char> a = fileBytes(entry.path().string());
        EXPECT_FALSE(a.empty()) << relative;
        EXPECT_TRUE(a == fileBytes(second + "/" + relative)) << relative << " differs between runs";
        ++compared;
    }
    EXPECT_GE(compared, 12 + 14 + 2);
    std::filesystem::remove_all(second);
}
