// The bad-input matrix: the player and the capture tool, each started in a run folder with
// one thing broken, must end with a clear one-line message that names the file (and the
// byte for a damaged file), without drawing anything, crashing or hanging.
#include "tests/support/processRunner.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <ostream>
#include <memory>
#include <string>
#include <vector>

namespace {

const std::string kesuBinary = std::string(KESU_BINARY_DIR) + "/host/kesu";
const std::string captureBinary = std::string(KESU_BINARY_DIR) + "/tools/capture/kesu-capture";

std::string readBytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Replaces rather than rewrites, so a file shared by a link elsewhere is never changed.
void replaceFile(const std::string& path, const std::string& bytes)
{
    std::remove(path.c_str());
    std::ofstream file(path, std::ios::binary);
    file << bytes;
}

std::string randomBytes(size_t count)
{
    std::string bytes(count, '\0');
    unsigned state = 12345;
    for (char& byte : bytes) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<char>(state >> 23);
    }
    return bytes;
}

enum Damage { MISSING, EMPTY, TRUNCATED, RANDOM };

void damage(const std::string& folder, const std::string& file, Damage kind)
{
    const std::string path = folder + "/" + file;
    const std::string original = readBytes(path);
    switch (kind) {
    case MISSING:
        std::remove(path.c_str());
        break;
    case EMPTY:
        replaceFile(path, "");
        break;
    case TRUNCATED:
        replaceFile(path, original.substr(0, original.size() / 2));
        break;
    case RANDOM:
        replaceFile(path, randomBytes(original.size()));
        break;
    }
}

const char* damageName(Damage kind)
{
    static const char* const names[] = {"Missing", "Empty", "Truncated", "Random"};
    return names[kind];
}

struct DataCase {
    std::string file;
    Damage kind;
};

void PrintTo(const DataCase& c, std::ostream* out) { *out << damageName(c.kind) << " " << c.file; }

std::string caseName(const DataCase& c)
{
    std::string name = c.file.substr(5);   // without "data/"
    for (char& ch : name)
        if (ch == '.' || ch == '_') ch = 'X';
    return std::string(damageName(c.kind)) + "X" + name;
}

// One scene, one picture, one mask and, for the player, the music; single frames need no music.
std::vector<DataCase> dataCases(bool withMusic)
{
    std::vector<DataCase> cases;
    for (const char* file : {"data/kostka2.3ds", "data/rewind.jpg", "data/zub_mask.jpg", "data/little.mp3"}) {
        if (!withMusic && std::string(file) == "data/little.mp3") continue;
        for (Damage kind : {MISSING, EMPTY, TRUNCATED, RANDOM}) cases.push_back({file, kind});
    }
    return cases;
}

ProcessOptions headless(const std::string& folder)
{
    ProcessOptions options;
    options.workingDirectory = folder;
    options.setEnvironment = {{"SDL_VIDEODRIVER", "offscreen"}, {"SDL_AUDIODRIVER", "dummy"}};
    options.timeoutSeconds = 60.0;
    return options;
}

// Ends a run that plays, two seconds after it says so.
void closeAfterPlaying(ProcessOptions& options)
{
    auto since = std::make_shared<double>(-1.0);
    options.sendSignalWhen = [since](const std::string& out, const std::string&) {
        if (out.find("kesu: playing") == std::string::npos) return false;
        const double now = std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
        if (*since < 0) *since = now;
        return now - *since >= 2.0;
    };
}

// One line on stderr naming the file; "byte N" for a file that is there but damaged.
void expectOneClearLine(const ProcessResult& result, const DataCase& c)
{
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.signal, 0) << "ended by signal " << result.signal << ": " << result.err;
    EXPECT_EQ(result.exitStatus, 1) << result.err;
    EXPECT_NE(result.err.find(c.file), std::string::npos) << result.err;
    if (c.kind == TRUNCATED || c.kind == RANDOM) {
        EXPECT_NE(result.err.find("byte "), std::string::npos) << result.err;
    }
    EXPECT_EQ(result.err.find("runtime error"), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find("Sanitizer"), std::string::npos) << result.err;
}

class BrokenDataFile : public ::testing::TestWithParam<DataCase> {};
class BrokenCaptureData : public ::testing::TestWithParam<DataCase> {};

} // namespace

TEST_P(BrokenDataFile, StopsThePlayerBeforeTheMusicWithTheFileNamed)
{
    const DataCase c = GetParam();
    const std::string folder = makeRunFolder("kesu-bad", "1024 768 0\n");
    ASSERT_FALSE(folder.empty()) << "the generated data pack is missing from the build";
    damage(folder, c.file, c.kind);
    const ProcessResult result = runProcess(kesuBinary, {}, headless(folder));
    expectOneClearLine(result, c);
    EXPECT_EQ(result.out.find("kesu: playing"), std::string::npos) << "the demo started with a piece missing";
}

TEST_P(BrokenCaptureData, StopsTheCaptureWithTheFileNamedAndNoPicture)
{
    const DataCase c = GetParam();
    const std::string folder = makeRunFolder("capture-bad", nullptr);
    ASSERT_FALSE(folder.empty()) << "the generated data pack is missing from the build";
    damage(folder, c.file, c.kind);
    const ProcessResult result = runProcess(captureBinary, {"--size", "64x48", "--at", "1", "--out", folder + "/frames"},
                                            headless(folder));
    expectOneClearLine(result, c);
    struct stat info;
    EXPECT_NE(stat((folder + "/frames/at-00001.000.png").c_str(), &info), 0) << "a frame was written";
}

INSTANTIATE_TEST_SUITE_P(Matrix, BrokenDataFile, ::testing::ValuesIn(dataCases(true)),
                         [](const ::testing::TestParamInfo<DataCase>& info) { return caseName(info.param); });
INSTANTIATE_TEST_SUITE_P(Matrix, BrokenCaptureData, ::testing::ValuesIn(dataCases(false)),
                         [](const ::testing::TestParamInfo<DataCase>& info) { return caseName(info.param); });

TEST(BadInput, AMaskOfTheWrongSizeNamesBothFiles)
{
    const std::string folder = makeRunFolder("kesu-mask", "1024 768 0\n");
    ASSERT_FALSE(folder.empty()) << "the generated data pack is missing from the build";
    replaceFile(folder + "/data/zub_mask.jpg", readBytes(folder + "/data/particle.jpg"));
    const ProcessResult result = runProcess(kesuBinary, {}, headless(folder));
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_NE(result.err.find("data/zub_mask.jpg"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("data/zub.jpg"), std::string::npos) << result.err;
}

TEST(BadInput, ASceneWithoutTheRobotCoreNodeIsNamed)
{
    const std::string folder = makeRunFolder("kesu-rdzen", "1024 768 0\n");
    ASSERT_FALSE(folder.empty()) << "the generated data pack is missing from the build";
    std::string scene = readBytes(folder + "/data/girorobo.3ds");
    // Renaming the node in place keeps every chunk length valid.
    for (size_t at = scene.find("rdzen"); at != std::string::npos; at = scene.find("rdzen", at)) scene[at + 4] = 'x';
    replaceFile(folder + "/data/girorobo.3ds", scene);
    const ProcessResult result = runProcess(kesuBinary, {}, headless(folder));
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_NE(result.err.find("rdzen"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("data/girorobo.3ds"), std::string::npos) << result.err;
}

TEST(BadInput, AnUnusableConfigurationFallsBackToTheDesktopAndPlays)
{
    struct IniCase {
        const char* text;   // null: no kesu.ini at all
    };
    for (const IniCase c : {IniCase{nullptr}, IniCase{"text"}, IniCase{"640 480"}, IniCase{"0 0 1"},
                            IniCase{"99999 99999 1"}}) {
        const std::string folder = makeRunFolder("kesu-ini", c.text);
        ASSERT_FALSE(folder.empty()) << "the generated data pack is missing from the build";
        ProcessOptions options = headless(folder);
        closeAfterPlaying(options);
        const ProcessResult result = runProcess(kesuBinary, {}, options);
        const std::string label = c.text ? c.text : "(no kesu.ini)";
        EXPECT_EQ(result.exitStatus, 0) << label << ": " << result.err;
        EXPECT_NE(result.err.find("kesu.ini"), std::string::npos) << label << ": " << result.err;
        EXPECT_NE(result.err.find("desktop"), std::string::npos) << label << ": " << result.err;
        EXPECT_NE(result.out.find("kesu: playing at 1024 x 768"), std::string::npos) << label << ": " << result.out;
    }
}

TEST(BadInput, AnUnwritableLogDoesNotStopTheDemo)
{
    const std::string folder = makeRunFolder("kesu-log", "1024 768 0\n");
    ASSERT_FALSE(folder.empty()) << "the generated data pack is missing from the build";
    // A folder in the log's place: the log cannot be opened even by root.
    ASSERT_EQ(mkdir((folder + "/kesu.log").c_str(), 0755), 0);
    ProcessOptions options = headless(folder);
    closeAfterPlaying(options);
    const ProcessResult result = runProcess(kesuBinary, {}, options);
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_NE(result.err.find("kesu.log"), std::string::npos) << result.err;
}

TEST(BadInput, NoAudioDevicePlaysSilentWithAMessage)
{
    const std::string folder = makeRunFolder("kesu-noaudio", "1024 768 0\n");
    ASSERT_FALSE(folder.empty()) << "the generated data pack is missing from the build";
    ProcessOptions options = headless(folder);
    options.setEnvironment = {{"SDL_VIDEODRIVER", "offscreen"}, {"SDL_AUDIODRIVER", "no-such-driver"}};
    closeAfterPlaying(options);
    const ProcessResult result = runProcess(kesuBinary, {}, options);
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_NE(result.err.find("plays silent"), std::string::npos) << result.err;
    EXPECT_NE(result.out.find("silent"), std::string::npos) << result.out;
}
