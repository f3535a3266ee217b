#include "tools/datagen/dataPack.h"

#include "platform/files/loadError.h"
#include "platform/sound/audio.h"
#include "platform/sound/mp3Decoder.h"
#include "tests/support/regularBuildOnly.h"
#include "timeline/demoSchedule.h"
#include "tools/datagen/mastering.h"
#include "tools/datagen/music.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
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
// same on every run: a second run gives the same bytes. The second run is the sanitized build's
// own pack when KESU_SECOND_PACK names its folder (make test builds both, and a generator built
// with other flags is a stronger second run), else one made here in a folder of this process's.
TEST(DataPack, TwoRunsGiveIdenticalBytes)
{
    KESU_REGULAR_BUILD_ONLY("the sanitized build generates its own pack, which this test compares in the regular build");
    const std::string first = std::string(KESU_BINARY_DIR) + "/testdata";
    ASSERT_TRUE(std::filesystem::exists(first + "/data/.complete")) << first << " holds no finished pack";
    const char* given = std::getenv("KESU_SECOND_PACK");
    std::string second;
    bool made = false;
    if (given && std::filesystem::exists(std::string(given) + "/data/.complete")) {
        second = given;
        std::printf("the second run: %s\n", given);
    } else {
        second = ::testing::TempDir() + "kesu-pack-" + std::to_string(getpid());
        std::filesystem::remove_all(second);
        std::string error;
        ASSERT_TRUE(generateDataPack(second, error)) << error;
        made = true;
    }
    // Every file the generator writes: kesu.ini and data/; the folders also hold what the tests'
    // runs leave there (kesu.log, clock logs), which are no part of the pack.
    std::vector<std::string> files = {"kesu.ini"};
    for (const auto& entry : std::filesystem::directory_iterator(second + "/data")) {
        if (entry.is_regular_file() && entry.path().filename() != ".complete")
            files.push_back("data/" + entry.path().filename().string());
    }
    int compared = 0;
    for (const std::string& relative : files) {
        const std::vector<char> bytes = fileBytes(second + "/" + relative);
        EXPECT_FALSE(bytes.empty()) << relative;
        EXPECT_TRUE(bytes == fileBytes(first + "/" + relative)) << relative << " differs between runs";
        ++compared;
    }
    EXPECT_GE(compared, 12 + 14 + 2);
    if (made) std::filesystem::remove_all(second);
}

namespace {

// "I:", "LRA:" and "Peak:" of the summary of ffmpeg's EBU R128 meter over the file.
bool ffmpegLoudness(const std::string& path, double& integrated, double& range, double& truePeak)
{
    const std::string command = "ffmpeg -hide_banner -nostats -i '" + path + "' -af ebur128=peak=true -f null - 2>&1";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    bool haveIntegrated = false, haveRange = false, havePeak = false;
    char line[512];
    while (pipe && std::fgets(line, sizeof line, pipe.get())) {
        haveIntegrated = std::sscanf(line, " I: %lf LUFS", &integrated) == 1 || haveIntegrated;
        haveRange = std::sscanf(line, " LRA: %lf LU", &range) == 1 || haveRange;
        havePeak = std::sscanf(line, " Peak: %lf dBFS", &truePeak) == 1 || havePeak;
    }
    return haveIntegrated && haveRange && havePeak;
}

// Where a drum hit starts near sample: the first sample, from 2 ms before it, whose
// magnitude (left plus right) reaches half the largest within the 10 ms after that. A hit
// starts with its kick at full level; the music before it stays well below.
long hitStart(const std::vector<std::int16_t>& pcm, long sample)
{
    const long early = sample - 88, frames = static_cast<long>(pcm.size() / 2);
    const auto magnitude = [&pcm](long n) { return std::abs(pcm[2 * n] + pcm[2 * n + 1]); };
    int largest = 0;
    for (long n = std::max(0L, early); n < std::min(frames, early + 441); ++n) largest = std::max(largest, magnitude(n));
    for (long n = std::max(0L, early); n < std::min(frames, early + 441); ++n) {
        if (2 * magnitude(n) >= largest) return n;
    }
    return early;
}

} // namespace

// The pack's music is mastered as released music is: -14 LUFS within 0.3 LU, a loudness
// range of at least 7 LU (the quiet passages kept quieter than the beat sections) and a true
// peak of at most -1 dBTP on ffmpeg's meter over the encoded file, and every drum hit still
// starts on its beat's sample, within 0.1 ms, once decoded.
TEST(DataPack, MusicIsMasteredToItsLoudnessWithEveryHitOnItsBeat)
{
    const std::string music = std::string(KESU_BINARY_DIR) + "/testdata/data/little.mp3";
    double integrated = 0.0, range = 0.0, truePeak = 0.0;
    ASSERT_TRUE(ffmpegLoudness(music, integrated, range, truePeak)) << "no summary from ffmpeg's ebur128 filter";
    EXPECT_NEAR(integrated, -14.0, 0.3);
    EXPECT_GE(range, 7.0);
    EXPECT_LE(truePeak, -1.0);

    std::vector<std::int16_t> pcm;
    LoadError error;
    ASSERT_TRUE(decodeMp3File(music, pcm, error)) << formatLoadError(error);
    std::vector<double> offsets;
    for (int beat = 0; beat < beatCount; ++beat) {
        offsets.push_back((hitStart(pcm, musicBeatSample(beat)) - musicBeatSample(beat)) * 1000.0 / MUSIC_SAMPLE_RATE);
        EXPECT_LE(std::fabs(offsets.back()), 0.1) << "beat " << beat;
    }
    std::sort(offsets.begin(), offsets.end());
    std::printf("hit starts against their beats: min %+.3f ms, median %+.3f ms, max %+.3f ms\n", offsets.front(),
                offsets[offsets.size() / 2], offsets.back());
}

// A mix the meter cannot measure (silence has no integrated loudness) stops the mastering
// with the reason, rather than mastering to a guessed level.
TEST(Mastering, StopsWithTheReasonWhenTheMeterCannotMeasure)
{
    MusicStems silence;
    for (StereoMix* bus : {&silence.music, &silence.drums}) bus->left = bus->right = std::vector<double>(44100, 0.0);
    std::vector<std::int16_t> pcm;
    MasteringReport report;
    std::string error;
    EXPECT_FALSE(masterMix(silence, -14.0, -1.5, pcm, report, error));
    EXPECT_NE(error.find("loudness meter"), std::string::npos) << error;
}
