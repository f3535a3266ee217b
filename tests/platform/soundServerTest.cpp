#include "platform/audio.h"
#include "platform/audioRecorder.h"
#include "platform/loadError.h"
#include "platform/mp3Decoder.h"
#include "tests/support/processRunner.h"
#include "tools/audioclock/clockAnalysis.h"
#include "tools/audioclock/soundServer.h"

#include <gtest/gtest.h>

#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <unistd.h>

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

// A frame's clock is read right after the previous swap; it is shown at its own swap, drawn
// for its third column (an older log's two columns: for the position read).
TEST(ClockLog, FrameIsReadAtThePreviousSwapShownAtItsOwnAndBadLinesAreNamed)
{
    const std::string path = ::testing::TempDir() + "clock.log";
    FILE* file = std::fopen(path.c_str(), "w");
    std::fputs("10.0 0.0 0.0\n10.5 0.25 0.27\n11.0 0.75\n", file);
    std::fclose(file);
    std::vector<ClockLogLine> lines;
    std::string problem;
    ASSERT_TRUE(readClockLog(path, lines, problem)) << problem;
    const std::vector<ClockSample> readings = clockReadings(lines);
    ASSERT_EQ(readings.size(), 2u);
    EXPECT_EQ(readings[1].readSeconds, 10.5);
    EXPECT_EQ(readings[1].position, 0.75);
    const std::vector<ClockSample> drawn = pictureShowings(lines), frameStart = pictureShowings(lines, PICTURE_FRAME_START);
    EXPECT_EQ(drawn[1].readSeconds, 10.5);
    EXPECT_EQ(drawn[1].position, 0.27);
    EXPECT_EQ(frameStart[1].position, 0.25);
    EXPECT_EQ(drawn[2].position, 0.75);

    file = std::fopen(path.c_str(), "w");
    std::fputs("10.0 0.0\n10.5 0.25 extra\n", file);
    std::fclose(file);
    EXPECT_FALSE(readClockLog(path, lines, problem));
    EXPECT_NE(problem.find("line 2"), std::string::npos) << problem;
}

namespace {

void sleepSeconds(double seconds)
{
    const long nanoseconds = static_cast<long>(seconds * 1e9);
    timespec pause{nanoseconds / 1000000000, nanoseconds % 1000000000};
    nanosleep(&pause, nullptr);
}

// The clock read every millisecond while `seconds` pass, checked to never go back and to be
// a whole frame; `during` runs once, after `at` seconds.
void sampleClock(AudioOutput* output, double seconds, std::vector<ClockSample>& samples, double at = -1.0,
                 const std::function<void()>& during = nullptr)
{
    const double start = monotonicSeconds();
    bool done = false;
    std::uint32_t last = samples.empty() ? 0 : static_cast<std::uint32_t>(std::lround(samples.back().position * AUDIO_BYTES_PER_SECOND));
    while (monotonicSeconds() - start < seconds) {
        if (during && !done && monotonicSeconds() - start >= at) {
            done = true;
            during();
        }
        const double before = monotonicSeconds();
        const std::uint32_t position = audioPosition(output);
        samples.push_back({(before + monotonicSeconds()) / 2, position / static_cast<double>(AUDIO_BYTES_PER_SECOND)});
        ASSERT_GE(position, last) << "the clock went back at " << samples.back().readSeconds - start << " s";
        ASSERT_EQ(position % 4, 0u);
        last = position;
        sleepSeconds(0.001);
    }
}

// The longest stretch over which the clock stood still, in seconds.
[[maybe_unused]] double longestStand(const std::vector<ClockSample>& samples)
{
    double longest = 0.0, since = samples.empty() ? 0.0 : samples.front().readSeconds;
    for (std::size_t i = 1; i < samples.size(); ++i) {
        if (samples[i].position != samples[i - 1].position) since = samples[i].readSeconds;
        longest = std::max(longest, samples[i].readSeconds - since);
    }
    return longest;
}

// A private server of the parameter's kind, with a recorder on its sink's monitor. Skipped
// only when the server's programs are not installed; a server that will not start fails the
// test with its own log.
class SoundServerRun : public ::testing::TestWithParam<SoundServerKind> {
protected:
    void SetUp() override
    {
        std::string missing;
        if (!soundServerInstalled(GetParam(), missing)) GTEST_SKIP() << missing << " is not installed";
        server.kind = GetParam();
        std::string problem;
        ASSERT_TRUE(startSoundServer(server, problem)) << problem;
        setenv("PULSE_SERVER", server.address.c_str(), 1);
        setenv("SDL_AUDIODRIVER", "pulseaudio", 1);
        record();
    }

    void TearDown() override
    {
        if (recorder) recorderStop(recorder, sound);
        stopSoundServer(server);
    }

    void record()
    {
        std::string problem;
        recorder = recorderStart(server.address, server.monitor, 20.0, problem);
        ASSERT_NE(recorder, nullptr) << problem;
        waitForShortBlocks();
    }

    // Stops the recording and lays it over the music.
    void measure(const std::vector<std::int16_t>& music, SoundAlignment& alignment, HeardTimeline& timeline)
    {
        sleepSeconds(0.3);
        recorderStop(recorder, sound);
        recorder = nullptr;
        EXPECT_EQ(sound.lostBlocks, 0u);
        std::string problem;
        ASSERT_TRUE(fitHeardTimeline(sound.marks, timeline, problem)) << problem;
        ASSERT_TRUE(alignRecording(music, sound.pcm, alignment, problem)) << problem;
    }

    SoundServer server;
    AudioRecorder* recorder = nullptr;
    RecordedSound sound;
};

} // namespace

// The real audio layer through a private null sink: its monitor, recorded with the server's
// heard times, holds the music without a gap, and the clock read while playing stands
// within 6 ms of the sound at the median and 25 ms at worst. A pause holds the clock, and
// the music goes on from the same byte.
TEST_P(SoundServerRun, PlaysWithoutUnderrunTheClockFollowsTheSoundAndAPauseHoldsBoth)
{
    const std::vector<std::int16_t> music = testMusic(4.0);
    std::string message;
    AudioOutput* output = audioOpen(message);
    EXPECT_EQ(message, "");
    EXPECT_FALSE(audioIsSilent(output));
    std::vector<ClockSample> samples;
    samples.reserve(20000);
    audioPlay(output, &music);
    sampleClock(output, 2.0, samples);
    audioPause(output, true);
    const std::uint32_t pausedAt = audioPosition(output);
    sleepSeconds(0.5);
    EXPECT_EQ(audioPosition(output), pausedAt) << "the clock moved while paused";
    audioPause(output, false);
    std::vector<ClockSample> resumed;
    sampleClock(output, 2.3, resumed);
    audioStop(output);
    EXPECT_EQ(audioTrouble(output).underruns, 0u);
    EXPECT_EQ(audioTrouble(output).dropouts, 0u);
    audioClose(output);

    SoundAlignment alignment;
    HeardTimeline timeline;
    measure(music, alignment, timeline);
    // The pause is the one stretch of silence the music does not hold: half a second, after
    // which the music goes on from where it stopped, nothing of it lost.
    ASSERT_EQ(alignment.underruns.size(), 1u);
    EXPECT_NEAR(alignment.underruns[0].musicSeconds, pausedAt / static_cast<double>(AUDIO_BYTES_PER_SECOND), 0.03);
    EXPECT_NEAR(alignment.underruns[0].frames / static_cast<double>(rate), 0.5, 0.05);
    EXPECT_EQ(alignment.framesLost, 0);
    EXPECT_EQ(alignment.heardUntil, alignment.musicEnd);
    // Around the pause a position was heard twice (as the sound stopped and as it went on), so
    // the clock is measured away from it.
    const double pause = pausedAt / static_cast<double>(AUDIO_BYTES_PER_SECOND);
    samples.insert(samples.end(), resumed.begin(), resumed.end());
    samples.erase(std::remove_if(samples.begin(), samples.end(),
                                 [pause](const ClockSample& sample) { return std::fabs(sample.position - pause) < 0.03; }),
                  samples.end());
    const OffsetFigures figures = offsetsFromSound(samples, alignment, timeline);
    EXPECT_GT(figures.count, 1000u);
    EXPECT_LE(std::fabs(figures.median), 0.006) << "median offset " << figures.median * 1000 << " ms";
    EXPECT_LE(std::fabs(figures.worst), 0.025) << "worst offset " << figures.worst * 1000 << " ms";
}

// The server goes away mid-run and comes back on the same socket a second later: the player
// is told of both, once each; its clock goes on at the nominal rate, never back and never
// standing, and once the server answers the music goes on where the clock is.
TEST_P(SoundServerRun, GoingAwayAndComingBackTheMusicGoesOnWhereTheClockIs)
{
    const std::vector<std::int16_t> music = testMusic(7.0);
    std::mutex noticesLock;
    std::vector<std::string> notices;
    std::string message;
    AudioOutput* output = audioOpen(message, [&](const std::string& text) {
        std::lock_guard<std::mutex> hold(noticesLock);
        notices.push_back(text);
    });
    ASSERT_FALSE(audioIsSilent(output)) << message;
    std::vector<ClockSample> samples;
    samples.reserve(20000);
    audioPlay(output, &music);
    sampleClock(output, 1.5, samples);
    recorderStop(recorder, sound);
    recorder = nullptr;
    stopSoundServer(server, true);
    const double goneAt = monotonicSeconds();
    sampleClock(output, 1.0, samples);
    std::string problem;
    ASSERT_TRUE(startSoundServer(server, problem)) << problem;
    std::vector<ClockSample> after;
    // The recorder starts before the player finds the server again, within the second.
    sampleClock(output, 4.0, after, 0.0, [this] { record(); });
    const double back = monotonicSeconds();
    audioStop(output);
    const AudioTrouble trouble = audioTrouble(output);
    audioClose(output);

    {
        std::lock_guard<std::mutex> hold(noticesLock);
        ASSERT_EQ(notices.size(), 2u);
        EXPECT_NE(notices[0].find("the sound server went away at 1."), std::string::npos) << notices[0];
        EXPECT_NE(notices[1].find("the sound server is back; the music goes on from"), std::string::npos) << notices[1];
    }
    EXPECT_GT(trouble.silentSeconds, 0.9);
    EXPECT_LT(trouble.silentSeconds, back - goneAt);
#ifndef KESU_SANITIZED
    samples.insert(samples.end(), after.begin(), after.end());
    EXPECT_LE(longestStand(samples), 0.050) << "the clock stood still";
#endif
    SoundAlignment alignment;
    HeardTimeline timeline;
    measure(music, alignment, timeline);
#ifndef KESU_SANITIZED
    // An instrumented player on a busy machine may well feed a new stream late at its start.
    EXPECT_TRUE(alignment.underruns.empty());
#endif
    const OffsetFigures figures = offsetsFromSound(after, alignment, timeline);
    EXPECT_GT(figures.count, 500u);
    EXPECT_LE(std::fabs(figures.median), 0.010) << "the music went on " << figures.median * 1000 << " ms off the clock";
}

// The player started late, as `kesu --from 160`: its clock moves from the third frame at the
// latest (or within 25 ms, when frames come faster), and the music is heard from 160 s within
// 25 ms of the first picture's swap.
TEST_P(SoundServerRun, LateStartOfThePlayerIsOnTime)
{
#ifdef KESU_SANITIZED
    constexpr double lateStartRunSeconds = 10.0;
#else
    constexpr double lateStartRunSeconds = 3.0;
#endif
    const std::string folder = std::string(KESU_BINARY_DIR) + "/testdata";
    // One log a run: the runs on both servers go on at once under ctest -j.
    const std::string logPath = ::testing::TempDir() + "late-start-clock-" + std::to_string(getpid()) + ".log";
    std::remove(logPath.c_str());
    ProcessOptions options;
    options.workingDirectory = folder;
    options.setEnvironment = {{"SDL_VIDEODRIVER", "offscreen"}, {"SDL_AUDIODRIVER", "pulseaudio"},
                              {"PULSE_SERVER", server.address}, {"KESU_CLOCK_LOG", logPath}};
    options.timeoutSeconds = 60.0;
    auto since = std::make_shared<double>(-1.0);
    options.sendSignalWhen = [since](const std::string& out, const std::string&) {
        if (out.find("kesu: playing") == std::string::npos) return false;
        if (*since < 0) *since = monotonicSeconds();
        return monotonicSeconds() - *since >= lateStartRunSeconds;
    };
    const ProcessResult result = runProcess(std::string(KESU_BINARY_DIR) + "/host/kesu", {"--from", "160"}, options);
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    std::vector<std::int16_t> music;
    LoadError error;
    ASSERT_TRUE(decodeMp3File(folder + "/data/little.mp3", music, error)) << formatLoadError(error);
    SoundAlignment alignment;
    HeardTimeline timeline;
    measure(music, alignment, timeline);

    std::vector<ClockLogLine> lines;
    std::string problem;
    ASSERT_TRUE(readClockLog(logPath, lines, problem)) << problem;
    ASSERT_GE(lines.size(), 3u);
    EXPECT_GE(lines[0].position, 160.0);
#ifndef KESU_SANITIZED
    // The music may have started a moment before the first frame reads its position. The
    // timing holds only at full speed: an instrumented first frame takes longer than 25 ms.
    EXPECT_LT(lines[0].position, 160.025) << "the first picture is not of the start";
    // The clock moves by the third frame; frames that follow each other faster than the music
    // takes to be heard (a few ms on PipeWire) may stand with it, for 25 ms at most.
    std::size_t moved = 1;
    while (moved < lines.size() && lines[moved].position == lines[0].position) ++moved;
    ASSERT_LT(moved, lines.size()) << "the clock never moved";
    const double stood = lines[moved - 1].swapSeconds - lines[0].swapSeconds;
    EXPECT_TRUE(moved <= 2 || stood <= 0.025)
        << "the clock stood still for " << moved << " frames, " << stood * 1000 << " ms";
    const double startFrame = std::lround(160.0 * AUDIO_SAMPLE_RATE);
    EXPECT_NEAR(heardSeconds(alignment, timeline, startFrame), lines[0].swapSeconds, 0.025)
        << "160 s of the music was not heard with the first picture";
#endif
}

INSTANTIATE_TEST_SUITE_P(Servers, SoundServerRun, ::testing::Values(SOUND_SERVER_PULSEAUDIO, SOUND_SERVER_PIPEWIRE),
                         [](const ::testing::TestParamInfo<SoundServerKind>& info) {
                             return std::string(info.param == SOUND_SERVER_PULSEAUDIO ? "PulseAudio" : "PipeWire");
                         });

// A start at a byte other than 0, on every output: the clock starts there; on a server the
// music heard is the music from that byte, heard when the clock says. --from T starts at byte round(T x 44100) x 4.
TEST(AudioOutput, StartsAtTheByteAskedOnEveryOutput)
{
    const std::vector<std::int16_t> music = testMusic(3.0);
    const double from = 1.2;
    const std::uint32_t startByte = static_cast<std::uint32_t>(std::lround(from * AUDIO_SAMPLE_RATE)) * 4;
    for (const char* driver : {"no-such-driver", "dummy", "pulseaudio"}) {
        SCOPED_TRACE(driver);
        SoundServer server;
        std::string missing, problem;
        if (std::string(driver) == "pulseaudio") {
            if (!soundServerInstalled(SOUND_SERVER_PULSEAUDIO, missing)) continue;
            ASSERT_TRUE(startSoundServer(server, problem)) << problem;
            setenv("PULSE_SERVER", server.address.c_str(), 1);
        }
        setenv("SDL_AUDIODRIVER", driver, 1);
        AudioRecorder* recorder = server.address.empty() ? nullptr : recorderStart(server.address, server.monitor, 5.0, problem);
        if (recorder) waitForShortBlocks();
        std::string message;
        AudioOutput* output = audioOpen(message);
        EXPECT_EQ(audioIsSilent(output), std::string(driver) == "no-such-driver");
        audioPlay(output, &music, startByte);
        EXPECT_GE(audioPosition(output), startByte);
        std::vector<ClockSample> samples;
        sampleClock(output, 0.5, samples);
        EXPECT_LT(samples.back().position, from + 0.6);
        EXPECT_GT(samples.back().position, from + 0.2);
        audioStop(output);
        audioClose(output);
        if (recorder) {
            sleepSeconds(0.3);
            RecordedSound sound;
            recorderStop(recorder, sound);
            SoundAlignment alignment;
            HeardTimeline timeline;
            ASSERT_TRUE(alignRecording(music, sound.pcm, alignment, problem)) << problem;
            ASSERT_TRUE(fitHeardTimeline(sound.marks, timeline, problem)) << problem;
            // A null sink that rendered ahead rewinds to take the new stream in, and its
            // monitor may miss the first milliseconds; what follows is the music from there,
            // heard when the clock says.
            EXPECT_GE(alignment.recordingStart, startByte / 4);
            EXPECT_LT(alignment.recordingStart, startByte / 4 + 0.03 * AUDIO_SAMPLE_RATE);
            const OffsetFigures figures = offsetsFromSound(samples, alignment, timeline);
            EXPECT_LE(std::fabs(figures.median), 0.006) << "median offset " << figures.median * 1000 << " ms";
        }
        stopSoundServer(server);
    }
}
