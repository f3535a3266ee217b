#include "platform/jpegDecoder.h"
#include "platform/loadError.h"
#include "scene3ds/playbackCheck.h"
#include "scene3ds/scene.h"
#include "tools/datagen/dataPack.h"
#include "tools/datagen/pictures.h"
#include "tools/datagen/scenes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

// The pack the build generates (the kesu_datapack target) is read back with the demo's
// own readers.
class DataPackTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        outDir = std::string(KESU_BINARY_DIR) + "/testdata";
        ASSERT_TRUE(std::filesystem::exists(outDir + "/data/.complete"))
            << outDir << " holds no finished pack; build the kesu_datapack target";
        for (const SceneFile& file : sceneFiles()) {
            auto scene = std::make_unique<Scene>();
            LoadError loadError;
            ASSERT_TRUE(scene->readFile(dataDir() + file.fileName, loadError)) << formatLoadError(loadError);
            scenes[file.fileName] = std::move(scene);
        }
    }

    static void TearDownTestSuite() { scenes.clear(); }

    static std::string dataDir() { return outDir + "/data/"; }

    static const Scene& scene(const std::string& name) { return *scenes.at(name); }

    static double distance(const float* p, double x, double y, double z)
    {
        return std::sqrt((p[0] - x) * (p[0] - x) + (p[1] - y) * (p[1] - y) + (p[2] - z) * (p[2] - z));
    }

    static std::string outDir;
    static std::map<std::string, std::unique_ptr<Scene>> scenes;
};

std::string DataPackTest::outDir;
std::map<std::string, std::unique_ptr<Scene>> DataPackTest::scenes;

std::vector<char> fileBytes(const std::string& path)
{
    std::ifstream stream(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
}

bool isPowerOfTwo(int n)
{
    return n > 0 && (n & (n - 1)) == 0;
}

TEST_F(DataPackTest, EverySceneAnswersThePlaybackCheckWithTheNodesItsEffectLooksUp)
{
    for (const SceneFile& file : sceneFiles()) {
        const Scene& s = scene(file.fileName);
        LoadError error;
        EXPECT_TRUE(checkScenePlayback(s, file.requiredNodes, error)) << formatLoadError(error);
        EXPECT_EQ(s.frameCount, file.frameCount) << file.fileName;
        EXPECT_GT(s.nodeCount, 0) << file.fileName;
    }
    EXPECT_GE(scene("girorobo.3ds").findNode("rdzen"), 0);
    EXPECT_GE(scene("kostka2.3ds").findNode("ramka"), 0);
}

TEST_F(DataPackTest, HoldsTheTwelveScenesWithSegmentsCoveringEachEffectsWindowAtSeventyFiveFramesPerSecond)
{
    const std::map<std::string, double> windowSeconds = {
        {"title.3ds", 17.5},   {"elemenci.3ds", 17.5}, {"trawa.3ds", 40.0},  {"blind1.3ds", 7.5},
        {"fabryka.3ds", 20.0}, {"rurki.3ds", 20.0},    {"tlo1.3ds", 20.0},   {"kostka2.3ds", 20.0},
        {"credy.3ds", 20.0},   {"girorobo.3ds", 30.0}, {"last.3ds", 34.0},   {"gridlogo.3ds", 4.0}};
    for (const auto& entry : windowSeconds) {
        // The last frame an effect asks for is the window length times 75, truncated; the
        // playback wraps at frameCount, so the segment must end at or after it.
        ASSERT_TRUE(std::filesystem::exists(dataDir() + entry.first)) << entry.first;
        EXPECT_GE(scene(entry.first).frameCount, static_cast<int>(entry.second * 75.0)) << entry.first;
    }
    EXPECT_EQ(sceneFiles().size(), 12u);
}

TEST_F(DataPackTest, RobotHasThreeLightsAndRingsClearOfTheSwollenCore)
{
    const Scene& robot = scene("girorobo.3ds");
    EXPECT_EQ(robot.lightCount, 3);
    const SceneNode& core = robot.nodes[robot.findNode("rdzen")];
    ASSERT_NE(core.parent, nullptr);   // the axle hangs in the gimbal rings
    // The core sphere is drawn at the node's rest origin with radius up to 180 and a
    // ribbon about 170 round it: no other part may come inside 200 units of the centre.
    for (const SceneNode& node : robot.nodes) {
        if (&node == &core) {
            continue;
        }
        const Mesh& mesh = *node.mesh;
        for (int i = 0; i < mesh.vertexCount; ++i) {
            ASSERT_GT(distance(&mesh.positions[0][3 * i], 0.0, 0.0, 0.0), 200.0) << node.name;
        }
    }
}

TEST_F(DataPackTest, ElementsFirstObjectHoldsBothJetPoints)
{
    const SceneNode& first = scene("elemenci.3ds").nodes[0];
    bool nearTop = false;
    bool nearBottom = false;
    for (int i = 0; i < first.mesh->vertexCount; ++i) {
        const float* p = &first.mesh->positions[0][3 * i];
        nearTop = nearTop || distance(p, 129.0, 0.0, -16.0) < 13.0;
        nearBottom = nearBottom || distance(p, 129.0, 0.0, -152.0) < 13.0;
    }
    EXPECT_TRUE(nearTop);
    EXPECT_TRUE(nearBottom);
}

TEST_F(DataPackTest, PipesHaveAnOutletAtTheSmokePoint)
{
    const Scene& pipes = scene("rurki.3ds");
    bool found = false;
    for (const SceneNode& node : pipes.nodes) {
        for (int i = 0; i < node.mesh->vertexCount && !found; ++i) {
            found = distance(&node.mesh->positions[0][3 * i], 270.0, 0.0, 180.0) < 30.0;
        }
    }
    EXPECT_TRUE(found);
}

TEST_F(DataPackTest, NothingInTheFinalSceneReachesIntoTheParticleSphere)
{
    for (const SceneNode& node : scene("last.3ds").nodes) {
        for (int i = 0; i < node.mesh->vertexCount; ++i) {
            ASSERT_GT(distance(&node.mesh->positions[0][3 * i], -15.0, 51.0, 70.0), 110.0) << node.name;
        }
    }
}

TEST_F(DataPackTest, TunnelFirstLightMovesAndCreditsAreUnlitTexturedPlanes)
{
    const Scene& tunnel = scene("tlo1.3ds");
    ASSERT_GT(tunnel.lightCount, 0);
    const VectorTrack& path = *tunnel.lights[0].posTrack;
    ASSERT_GT(path.keyCount, 2);
    const float* first = path.keys[0].value;
    const float* last = path.keys[path.keyCount - 1].value;
    EXPECT_GT(distance(first, last[0], last[1], last[2]), 100.0);

    const Scene& credits = scene("credy.3ds");
    EXPECT_EQ(credits.lightCount, 0);
    for (const Material& material : credits.materials) {
        EXPECT_FALSE(material.textureName.empty()) << material.name;
    }
}

TEST_F(DataPackTest, HierarchiesOpacityMapsAndTransparencyAppear)
{
    for (const char* name : {"fabryka.3ds", "girorobo.3ds"}) {
        int children = 0;
        for (const SceneNode& node : scene(name).nodes) {
            children += node.parent != nullptr ? 1 : 0;
        }
        EXPECT_GE(children, 2) << name;
    }
    bool opacityMap = false;
    bool transparency = false;
    for (const auto& entry : scenes) {
        for (const Material& material : entry.second->materials) {
            opacityMap = opacityMap || !material.maskName.empty();
            transparency = transparency || material.opacity < 1.0f;
        }
    }
    EXPECT_TRUE(opacityMap);
    EXPECT_TRUE(transparency);
}

TEST_F(DataPackTest, EveryPictureDecodesAtPowerOfTwoSizesWithMatchingMasks)
{
    // The pictures the demo loads by name, besides the scenes' material maps.
    std::set<std::pair<std::string, std::string>> pairs = {
        {"w8scr.jpg", ""},   {"particle.jpg", ""}, {"textur10.jpg", ""},  {"rewind.jpg", ""},
        {"zub.jpg", "zub_mask.jpg"}, {"textura2.jpg", ""}, {"textura1.jpg", ""}, {"grid_sm2.jpg", ""},
        {"textur14.jpg", ""}, {"textur13.jpg", ""}, {"kesusml.jpg", ""}, {"grdk.jpg", "grdkmask.jpg"},
        {"textura5.jpg", "mask2.jpg"}, {"textura4.jpg", ""}};
    for (const auto& entry : scenes) {
        for (const Material& material : entry.second->materials) {
            if (!material.textureName.empty()) {
                pairs.insert({material.textureName, material.maskName});
            }
        }
    }
    for (const PicturePair& listed : pictureList()) {
        pairs.insert({listed.picture, listed.mask});
    }
    for (const auto& pair : pairs) {
        JpegPicture picture;
        std::string error;
        long long offset = 0;
        ASSERT_TRUE(decodeJpegFile(dataDir() + pair.first, JPEG_OUTPUT_RGB, picture, error, offset))
            << pair.first << ": " << error;
        EXPECT_TRUE(isPowerOfTwo(picture.width) && isPowerOfTwo(picture.height))
            << pair.first << " is " << picture.width << " x " << picture.height;
        if (!pair.second.empty()) {
            JpegPicture mask;
            ASSERT_TRUE(decodeJpegFile(dataDir() + pair.second, JPEG_OUTPUT_GREY, mask, error, offset))
                << pair.second << ": " << error;
            EXPECT_EQ(mask.width, picture.width) << pair.second;
            EXPECT_EQ(mask.height, picture.height) << pair.second;
        }
    }
}

TEST_F(DataPackTest, WritesTheDefaultConfiguration)
{
    const std::vector<char> ini = fileBytes(outDir + "/kesu.ini");
    EXPECT_EQ(std::string(ini.begin(), ini.end()), "1280 720 1\n");
}

TEST_F(DataPackTest, TwoRunsGiveIdenticalBytes)
{
    // A second run in a folder of this process's own, compared with the build's run.
    const std::string second = ::testing::TempDir() + "kesu-pack-" + std::to_string(getpid());
    std::filesystem::remove_all(second);
    std::string error;
    ASSERT_TRUE(generateDataPack(second, error)) << error;
    int compared = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(outDir)) {
        if (!entry.is_regular_file() || entry.path().filename() == ".complete") {
            continue;
        }
        const std::string relative = std::filesystem::relative(entry.path(), outDir).string();
        const std::vector<char> a = fileBytes(entry.path().string());
        const std::vector<char> b = fileBytes(second + "/" + relative);
        EXPECT_FALSE(a.empty()) << relative;
        EXPECT_TRUE(a == b) << relative << " differs between runs";
        ++compared;
    }
    EXPECT_GE(compared, 12 + 14 + 2);
    std::filesystem::remove_all(second);
}

} // namespace
