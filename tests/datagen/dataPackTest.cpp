#include "tools/datagen/dataPack.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

std::vector<char> fileBytes(const std::string& path)
{
    std::ifstream stream(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
}

} // namespace

// The golden frames rest on the pack the build generates (the kesu_datapack target) being the
// same on every run: a second run in a folder of this process's own gives the same bytes.
TEST(DataPack, TwoRunsGiveIdenticalBytes)
{
    const std::string first = std::string(KESU_BINARY_DIR) + "/testdata";
    ASSERT_TRUE(std::filesystem::exists(first + "/data/.complete")) << first << " holds no finished pack";
    const std::string second = ::testing::TempDir() + "kesu-pack-" + std::to_string(getpid());
    std::filesystem::remove_all(second);
    std::string error;
    ASSERT_TRUE(generateDataPack(second, error)) << error;
    int compared = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(first)) {
        if (!entry.is_regular_file() || entry.path().filename() == ".complete") continue;
        const std::string relative = std::filesystem::relative(entry.path(), first).string();
        const std::vector<char> bytes = fileBytes(entry.path().string());
        EXPECT_FALSE(bytes.empty()) << relative;
        EXPECT_TRUE(bytes == fileBytes(second + "/" + relative)) << relative << " differs between runs";
        ++compared;
    }
    EXPECT_GE(compared, 12 + 14 + 2);
    std::filesystem::remove_all(second);
}
