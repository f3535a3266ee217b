// What is heard on PipeWire, from scripted reports of a graph at 44100 Hz with a quantum of
// 1024 frames (or 256): at each cycle's start the read index moves a whole quantum ahead, and
// that quantum is heard over the cycle. Reports come every 17 ms, out of step with the cycle.
#include "platform/sound/pipeWirePacing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr double sampleRate = 44100.0;
constexpr double quantumFrames = 1024.0;
constexpr double cycleSeconds = quantumFrames / sampleRate;

// The graph, from `start`: the read index at `seconds`, in bytes, and what is heard then.
// The skipped cycle, if any, passes the stream by: its read index stands still through it.
struct Graph {
    double start = 100.0;
    int skippedCycle = -1;
    double quantum = quantumFrames;

    double cycle() const { return quantum / sampleRate; }
    std::int64_t cyclesTaken(double seconds) const
    {
        const std::int64_t cycle = static_cast<std::int64_t>(std::floor((seconds - start) / this->cycle()));
        return cycle + 1 - (skippedCycle >= 0 && cycle >= skippedCycle ? 1 : 0);
    }
    std::uint64_t readIndex(double seconds) const { return static_cast<std::uint64_t>(cyclesTaken(seconds) * quantum * 4); }
    double heardBytes(double seconds) const
    {
        const double inCycle = std::fmod(seconds - start, cycle());
        return ((cyclesTaken(seconds) - 1) * quantum + inCycle * sampleRate) * 4;
    }
};

// The times of the reports as the player asks for them: every 17 ms, and after every refill,
// 25 ms apart.
std::vector<double> reportTimes(double from, double to)
{
    std::vector<double> times;
    for (double t = from; t < to; t += 0.017) times.push_back(t);
    for (double t = from + 0.011; t < to; t += 0.025) times.push_back(t);
    std::sort(times.begin(), times.end());
    return times;
}

// A report's stamp off by up to a millisecond either way, the same from run to run.
double jitter(unsigned& state)
{
    state = state * 1103515245u + 12345u;
    return (static_cast<double>(state >> 16 & 0x7fff) / 0x7fff - 0.5) * 0.002;
}

} // namespace

// Once the reports have met the end of some cycle, what is heard is within half a millisecond
// of the truth, where the read index alone runs up to a quantum ahead; right after the start,
// with nothing to go on but the first move, it is never more than a millisecond ahead. No
// dropout is counted.
TEST(PipeWirePacing, ReadIndexLessTheQuantumItStandsAheadIsWhatIsHeard)
{
    const Graph graph;
    PipeWirePacing pacing;
    stopPacing(pacing, 0);   // the stream stood corked at its start
    for (double t = graph.start + 0.003; t < graph.start + 3.0; t += 0.017) {
        const double error = (pacedReadIndex(pacing, graph.readIndex(t), t) - graph.heardBytes(t)) / (4 * sampleRate);
        if (t > graph.start + 0.5) {
            EXPECT_NEAR(error, 0.0, 0.0005) << "at " << t - graph.start << " s";
        }
        EXPECT_LE(error, 0.001) << "ahead of what is heard at " << t - graph.start << " s";
    }
    EXPECT_EQ(pacing.dropouts, 0u);
}

// One cycle the graph skips the stream: one dropout of one quantum, and what is heard then
// goes on from the new stand, at 1024 frames and at 256, with stamps a millisecond off. Two
// reports in a row stamped 25 ms late (a server thread held up between reading the index and
// stamping it) are no dropout, and move nothing.
TEST(PipeWirePacing, OneSkippedCycleIsOneDropoutOfAQuantumAndLateReportsAreNone)
{
    for (const double quantum : {1024.0, 256.0}) {
        SCOPED_TRACE(quantum);
        Graph graph;
        graph.quantum = quantum;
        graph.skippedCycle = static_cast<int>(2.3 / graph.cycle());   // after the stand has settled
        PipeWirePacing pacing;
        stopPacing(pacing, 0);
        unsigned state = 7;
        for (const double t : reportTimes(graph.start + 0.003, graph.start + 4.0))
            pacedReadIndex(pacing, graph.readIndex(t), t + jitter(state));
        const double t = graph.start + 4.0;
        EXPECT_EQ(pacing.dropouts, 1u);
        EXPECT_NEAR(pacing.droppedBytes / 4, quantum, 0.03 * quantum);
        EXPECT_NEAR((pacedReadIndex(pacing, graph.readIndex(t), t) - graph.heardBytes(t)) / (4 * sampleRate), 0.0, 0.0015);

        Graph steady;
        steady.quantum = quantum;
        PipeWirePacing late;
        stopPacing(late, 0);
        for (const double t : reportTimes(steady.start + 0.003, steady.start + 4.0)) {
            const double stamped = t > steady.start + 2.3 && t < steady.start + 2.33 ? t + 0.025 : t;
            const double error = (pacedReadIndex(late, steady.readIndex(t), stamped) - steady.heardBytes(stamped)) / (4 * sampleRate);
            if (t > steady.start + 0.5) {
                EXPECT_NEAR(error, 0.0, 0.001) << "at " << t - steady.start << " s";
            }
        }
        EXPECT_EQ(late.dropouts, 0u);
    }
}

// The stream stops (a pause, a flush) for a while and plays again: the stand carried over by
// whole quanta keeps what is heard from running ahead of the truth right after it starts again.
TEST(PipeWirePacing, AStandCarriedOverAStopKeepsTheClockFromRunningAhead)
{
    const Graph graph;
    PipeWirePacing pacing;
    stopPacing(pacing, 0);
    double t = graph.start + 0.003;
    for (; t < graph.start + 1.5; t += 0.017) pacedReadIndex(pacing, graph.readIndex(t), t);
    // Stopped for 0.4 s: the graph's cycle goes on, and the stream's read index stands.
    const double stoppedFor = 20 * graph.cycle();
    stopPacing(pacing, graph.readIndex(t));
    Graph after = graph;
    after.start += stoppedFor;
    for (t += stoppedFor + 0.001; t < graph.start + 2.5; t += 0.017) {
        const double error = (pacedReadIndex(pacing, after.readIndex(t), t) - after.heardBytes(t)) / (4 * sampleRate);
        EXPECT_LE(error, 0.001) << "ahead of what is heard at " << t - graph.start << " s";
        EXPECT_GE(error, -0.001) << "behind what is heard at " << t - graph.start << " s";
    }
    EXPECT_EQ(pacing.dropouts, 0u);
}

// Sixty seconds of reports recorded from the player's stream on a real PipeWire service, at a
// quantum of 256 frames: against the player's timer they fall at a few places in the cycle,
// some stamped late. Taken as they are, no dropout. With a skipped cycle put in (the read index
// a quantum lower from then on) at eleven places, one dropout of one quantum at nearly all of
// them, and at every one what is heard ends a quantum lower.
TEST(PipeWirePacing, OnTheReportsOfARealServerNoFalseDropoutAndSkippedCyclesFound)
{
    struct Report {
        double seconds;
        std::uint64_t readIndex;
    };
    std::vector<Report> reports;
    std::ifstream file(KESU_SOURCE_DIR "/tests/data/pipewire-reports.txt");
    for (std::string line; std::getline(file, line);) {
        Report report{};
        if (!line.empty() && line[0] != '#' && std::istringstream(line) >> report.seconds >> report.readIndex) {
            report.seconds += 1000.0;
            reports.push_back(report);
        }
    }
    ASSERT_GT(reports.size(), 5000u);
    const auto play = [&](double skipAt, PipeWirePacing& pacing) {
        stopPacing(pacing, 0);
        double heard = 0.0;
        for (const Report& report : reports) {
            const bool skipped = report.seconds - 1000.0 >= skipAt;
            heard = pacedReadIndex(pacing, report.readIndex - (skipped ? 1024 : 0), report.seconds);
        }
        return heard;
    };
    PipeWirePacing asRecorded;
    const double heard = play(1e9, asRecorded);
    EXPECT_EQ(asRecorded.dropouts, 0u);
    int found = 0;
    for (double skipAt = 3.0; skipAt < 58.0; skipAt += 5.0) {
        PipeWirePacing pacing;
        EXPECT_NEAR(play(skipAt, pacing) - heard, -1024.0, 40.0) << "a skip at " << skipAt << " s";
        EXPECT_LE(pacing.dropouts, 1u) << "a skip at " << skipAt << " s";
        if (pacing.dropouts == 1 && std::fabs(pacing.droppedBytes - 1024.0) < 1.0) ++found;
    }
    EXPECT_GE(found, 10);
}
