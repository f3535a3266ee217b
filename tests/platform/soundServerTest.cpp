#include "platform/files/loadError.h"
#include "platform/sound/audio.h"
#include "platform/sound/audioRecorder.h"
#include "platform/sound/mp3Decoder.h"
#include "tests/support/processRunner.h"
#include "tests/support/regularBuildOnly.h"
#include "tools/audioclock/clockAnalysis.h"
#include "tools/audioclock/soundServer.h"

#include <gtest/gtest.h>

#include <time.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int rate = 44100;

// The sanitized build runs the audio layer and the player several times slower, on a machine
// busy with other tests: there the runs check what is heard and in what order, and leave out
// how closely, in milliseconds, the clock follows it.
#ifdef KESU_SANITIZED
constexpr bool timingChecked = false;
#else
constexpr bool timingChecked = true;
#endif

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

// A frame's clock is read at its READ field (in a log without one, at the previous swap); it
// is shown at its own swap, drawn for its third column (a log of two columns: for the
// position read).
TEST(ClockLog, FrameIsReadAtItsReadTimeShownAtItsSwapAndBadLinesAreNamed)
{
    const std::string path = ::testing::TempDir() + "clock.log";
    FILE* file = std::fopen(path.c_str(), "w");
    std::fputs("10.0 0.0 0.0 9.99\n10.5 0.25 0.27\n11.0 0.75\n", file);
    std::fclose(file);
    std::vector<ClockLogLine> lines;
    std::string problem;
    ASSERT_TRUE(readClockLog(path, lines, problem)) << problem;
    const std::vector<ClockSample> readings = clockReadings(lines);
    ASSERT_EQ(readings.size(), 3u);
    EXPECT_EQ(readings[0].readSeconds, 9.99);
    EXPECT_EQ(readings[2].readSeconds, 10.5);
    EXPECT_EQ(readings[2].position, 0.75);
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

// Stops this whole process, the output's feeder with it, for `seconds` while the server plays on.
void stallThisProcess(double seconds)
{
    const pid_t self = getpid();
    const pid_t waker = fork();
    if (waker == 0) {
        const timespec stall{static_cast<time_t>(seconds), static_cast<long>(std::fmod(seconds, 1.0) * 1e9)};
        kill(self, SIGSTOP);
        nanosleep(&stall, nullptr);
        kill(self, SIGCONT);
        _exit(0);
    }
    ASSERT_GT(waker, 0);
    waitpid(waker, nullptr, 0);
}

double secondsOf(std::uint32_t byte) { return byte / static_cast<double>(AUDIO_BYTES_PER_SECOND); }

// The byte of the music at `seconds`: round(seconds x 44100) x 4.
std::uint32_t byteAt(double seconds) { return static_cast<std::uint32_t>(std::llround(seconds * rate)) * 4; }

// The clock read every millisecond until `done` (or for `seconds`), checked to never go back and
// to be a whole frame.
void sampleClock(AudioOutput* output, double seconds, std::vector<ClockSample>& samples,
                 const std::function<bool()>& done = nullptr)
{
    const double start = monotonicSeconds();
    std::uint32_t last = samples.empty() ? 0 : static_cast<std::uint32_t>(std::lround(samples.back().position * AUDIO_BYTES_PER_SECOND));
    while (done ? !done() : monotonicSeconds() - start < seconds) {
        const double before = monotonicSeconds();
        const std::uint32_t position = audioPosition(output);
        samples.push_back({(before + monotonicSeconds()) / 2, secondsOf(position)});
        ASSERT_GE(position, last) << "the clock went back at " << samples.back().readSeconds - start << " s";
        ASSERT_EQ(position % 4, 0u);
        last = position;
        sleepSeconds(0.001);
    }
}

// The longest stretch over which the clock stood still, in seconds.
double longestStand(const std::vector<ClockSample>& samples)
{
    double longest = 0.0, since = samples.empty() ? 0.0 : samples.front().readSeconds;
    for (std::size_t i = 1; i < samples.size(); ++i) {
        if (samples[i].position != samples[i - 1].position) since = samples[i].readSeconds;
        longest = std::max(longest, samples[i].readSeconds - since);
    }
    return longest;
}

// The clock's position at `seconds`, from the samples around it.
double clockAt(const std::vector<ClockSample>& samples, double seconds)
{
    const auto after = std::lower_bound(samples.begin(), samples.end(), seconds,
                                        [](const ClockSample& sample, double t) { return sample.readSeconds < t; });
    return after == samples.end() ? samples.back().position : after->position;
}

// Frames of the recording from `from` to `to` that are not silent.
std::int64_t soundingFrames(const std::vector<std::int16_t>& recorded, std::int64_t from, std::int64_t to)
{
    std::int64_t count = 0;
    for (std::int64_t k = std::max<std::int64_t>(from, 0); k < to; ++k)
        count += recorded[2 * static_cast<std::size_t>(k)] != 0 || recorded[2 * static_cast<std::size_t>(k) + 1] != 0;
    return count;
}

// A restart at `byte`, made at `madeAt`, against the recording: the music from that byte is
// heard, at most 30 ms of other sound is heard after the restart, and the clock read after it
// stands at the byte until the byte is heard, then follows the sound within 6 ms at the median.
// No reading runs ahead of the sound by half a quantum (12 ms): a clock that leaves the byte
// before it is heard, or jumps a quantum ahead, fails; the few milliseconds either way that the
// recording's own timing reports scatter by (single readings have come out 7 ms ahead on an
// idle machine) do not.
void checkRestart(const std::vector<std::int16_t>& music, const RecordedSound& sound, const HeardTimeline& timeline,
                  std::uint32_t byte, double madeAt, const std::vector<ClockSample>& after)
{
    const std::int64_t musicFrame = byte / 4;
    const std::int64_t madeFrame = std::llround(recordedFrameAt(timeline, madeAt));
    // A null sink that rendered ahead rewinds to take the new music in, and its monitor may
    // miss up to 30 ms of it: the music is looked for from there on.
    const std::int64_t missed = rate * 3 / 100;
    const std::int64_t heardFrame =
        findMusicInRecording(music, sound.pcm, musicFrame + missed, rate / 5, madeFrame - rate / 100) - missed;
    ASSERT_GE(heardFrame, 0) << "the music from " << secondsOf(byte) << " s is not in the recording";
    EXPECT_LE(soundingFrames(sound.pcm, madeFrame, heardFrame), 0.030 * rate)
        << "old sound heard after the restart at " << secondsOf(byte) << " s";
    const double heardAt = recordedFrameSeconds(timeline, static_cast<double>(heardFrame));
    std::vector<double> offsets;
    for (const ClockSample& sample : after) {
        const double ahead = sample.position - secondsOf(byte);
        ASSERT_GE(ahead, 0.0) << "the clock is behind the restart's byte";
        if (timingChecked) {
            EXPECT_LE(ahead, std::max(0.0, sample.readSeconds - heardAt) + 0.012)
                << "the clock ran " << ahead * 1000 << " ms ahead of the restart at " << secondsOf(byte) << " s, "
                << (sample.readSeconds - heardAt) * 1000 << " ms after it was heard";
        }
        if (sample.readSeconds > heardAt + 0.05)
            offsets.push_back(sample.readSeconds - recordedFrameSeconds(timeline, static_cast<double>(heardFrame) + ahead * rate));
    }
    ASSERT_GT(offsets.size(), 100u);
    std::nth_element(offsets.begin(), offsets.begin() + static_cast<std::ptrdiff_t>(offsets.size() / 2), offsets.end());
    if (timingChecked) {
        EXPECT_LE(std::fabs(offsets[offsets.size() / 2]), 0.006) << "after the restart at " << secondsOf(byte) << " s";
    }
}

// A private server of the parameter's kind (PipeWire with its quantum pinned at 1024 frames,
// so that the read index moves a whole 23 ms at a time), with a recorder on its sink's monitor.
// One server of each kind serves every case of the suite run in this process: the first case
// starts it, the suite's end stops it. A recorder of its own stays on the monitor throughout, so
// that the sink takes short blocks from the moment each case's recorder connects (an idle null
// sink renders 2 s ahead). Skipped only when the server's programs are not installed; a server
// that will not start fails the test with its own log.
struct SharedServer {
    SoundServer server;
    AudioRecorder* keeper = nullptr;
};

SharedServer& sharedServer(SoundServerKind kind)
{
    static SharedServer servers[2];
    return servers[kind == SOUND_SERVER_PULSEAUDIO ? 0 : 1];
}

class SoundServerRun : public ::testing::TestWithParam<SoundServerKind> {
protected:
    static void TearDownTestSuite()
    {
        for (const SoundServerKind kind : {SOUND_SERVER_PULSEAUDIO, SOUND_SERVER_PIPEWIRE}) {
            SharedServer& shared = sharedServer(kind);
            dropKeeper(shared);
            if (!shared.server.processes.empty()) stopSoundServer(shared.server);
        }
    }

    static void dropKeeper(SharedServer& shared)
    {
        if (!shared.keeper) return;
        RecordedSound ignored;
        recorderStop(shared.keeper, ignored);
        shared.keeper = nullptr;
    }

    void SetUp() override
    {
        std::string missing;
        if (!soundServerInstalled(GetParam(), missing)) GTEST_SKIP() << missing << " is not installed";
        if (server.processes.empty()) {
            server.kind = GetParam();
            server.quantum = 1024;
            std::string problem;
            ASSERT_TRUE(startSoundServer(server, problem)) << problem;
            keepShortBlocks();
        }
        setenv("PULSE_SERVER", server.address.c_str(), 1);
        setenv("SDL_AUDIODRIVER", "pulseaudio", 1);
        record();
    }

    void TearDown() override
    {
        if (recorder) recorderStop(recorder, sound);
        recorder = nullptr;
    }

    // The suite's own recorder on the monitor: after the server has started, and again after it
    // has come back.
    void keepShortBlocks()
    {
        SharedServer& shared = sharedServer(GetParam());
        dropKeeper(shared);
        std::string problem;
        shared.keeper = recorderStart(server.address, server.monitor, 0.1, problem);
        ASSERT_NE(shared.keeper, nullptr) << problem;
        waitForShortBlocks(shared.keeper);
    }

    void record()
    {
        std::string problem;
        recorder = recorderStart(server.address, server.monitor, 20.0, problem);
        ASSERT_NE(recorder, nullptr) << problem;
        waitForShortBlocks(recorder);
    }

    // Stops the recording and fits its heard times; with `alignment`, lays it over the music.
    void measure(const std::vector<std::int16_t>& music, SoundAlignment* alignment, HeardTimeline& timeline)
    {
        sleepSeconds(0.3);
        recorderStop(recorder, sound);
        recorder = nullptr;
        EXPECT_EQ(sound.lostBlocks, 0u);
        std::string problem;
        ASSERT_TRUE(fitHeardTimeline(sound.marks, timeline, problem)) << problem;
        if (alignment) {
            ASSERT_TRUE(alignRecording(music, sound.pcm, *alignment, problem)) << problem;
        }
    }

    SoundServer& server = sharedServer(GetParam()).server;
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
    EXPECT_NEAR(audioPausedSeconds(output), 0.5, 0.05);
    audioPause(output, false);
    std::vector<ClockSample> resumed;
    sampleClock(output, 2.3, resumed);
    audioStop(output);
    EXPECT_EQ(audioTrouble(output).underruns, 0u);
    EXPECT_EQ(audioTrouble(output).dropouts, 0u);
    audioClose(output);

    SoundAlignment alignment;
    HeardTimeline timeline;
    measure(music, &alignment, timeline);
    // The pause is the one stretch of silence the music does not hold: half a second, after
    // which the music goes on from where it stopped, nothing of it lost.
    ASSERT_EQ(alignment.underruns.size(), 1u);
    EXPECT_NEAR(alignment.underruns[0].musicSeconds, secondsOf(pausedAt), 0.03);
    EXPECT_NEAR(alignment.underruns[0].frames / static_cast<double>(rate), 0.5, 0.05);
    EXPECT_EQ(alignment.framesLost, 0);
    EXPECT_EQ(alignment.heardUntil, alignment.musicEnd);
    // Around the pause a position was heard twice (as the sound stopped and as it went on), so
    // the clock is measured away from it.
    const double pause = secondsOf(pausedAt);
    samples.insert(samples.end(), resumed.begin(), resumed.end());
    samples.erase(std::remove_if(samples.begin(), samples.end(),
                                 [pause](const ClockSample& sample) { return std::fabs(sample.position - pause) < 0.03; }),
                  samples.end());
    const OffsetFigures figures = offsetsFromSound(samples, alignment, timeline);
    EXPECT_GT(figures.count, 1000u);
    if (!timingChecked) return;
    EXPECT_LE(std::fabs(figures.median), 0.006) << "median offset " << figures.median * 1000 << " ms";
    EXPECT_LE(std::fabs(figures.worst), 0.025) << "worst offset " << figures.worst * 1000 << " ms";
}

// Started at a byte, then started again at another while playing and at a third while paused:
// each time the clock stands at the new byte until it is heard and then follows the sound, the
// music from that byte is what is heard, and no more than 30 ms of the old sound after it.
// The queue a restart empties is no underrun; a stall longer than the queue is one.
TEST_P(SoundServerRun, StartsAndRestartsAtTheByteAskedWhilePlayingAndWhilePaused)
{
    const std::vector<std::int16_t> music = testMusic(6.0);
    const std::uint32_t bytes[] = {byteAt(1.2), byteAt(3.3), byteAt(2.25)};
    std::string message;
    AudioOutput* output = audioOpen(message);
    ASSERT_FALSE(audioIsSilent(output)) << message;
    std::vector<ClockSample> runs[3];
    double madeAt[3];
    madeAt[0] = monotonicSeconds();
    audioPlay(output, &music, bytes[0]);
    sampleClock(output, 0.6, runs[0]);
    madeAt[1] = monotonicSeconds();
    audioRestart(output, bytes[1]);
    sampleClock(output, 0.6, runs[1]);
    audioPause(output, true);
    sleepSeconds(0.1);
    audioRestart(output, bytes[2]);
    EXPECT_EQ(audioPosition(output), bytes[2]) << "a restart while paused does not move the clock";
    sleepSeconds(0.2);
    EXPECT_EQ(audioPosition(output), bytes[2]) << "the clock moved while paused";
    madeAt[2] = monotonicSeconds();
    audioPause(output, false);
    sampleClock(output, 0.6, runs[2]);
    EXPECT_EQ(audioTrouble(output).underruns, 0u) << "a restart counted as an underrun";
    HeardTimeline timeline;
    measure(music, nullptr, timeline);
    stallThisProcess(0.8);
    sleepSeconds(0.2);
    EXPECT_EQ(audioTrouble(output).underruns, 1u) << "the stall was not counted";
    audioStop(output);
    audioClose(output);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        checkRestart(music, sound, timeline, bytes[i], madeAt[i], runs[i]);
    }
}

// The server goes away mid-run and comes back on the same socket a second later: the player
// is told of both, once each, the second time within a second of the server's return (it tries
// every second) and with where the music goes on; its clock, read from before the server goes
// until after the music is back, goes on at the nominal rate, never back and never standing;
// the music goes on where it says, heard when the clock is there, and the silence counted is
// the silence heard.
TEST_P(SoundServerRun, GoingAwayAndComingBackTheMusicGoesOnWhereTheClockIs)
{
    const std::vector<std::int16_t> music = testMusic(9.0);
    std::mutex noticesLock;
    std::vector<std::pair<double, std::string>> notices;
    std::string message;
    AudioOutput* output = audioOpen(message, [&](const std::string& text) {
        std::lock_guard<std::mutex> hold(noticesLock);
        notices.emplace_back(monotonicSeconds(), text);
    });
    ASSERT_FALSE(audioIsSilent(output)) << message;
    std::vector<ClockSample> samples;
    samples.reserve(40000);
    std::atomic<bool> sampling{true};
    audioPlay(output, &music);
    std::thread sampler([&] { sampleClock(output, 0.0, samples, [&] { return !sampling.load(); }); });
    sleepSeconds(1.0);
    recorderStop(recorder, sound);
    recorder = nullptr;
    const double goneAt = monotonicSeconds();
    stopSoundServer(server, true);
    sleepSeconds(1.0);
    std::string problem;
    const bool restarted = startSoundServer(server, problem);
    const double backAt = monotonicSeconds();
    // The recording first, so that it hears the music go on; the suite's own recorder after it.
    if (restarted) {
        record();
        keepShortBlocks();
    }
    sleepSeconds(1.5);
    sampling = false;
    sampler.join();
    ASSERT_TRUE(restarted) << problem;
    audioStop(output);
    const AudioTrouble trouble = audioTrouble(output);
    audioClose(output);

    ASSERT_EQ(notices.size(), 2u);
    const std::string gone = "the sound server went away at ";
    ASSERT_EQ(notices[0].second.rfind(gone, 0), 0u) << notices[0].second;
    EXPECT_NEAR(std::atof(notices[0].second.c_str() + gone.size()), clockAt(samples, notices[0].first), 0.02);
    const std::string back = "the sound server is back; the music goes on from ";
    ASSERT_EQ(notices[1].second.rfind(back, 0), 0u) << notices[1].second;
    EXPECT_LE(notices[1].first - backAt, 1.2) << "the server was back " << notices[1].first - backAt << " s before the player found it";
    const double stand = longestStand(samples);
    std::printf("the clock's longest stand across the server's absence: %.1f ms\n", stand * 1000.0);
    if (timingChecked) {
        EXPECT_LE(stand, 0.050) << "the clock stood still";
    }
    SoundAlignment alignment;
    HeardTimeline timeline;
    measure(music, &alignment, timeline);
    // An instrumented player on a busy machine may well feed a new stream late at its start.
    if (timingChecked) {
        EXPECT_TRUE(alignment.underruns.empty());
    }
    // The monitor may miss the first milliseconds of the new stream, as of any start.
    const double resumedAt = std::atof(notices[1].second.c_str() + back.size());
    EXPECT_GE(alignment.recordingStart, std::lround(resumedAt * rate) - rate / 200);
    EXPECT_LT(alignment.recordingStart, std::lround(resumedAt * rate) + rate * 3 / 100) << "the music went on elsewhere";
    const double heardAgain = heardSeconds(alignment, timeline, static_cast<double>(alignment.recordingStart));
    EXPECT_NEAR(trouble.silentSeconds, heardAgain - goneAt, 0.1);
    std::vector<ClockSample> after;
    for (const ClockSample& sample : samples)
        if (sample.readSeconds > heardAgain) after.push_back(sample);
    const OffsetFigures figures = offsetsFromSound(after, alignment, timeline);
    EXPECT_GT(figures.count, 300u);
    if (!timingChecked) return;
    EXPECT_LE(std::fabs(figures.median), 0.010) << "the music went on " << figures.median * 1000 << " ms off the clock";
    EXPECT_LE(std::fabs(figures.worst), 0.025) << "the music went on " << figures.worst * 1000 << " ms off the clock at worst";
}

// The player started late at a fraction of a second, as `kesu --from 160.37`: it starts the
// music at byte round(160.37 x 44100) x 4, its clock moves from the third frame at the latest
// (or within 25 ms, when frames come faster), and that byte is heard while the first picture is
// drawn, from its reading of the clock to its swap, within 25 ms.
TEST_P(SoundServerRun, LateStartOfThePlayerIsOnTime)
{
    KESU_REGULAR_BUILD_ONLY("times the first picture against its sound; the audio layer runs in the cases above");
    constexpr double lateStartRunSeconds = timingChecked ? 3.0 : 10.0;
    const std::string folder = std::string(KESU_BINARY_DIR) + "/testdata";
    // One log a run, whatever else runs at the time.
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
    const ProcessResult result = runProcess(std::string(KESU_BINARY_DIR) + "/host/kesu", {"--from", "160.37"}, options);
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    std::vector<std::int16_t> music;
    LoadError error;
    ASSERT_TRUE(decodeMp3File(folder + "/data/little.mp3", music, error)) << formatLoadError(error);
    SoundAlignment alignment;
    HeardTimeline timeline;
    measure(music, &alignment, timeline);

    std::vector<ClockLogLine> lines;
    std::string problem;
    ASSERT_TRUE(readClockLog(logPath, lines, problem)) << problem;
    ASSERT_GE(lines.size(), 3u);
    const std::int64_t startFrame = byteAt(160.37) / 4;
    EXPECT_GE(lines[0].position, secondsOf(byteAt(160.37)) - 1e-5);
    // The music may have started a moment before the first frame reads its position. The
    // timing holds only at full speed: an instrumented first frame takes longer than 25 ms.
    if (!timingChecked) return;
    EXPECT_LT(lines[0].position, 160.37 + 0.025) << "the first picture is not of the start";
    // The clock moves by the third frame; frames that follow each other faster than the music
    // takes to be heard (a few ms on PipeWire) may stand with it, for 25 ms at most.
    std::size_t moved = 1;
    while (moved < lines.size() && lines[moved].position == lines[0].position) ++moved;
    ASSERT_LT(moved, lines.size()) << "the clock never moved";
    const double stood = lines[moved - 1].swapSeconds - lines[0].swapSeconds;
    EXPECT_TRUE(moved <= 2 || stood <= 0.025)
        << "the clock stood still for " << moved << " frames, " << stood * 1000 << " ms";
    // A null sink that rendered ahead rewinds to take the music in, and its monitor may miss
    // the first milliseconds; what follows is the music from the byte asked.
    EXPECT_GE(alignment.recordingStart, startFrame) << "the music did not start at the byte asked";
    EXPECT_LT(alignment.recordingStart, startFrame + 0.03 * rate) << "the music did not start at the byte asked";
    // The first picture takes a software rasteriser up to 30 ms to draw after the music has
    // started: the byte is heard while it is drawn, or within 25 ms either side.
    const double heard = heardSeconds(alignment, timeline, static_cast<double>(startFrame));
    EXPECT_GE(heard, lines[0].readSeconds - 0.025) << "160.37 s of the music was heard before the first picture was drawn";
    EXPECT_LE(heard, lines[0].swapSeconds + 0.025) << "160.37 s of the music was heard after the first picture";
}

namespace {

// The gain at which the recording holds the music over `frames` frames from music frame
// `musicFrame`, music frame m being recorded frame m + offset: the least-squares factor.
// A recording that lost its place in the music gives about 0.
double gainAt(const std::vector<std::int16_t>& music, const std::vector<std::int16_t>& recorded, std::int64_t offset,
              std::int64_t musicFrame, std::int64_t frames)
{
    double musicPower = 0.0, product = 0.0;
    for (std::int64_t k = musicFrame; k < musicFrame + frames; ++k) {
        const std::int64_t heard = k + offset;
        if (k < 0 || heard < 0 || 2 * static_cast<std::size_t>(k) + 1 >= music.size() ||
            2 * static_cast<std::size_t>(heard) + 1 >= recorded.size())
            continue;
        for (std::size_t channel = 0; channel < 2; ++channel) {
            const double m = music[2 * static_cast<std::size_t>(k) + channel];
            musicPower += m * m;
            product += m * recorded[2 * static_cast<std::size_t>(heard) + channel];
        }
    }
    return musicPower > 0.0 ? product / musicPower : 0.0;
}

double decibels(double gain) { return 20.0 * std::log10(std::max(gain, 1e-9)); }

} // namespace

// The music's level through the server's stream volume: each change is heard within 100 ms at
// the gain the mixers' cubic curve gives (0.5 is -18.1 dB), 0 is silence, and no byte moves:
// the music stays at its place in the recording and the clock goes on as before.
TEST_P(SoundServerRun, TheLevelFollowsTheMixersCurveIsHeardWithin100MsAndMovesNoByte)
{
    const std::vector<std::int16_t> music = testMusic(4.0);
    std::string message;
    AudioOutput* output = audioOpen(message);
    EXPECT_EQ(message, "");
    struct Change {
        double at;      // music seconds
        double level;
        double madeAt;  // monotonic seconds of the call
    };
    std::vector<Change> changes = {{0.6, 0.5, 0.0}, {1.4, 0.25, 0.0}, {2.2, 0.0, 0.0}, {3.0, 0.8, 0.0}};
    std::vector<ClockSample> samples;
    samples.reserve(20000);
    audioPlay(output, &music);
    for (Change& change : changes) {
        sampleClock(output, 0.0, samples, [&] { return secondsOf(audioPosition(output)) >= change.at; });
        change.madeAt = monotonicSeconds();
        audioSetVolume(output, change.level);
    }
    EXPECT_EQ(audioVolume(output), 0.8);
    sampleClock(output, 0.0, samples, [&] { return secondsOf(audioPosition(output)) >= 3.7; });
    audioStop(output);
    audioClose(output);
    // The clock never runs ahead of the time between two reads (a loaded machine may leave
    // the reader asleep for a while, and the clock rightly goes on meanwhile).
    for (std::size_t i = 1; i < samples.size(); ++i)
        ASSERT_LT((samples[i].position - samples[i - 1].position) - (samples[i].readSeconds - samples[i - 1].readSeconds), 0.05)
            << "the clock jumped at " << samples[i].position << " s";

    HeardTimeline timeline;
    measure(music, nullptr, timeline);
    // At full level the recording holds the music sample for sample: that places it.
    const std::int64_t placedFrom = rate / 5;
    const std::int64_t heard = findMusicInRecording(music, sound.pcm, placedFrom, rate / 5);
    ASSERT_GE(heard, 0) << "the music at full level is not in the recording";
    const std::int64_t offset = heard - placedFrom;
    EXPECT_NEAR(decibels(gainAt(music, sound.pcm, offset, placedFrom, rate / 4)), 0.0, 0.05);
    // Measured from 100 ms after each call (300 ms where an instrumented build is slow to feed),
    // for a quarter of a second.
    const double settle = timingChecked ? 0.1 : 0.3;
    for (const Change& change : changes) {
        const std::int64_t from = std::llround(recordedFrameAt(timeline, change.madeAt + settle)) - offset;
        const double gain = gainAt(music, sound.pcm, offset, from, rate / 4);
        const double expected = change.level * change.level * change.level;
        if (change.level == 0.0) {
            EXPECT_EQ(soundingFrames(sound.pcm, from + offset, from + offset + rate / 4), 0)
                << "level 0 is not silence " << settle * 1000 << " ms after it was set";
        } else {
            EXPECT_NEAR(decibels(gain), decibels(expected), 0.5)
                << "level " << change.level << ", " << settle * 1000 << " ms after it was set";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Servers, SoundServerRun, ::testing::Values(SOUND_SERVER_PULSEAUDIO, SOUND_SERVER_PIPEWIRE),
                         [](const ::testing::TestParamInfo<SoundServerKind>& info) {
                             return std::string(info.param == SOUND_SERVER_PULSEAUDIO ? "PulseAudio" : "PipeWire");
                         });

// SDL's device (its disk driver, which writes what it plays to a file at the pace of a device)
// and silence: started at a byte, started again at another while playing and at a third while
// paused, the clock stands at each new byte until the output plays it; on the device, what it
// plays after the restart is the music from that byte, after no more than the buffer under way.
TEST(AudioOutput, StartsAndRestartsAtTheByteAskedOnTheDeviceAndInSilence)
{
    const std::vector<std::int16_t> music = testMusic(6.0);
    const std::uint32_t bytes[] = {byteAt(1.2), byteAt(3.3), byteAt(2.25)};
    const std::string diskFile = ::testing::TempDir() + "device-" + std::to_string(getpid()) + ".raw";
    for (const char* driver : {"no-such-driver", "disk"}) {
        SCOPED_TRACE(driver);
        const bool device = std::string(driver) == "disk";
        setenv("SDL_AUDIODRIVER", driver, 1);
        setenv("SDL_DISKAUDIOFILE", diskFile.c_str(), 1);
        setenv("SDL_DISKAUDIODELAY", "11", 1);
        std::remove(diskFile.c_str());
        std::string message;
        AudioOutput* output = audioOpen(message);
        ASSERT_EQ(audioIsSilent(output), !device) << message;
        const auto written = [&] {
            std::error_code ignored;
            return static_cast<std::int64_t>(std::filesystem::file_size(diskFile, ignored)) / 4;
        };
        std::int64_t writtenAt[3] = {};
        for (int i = 0; i < 3; ++i) {
            if (i == 2) audioPause(output, true);
            writtenAt[i] = written();
            if (i == 0) audioPlay(output, &music, bytes[0]);
            else audioRestart(output, bytes[i]);
            const std::uint32_t first = audioPosition(output);
            EXPECT_GE(first, bytes[i]);
            EXPECT_LE(secondsOf(first - bytes[i]), 0.002) << "the clock did not start at the byte asked";
            if (i == 2) {
                sleepSeconds(0.2);
                EXPECT_EQ(audioPosition(output), bytes[i]) << "the clock moved while paused";
                audioPause(output, false);
            }
            std::vector<ClockSample> samples;
            sampleClock(output, 0.5, samples);
            EXPECT_NEAR(samples.back().position - secondsOf(bytes[i]), 0.5, device ? 0.06 : 0.01);
        }
        // Half the level, on the mixers' curve: the device's buffers after it at -18.1 dB.
        const std::int64_t quietFrom = written();
        audioSetVolume(output, 0.5);
        std::vector<ClockSample> quiet;
        sampleClock(output, 0.4, quiet);
        audioStop(output);
        audioClose(output);
        if (!device) continue;
        std::ifstream file(diskFile, std::ios::binary);
        std::vector<std::int16_t> played(static_cast<std::size_t>(written()) * 2);
        file.read(reinterpret_cast<char*>(played.data()), static_cast<std::streamsize>(played.size() * 2));
        for (int i = 0; i < 3; ++i) {
            const std::int64_t at = findMusicInRecording(music, played, bytes[i] / 4, rate / 5, writtenAt[i]);
            ASSERT_GE(at, 0) << "the device never played the music from " << secondsOf(bytes[i]) << " s";
            // The file's size lags behind by its stdio buffer (4 KiB, 1024 frames); what the
            // device played after that is the buffer under way (512 frames) at most.
            EXPECT_LE(soundingFrames(played, writtenAt[i], at), 1536) << "the device played on with the old music";
            if (i != 2) continue;
            const std::int64_t offset = at - bytes[i] / 4;
            EXPECT_NEAR(decibels(gainAt(music, played, offset, quietFrom + 1536 - offset, rate / 5)), -18.06, 0.5)
                << "the level did not reach the device";
        }
    }
    std::remove(diskFile.c_str());
}
