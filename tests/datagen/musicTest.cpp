#include "platform/audio.h"
#include "platform/loadError.h"
#include "timeline/demoSchedule.h"
#include "tools/datagen/music.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// The music of the pack the build generates, decoded through the demo's own audio layer:
// what the demo hears is what these tests measure.
class MusicTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        const std::string path = std::string(KESU_BINARY_DIR) + "/testdata/data/little.mp3";
        LoadError loadError;
        ASSERT_TRUE(decodeMp3File(path, pcm, loadError)) << formatLoadError(loadError);
        mono.resize(pcm.size() / 2);
        for (std::size_t i = 0; i < mono.size(); ++i) {
            mono[i] = (static_cast<double>(pcm[2 * i]) + pcm[2 * i + 1]) * 0.5;
        }
    }

    // Largest jump between neighbouring samples in [from, to) seconds: the drum hits start
    // with a step, everything else in the mix is smooth next to it.
    static double largestStep(double from, double to)
    {
        const std::size_t first = std::max<std::size_t>(1, static_cast<std::size_t>(from * 44100.0));
        const std::size_t last = std::min(mono.size(), static_cast<std::size_t>(to * 44100.0));
        double largest = 0.0;
        for (std::size_t i = first; i < last; ++i) {
            largest = std::max(largest, std::fabs(mono[i] - mono[i - 1]));
        }
        return largest;
    }

    static double rms(double from, double to)
    {
        const std::size_t first = static_cast<std::size_t>(from * 44100.0);
        const std::size_t last = std::min(mono.size(), static_cast<std::size_t>(to * 44100.0));
        double sum = 0.0;
        for (std::size_t i = first; i < last; ++i) {
            sum += mono[i] * mono[i];
        }
        return std::sqrt(sum / static_cast<double>(last - first));
    }

    static std::vector<std::int16_t> pcm;
    static std::vector<double> mono;
};

std::vector<std::int16_t> MusicTest::pcm;
std::vector<double> MusicTest::mono;

// Each drum hit starts with a step that stands out of the 40 ms before it, within 2 ms of
// its beat; the opening and the pauses between beats hold no such step.
TEST_F(MusicTest, DrumsHitEveryBeatWithinTwoMillisecondsAndNowhereElse)
{
    EXPECT_EQ(musicBeatSample(0), 456988);   // 10.362539 s x 44100, rounded
    for (int beat = 0; beat < beatCount; ++beat) {
        const long expected = musicBeatSample(beat);
        double peak = 0.0;
        for (long i = expected - 1764; i < expected + 1764; ++i) peak = std::max(peak, std::fabs(mono[i] - mono[i - 1]));
        long onset = expected - 1764;
        while (onset < expected + 1764 && std::fabs(mono[onset] - mono[onset - 1]) < 0.5 * peak) ++onset;
        EXPECT_LE(std::labs(onset - expected), 88) << "beat " << beat << " at " << beatTimes[beat] << " s";
        EXPECT_GT(peak, 3.0 * largestStep(beatTimes[beat] - 0.04, beatTimes[beat] - 0.004)) << "beat " << beat;
    }
    const double hit = largestStep(beatTimes[0] - 0.01, beatTimes[0] + 0.05);
    const double pauses[5][2] = {{0.5, 10.0}, {19.2, 24.6}, {43.6, 49.1}, {82.7, 93.0}, {121.9, 127.2}};
    for (const auto& pause : pauses) {
        EXPECT_LT(largestStep(pause[0], pause[1]), 0.5 * hit) << "pause from " << pause[0] << " s";
    }
}

TEST_F(MusicTest, OpensQuietlyPlaysBetweenTheBeatsAndFadesOut)
{
    ASSERT_GE(mono.size(), static_cast<std::size_t>(176 * 44100));
    EXPECT_LT(rms(0.0, 9.5), 0.6 * rms(10.4, 18.7));
    // Music, not a metronome: the halves between beats carry bass, chords and lead.
    for (int beat = 0; beat + 1 < beatCount; beat += 7) {
        const double middle = (beatTimes[beat] + beatTimes[beat + 1]) * 0.5;
        EXPECT_GT(rms(middle - 0.1, middle + 0.1), 300.0) << "after beat " << beat;
    }
    EXPECT_GT(rms(166.0, 169.0), 300.0);
    EXPECT_LT(rms(175.6, 175.9), 5.0);
}

} // namespace
