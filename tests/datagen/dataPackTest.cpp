#include "platform/loadError.h"
#include "scene3ds/scene.h"
#include "timeline/demoSchedule.h"
#include "tools/datagen/dataPack.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

// The pack the build generates (the kesu_datapack target), read back with the demo's own
// reader. Whether every file loads as the demo loads it is the timeline tests' business.
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
