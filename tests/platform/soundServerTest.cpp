#include "platform/audio.h"
#include "platform/audioRecorder.h"
#include "tools/audioclock/clockAnalysis.h"
#include "tools/audioclock/soundServer.h"

#include <gtest/gtest.h>

#include <time.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int rate = 44100;

// Noise with 0.1 s of silence before it and a deliberate 50 ms silence at 1.0 s, like the
// pause the music holds before a drum section.
std::vector<std::int16_t> testMusic(double seconds)
{
    std::vector<std::int16_t> pcm(static_cast<std::size_t>(seconds * rate) * 2, 0);
    unsigned state = 12345;
    for (std::size_t frame = rate / 10; frame < pcm.size() / 2; ++frame) {
        if (frame >= static_cast<std::size_t>(rate) && frame < static_cast<std::size_t>(rate * 1.05)) continue;
        for (int channel = 0; channel < 2; ++channel) {
            state = state * 1103515245u + 12345u;
            pcm[2 * frame + static_cast<std::size_t>(channel)] = static_cast<std::int16_t>(static_cast<int>(state >> 16) % 8000 - 4000);
        }
    }
    return pcm;
}

double monotonicSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// A recording made from the music by hand: `lead` silent frames, then the music with a gap
// of silence inserted at music frame gapAt, and lostFrames taken out at lostAt.
struct RecordingCase {
    const char* name;
    int gapAt, gapFrames;
    int lostAt, lostFrames;
    bool quieter;           // the sink halved the volume
    const char* problem;    // expected in the refusal, or null
};

class RecordingAnalysis : public ::testing::TestWithParam<RecordingCase> {};

} // namespace

TEST_P(RecordingAnalysis, FindsTheInsertedSilenceAndTheClocksOffset)
{
    const RecordingCase c = GetParam();
    const std::vector<std::int16_t> music = testMusic(3.0);
    const int lead = 1000;
    std::vector<std::int16_t> recorded(static_cast<std::size_t>(lead) * 2, 0);
    // Recorded frame of each music frame, worked out here independently of the analysis.
    std::vector<double> recordedFrame(music.size() / 2, -1.0);
    for (int m = 0; m < static_cast<int>(music.size() / 2); ++m) {
        if (m == c.gapAt) recorded.insert(recorded.end(), static_cast<std::size_t>(c.gapFrames) * 2, 0);
        if (m >= c.lostAt && m < c.lostAt + c.lostFrames) continue;
        recordedFrame[static_cast<std::size_t>(m)] = static_cast<double>(recorded.size() / 2);
        for (int channel = 0; channel < 2; ++channel)
            recorded.push_back(static_cast<std::int16_t>(music[2 * static_cast<std::size_t>(m) + static_cast<std::size_t>(channel)] / (c.quieter ? 2 : 1)));
    }
    recorded.insert(recorded.end(), rate * 2, 0);

    SoundAlignment alignment;
    std::string problem;
    const bool aligned = alignRecording(music, recorded, alignment, problem);
    if (c.problem) {
        EXPECT_FALSE(aligned);
        EXPECT_NE(problem.find(c.problem), std::string::npos) << problem;
        return;
    }
    ASSERT_TRUE(aligned) << problem;
    ASSERT_EQ(alignment.underruns.size(), c.gapFrames > 0 ? 1u : 0u);
    if (c.gapFrames > 0) {
        EXPECT_EQ(alignment.underruns[0].frames, c.gapFrames);
        EXPECT_NEAR(alignment.underruns[0].musicSeconds, static_cast<double>(c.gapAt) / rate, 0.06);
    }
    EXPECT_EQ(alignment.framesLost, c.lostFrames);
    EXPECT_EQ(alignment.breaks, c.lostFrames > 0 ? 1 : 0);

    // Heard-time reports from a sink 2.5 s into the monotonic clock that gains 300 parts per
    // million, with one report far off; a clock that reads every position 7 ms after it was
    // heard.
    const auto heardAt = [](double recordedFrame) { return 2.5 + recordedFrame / rate * (1.0 - 300e-6); };
    std::vector<RecordMark> marks;
    for (int i = 0; i < 300; ++i) marks.push_back({i * 500.0, heardAt(i * 500.0) + (i == 7 ? 0.3 : 0.0)});
    HeardTimeline timeline;
    ASSERT_TRUE(fitHeardTimeline(marks, timeline, problem));
    // Positions inside the deliberate silence are left out: a gap there shows only where the
    // silence ends.
    std::vector<ClockSample> samples;
    for (int m = rate / 10; m < 3 * rate; m += 997)
        if (recordedFrame[static_cast<std::size_t>(m)] >= 0 && (m < rate || m >= rate * 105 / 100))
            samples.push_back({heardAt(recordedFrame[static_cast<std::size_t>(m)]) + 0.007, static_cast<double>(m) / rate});
    const OffsetFigures figures = offsetsFromSound(samples, alignment, timeline);
    EXPECT_EQ(figures.count, samples.size());
    EXPECT_NEAR(figures.median, 0.007, 1e-4);
    EXPECT_NEAR(figures.worst, 0.007, 1e-4);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RecordingAnalysis,
    ::testing::Values(RecordingCase{"clean", -1, 0, -1, 0, false, nullptr},
                      RecordingCase{"gapInTheSound", 66150, 128, -1, 0, false, nullptr},
                      RecordingCase{"gapInsideADeliberateSilence", 44900, 300, -1, 0, false, nullptr},
                      RecordingCase{"recorderLostABlock", -1, 0, 88200, 441, false, nullptr},
                      RecordingCase{"notTheMusicSampleForSample", -1, 0, -1, 0, true, "sample for sample"}),
    [](const ::testing::TestParamInfo<RecordingCase>& info) { return std::string(info.param.name); });

TEST(ClockLog, FrameIsReadAtThePreviousSwapAndBadLinesAreNamed)
{
    const std::string path = ::testing::TempDir() + "clock.log";
    FILE* file = std::fopen(path.c_str(), "w");
    std::fputs("10.0 0.0\n10.5 0.25\n11.0 0.75\n", file);
    std::fclose(file);
    std::vector<ClockLogLine> lines;
    std::string problem;
    ASSERT_TRUE(readClockLog(path, lines, problem)) << problem;
    const std::vector<ClockSample> readings = clockReadings(lines);
    ASSERT_EQ(readings.size(), 2u);
    EXPECT_EQ(readings[1].readSeconds, 10.5);
    EXPECT_EQ(readings[1].position, 0.75);

    file = std::fopen(path.c_str(), "w");
    std::fputs("10.0 0.0\n10.5 0.25 extra\n", file);
    std::fclose(file);
    EXPECT_FALSE(readClockLog(path, lines, problem));
    EXPECT_NE(problem.find("line 2"), std::string::npos) << problem;
}

// The real audio layer through a private PulseAudio null sink: its monitor, recorded with
// the server's heard times, holds the music without a gap, and the clock read while playing
// stands within 15 ms of the sound at the median and 25 ms at worst.
TEST(SoundServer, PlaysWithoutUnderrunAndTheClockFollowsTheSound)
{
    SoundServer server;
    std::string problem;
    if (!startSoundServer(server, problem)) GTEST_SKIP() << "no sound server could be started: " << problem;
    setenv("PULSE_SERVER", server.address.c_str(), 1);
    setenv("SDL_AUDIODRIVER", "pulseaudio", 1);
    AudioRecorder* recorder = recorderStart(server.address, server.monitor, 10.0, problem);
    ASSERT_NE(recorder, nullptr) << problem;
    waitForShortBlocks();

    const std::vector<std::int16_t> music = testMusic(3.0);
    std::string message;
    AudioOutput* output = audioOpen(message);
    EXPECT_EQ(message, "");
    EXPECT_FALSE(audioIsSilent(output));
    std::vector<ClockSample> samples;
    samples.reserve(20000);
    audioPlay(output, &music);
    const double start = monotonicSeconds();
    std::uint32_t last = 0;
    while (monotonicSeconds() - start < 3.3) {
        const double before = monotonicSeconds();
        const std::uint32_t position = audioPosition(output);
        samples.push_back({(before + monotonicSeconds()) / 2, position / static_cast<double>(AUDIO_BYTES_PER_SECOND)});
        ASSERT_GE(position, last);
        ASSERT_EQ(position % 4, 0u);
        last = position;
        timespec pause{0, 1000000};
        nanosleep(&pause, nullptr);
    }
    audioStop(output);
    EXPECT_EQ(audioUnderruns(output), 0u);
    audioClose(output);
    timespec tail{0, 300000000};
    nanosleep(&tail, nullptr);
    RecordedSound sound;
    recorderStop(recorder, sound);
    stopSoundServer(server);

    EXPECT_EQ(sound.lostBlocks, 0u);
    HeardTimeline timeline;
    ASSERT_TRUE(fitHeardTimeline(sound.marks, timeline, problem)) << problem;
    SoundAlignment alignment;
    ASSERT_TRUE(alignRecording(music, sound.pcm, alignment, problem)) << problem;
    EXPECT_TRUE(alignment.underruns.empty()) << alignment.underruns.size() << " underruns, the first at "
                                             << alignment.underruns[0].musicSeconds << " s";
    EXPECT_EQ(alignment.heardUntil, alignment.musicEnd);
    const OffsetFigures figures = offsetsFromSound(samples, alignment, timeline);
    EXPECT_GT(figures.count, 1000u);
    EXPECT_LE(std::fabs(figures.median), 0.015) << "median offset " << figures.median * 1000 << " ms";
    EXPECT_LE(std::fabs(figures.worst), 0.025) << "worst offset " << figures.worst * 1000 << " ms";
}
