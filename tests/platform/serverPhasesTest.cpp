// The sound server's phases on scripted events, as the server's callbacks and the player's
// calls bring them: what each event says to do next, and which report is the clock.
#include "platform/sound/serverPhases.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr double second = AUDIO_BYTES_PER_SECOND;

// Does what a step says that the scripts need done: a report asked for is on its way, and what
// a refill feeds is handed over (the queue's 0.5 s).
ServerStep done(ServerPhases& phases, const ServerStep& step)
{
    if (step.refill && serverFeeding(phases)) serverHanded(phases, static_cast<std::size_t>(0.5 * second));
    if (step.askTiming) serverTimingAsked(phases, true);
    return step;
}

// A report at `seconds` in which the server says `heardBytes` is being heard: the sink holds
// 40 ms, the stream the rest of what was handed.
ServerTiming reportHearing(const ServerPhases& phases, double heardBytes, double seconds, bool playing = true)
{
    ServerTiming timing;
    timing.seconds = seconds;
    timing.playing = playing;
    timing.sinkBytes = 0.04 * second;
    timing.writeIndex = 1000000 + phases.handed;
    timing.readIndex = static_cast<std::uint64_t>(timing.writeIndex - phases.handed + heardBytes + timing.sinkBytes);
    return timing;
}

ServerStep report(ServerPhases& phases, double heardBytes, double seconds, bool paused = false, double wallHeardNow = 0.0)
{
    const ServerTiming timing = reportHearing(phases, heardBytes, seconds);
    return done(phases, serverTimingCame(phases, &timing, paused, wallHeardNow));
}

// A stream ready and the music started at `byte`.
ServerPhases playing(std::uint64_t byte)
{
    ServerPhases phases;
    EXPECT_TRUE(done(phases, serverContextReady(phases)).openStream);
    done(phases, serverStreamReady(phases));
    done(phases, serverStart(phases, byte, false));
    report(phases, static_cast<double>(byte), 0.9);
    done(phases, serverRequested(phases, true));
    report(phases, static_cast<double>(byte), 1.0);
    EXPECT_EQ(phases.music, MUSIC_PLAYING);
    return phases;
}

} // namespace

// The first connection: the stream waits corked and unfed until the first start; the start
// flushes and feeds it from the byte asked, uncorked; the server's reports are the clock.
// A first connection that fails leaves the output unopened, without a word to the user.
TEST(ServerPhases, TheFirstConnectionWaitsCorkedForTheStartThenTheReportsAreTheClock)
{
    ServerPhases phases;
    EXPECT_TRUE(serverContextReady(phases).openStream);
    ServerStep step = done(phases, serverStreamReady(phases));
    EXPECT_EQ(phases.connection, CONNECTION_READY);
    EXPECT_FALSE(step.refill || step.askTiming || step.publish);
    EXPECT_FALSE(serverFeeding(phases));

    step = done(phases, serverStart(phases, 400000, false));
    EXPECT_TRUE(step.refill);
    EXPECT_EQ(step.cork, CORK_OFF);
    EXPECT_TRUE(step.askTiming);
    EXPECT_EQ(phases.music, MUSIC_RESTARTING);
    EXPECT_EQ(phases.handed, 400000u + static_cast<std::uint64_t>(0.5 * second));
    step = report(phases, 400000.0 + 0.1 * second, 2.0);
    ASSERT_TRUE(step.publish);
    EXPECT_DOUBLE_EQ(step.report.heardBytes, 400000.0 + 0.1 * second);
    EXPECT_EQ(step.report.monotonicSeconds, 2.0);
    EXPECT_EQ(step.report.handedBytes, phases.handed);

    ServerPhases refused;
    step = serverFailed(refused, 1.0, 0.0);
    EXPECT_EQ(refused.connection, CONNECTION_REFUSED);
    EXPECT_TRUE(step.notice.empty());
}

// After a flush the queue is empty by design: the underflow the server signals for it is no
// underrun, and the restart's grace ends only with a report asked after the server's first
// request for the new music was met that says it plays. Then a stall is an underrun. The same
// while paused: the stream stays corked and its reports stand.
TEST(ServerPhases, ARestartsEmptyQueueIsNoUnderrunARealStallIs)
{
    ServerPhases phases = playing(0);
    ServerStep step = done(phases, serverStart(phases, 800000, false));
    EXPECT_TRUE(step.refill);
    EXPECT_EQ(phases.music, MUSIC_RESTARTING);
    EXPECT_FALSE(serverUnderflow(phases).underrun) << "the flush's underflow counted";
    // A report asked before the server asked for the new music: playing, but the grace goes on.
    report(phases, 800000.0, 3.0);
    EXPECT_EQ(phases.music, MUSIC_RESTARTING) << "the grace ended at the first report";
    EXPECT_FALSE(serverUnderflow(phases).underrun);
    done(phases, serverRequested(phases, true));
    EXPECT_TRUE(report(phases, 800000.0, 3.1).publish);
    EXPECT_EQ(phases.music, MUSIC_PLAYING);
    EXPECT_TRUE(serverUnderflow(phases).underrun) << "a stall was not counted";

    done(phases, serverPause(phases, true, 900000.0));
    step = done(phases, serverStart(phases, 1200000, true));
    EXPECT_TRUE(step.refill);
    EXPECT_EQ(step.cork, CORK_ON) << "a restart while paused plays";
    done(phases, serverRequested(phases, true));
    const ServerTiming corked = reportHearing(phases, 1200000.0, 4.0, false);
    step = done(phases, serverTimingCame(phases, &corked, true, 0.0));
    ASSERT_TRUE(step.publish);
    EXPECT_FALSE(step.report.playing);
    EXPECT_EQ(phases.music, MUSIC_RESTARTING);
    EXPECT_FALSE(serverUnderflow(phases).underrun);
    step = done(phases, serverPause(phases, false, 1200000.0));
    EXPECT_EQ(step.cork, CORK_OFF);
    done(phases, serverRequested(phases, true));
    report(phases, 1200000.0, 4.5);
    EXPECT_EQ(phases.music, MUSIC_PLAYING);
}

// The server goes away: the wall clock stands in from where the music was heard, the silence
// begins and the user is told; a new connection is tried a second later and every second
// after a failed try. Back, the first report says how much the sink holds, and the music is
// placed where the wall clock will be once the sink has played that; the wall clock stands in
// until that byte is heard (no report of the new stream is the clock before), then the reports
// are the clock again and the silence ends.
TEST(ServerPhases, AServerThatGoesAwayAndComesBackHasTheWallClockStandInUntilItsMusicIsHeard)
{
    ServerPhases phases = playing(0);
    const double heard = 5.0 * second;
    ServerStep step = done(phases, serverFailed(phases, 10.0, heard));
    EXPECT_TRUE(step.standIn) << "the clock stands still while the server is away";
    EXPECT_EQ(step.standInBytes, heard);
    EXPECT_TRUE(step.silenceBegins);
    EXPECT_EQ(step.notice.rfind("the sound server went away at 5.00 s of the music", 0), 0u) << step.notice;
    EXPECT_EQ(phases.connection, CONNECTION_WAITING);
    EXPECT_EQ(phases.music, MUSIC_LOST);

    EXPECT_FALSE(serverTick(phases, 10.9).reconnect);
    EXPECT_TRUE(done(phases, serverTick(phases, 11.0)).reconnect);
    EXPECT_EQ(phases.connection, CONNECTION_RENEWING);
    step = done(phases, serverFailed(phases, 11.1, 0.0));
    EXPECT_TRUE(step.notice.empty() && !step.standIn) << "a failed try is said again";
    EXPECT_FALSE(serverTick(phases, 12.0).reconnect);
    EXPECT_TRUE(done(phases, serverTick(phases, 12.1)).reconnect);

    // Paused and resumed meanwhile: the wall clock holds where the clock is, and goes on.
    EXPECT_TRUE(serverPause(phases, true, 7.0 * second).standIn);
    step = serverPause(phases, false, 7.0 * second);
    EXPECT_TRUE(step.standIn);
    EXPECT_EQ(step.standInBytes, 7.0 * second);

    EXPECT_TRUE(done(phases, serverContextReady(phases)).openStream);
    EXPECT_TRUE(done(phases, serverStreamReady(phases)).askTiming);
    const double wallNow = 7.3 * second;
    step = report(phases, 0.0, 12.3, false, wallNow);
    EXPECT_FALSE(step.publish);
    EXPECT_TRUE(step.refill);
    EXPECT_EQ(step.cork, CORK_OFF);
    const std::uint64_t placed = static_cast<std::uint64_t>(wallNow + 0.04 * second) & ~std::uint64_t{3};
    EXPECT_EQ(phases.startByte, placed) << "placed where the wall clock is, not where it will be when heard";
    EXPECT_EQ(step.notice, "the sound server is back; the music goes on from " + audioMusicTime(static_cast<double>(placed)));
    EXPECT_EQ(phases.music, MUSIC_RETURNING);

    done(phases, serverRequested(phases, true));
    EXPECT_FALSE(report(phases, static_cast<double>(placed) - 0.01 * second, 12.32).publish) << "the new stream's report before its music is heard";
    step = report(phases, static_cast<double>(placed), 12.34);
    EXPECT_TRUE(step.publish);
    EXPECT_TRUE(step.silenceEnds);
    EXPECT_EQ(step.silenceEndSeconds, 12.34);
    EXPECT_EQ(phases.music, MUSIC_PLAYING);
    EXPECT_TRUE(step.notice.empty()) << "the return is said twice";
}

// Stopped while a new connection is being made: the silence ends there, and the server, once
// back, is connected to but not fed, nor said to be back. A closing output tries nothing more.
TEST(ServerPhases, AStopDuringTheReconnectionEndsTheSilenceAndTheMusicStaysStopped)
{
    ServerPhases phases = playing(0);
    done(phases, serverFailed(phases, 20.0, 3.0 * second));
    ServerStep step = done(phases, serverStop(phases, 20.5));
    EXPECT_TRUE(step.silenceEnds);
    EXPECT_EQ(step.silenceEndSeconds, 20.5);
    EXPECT_FALSE(step.refill) << "no stream to flush";
    EXPECT_EQ(phases.music, MUSIC_STOPPED);
    EXPECT_TRUE(done(phases, serverTick(phases, 21.0)).reconnect);
    done(phases, serverContextReady(phases));
    done(phases, serverStreamReady(phases));
    step = report(phases, 0.0, 21.2, false, 3.0 * second);
    EXPECT_FALSE(step.refill || step.publish || step.standIn);
    EXPECT_TRUE(step.notice.empty());
    EXPECT_FALSE(serverFeeding(phases));

    serverClosing(phases);
    step = serverFailed(phases, 22.0, 0.0);
    EXPECT_TRUE(step.notice.empty());
    EXPECT_FALSE(serverTick(phases, 30.0).reconnect);
}

// On PipeWire the timer asks for reports too, one at a time, only while the music is fed.
TEST(ServerPhases, OnPipeWireTheTimerAsksForReportsWhileTheMusicIsFed)
{
    ServerPhases phases;
    done(phases, serverContextReady(phases));
    done(phases, serverStreamReady(phases));
    phases.onPipeWire = true;
    EXPECT_FALSE(serverTick(phases, 1.0).askTiming);
    done(phases, serverStart(phases, 0, false));
    EXPECT_FALSE(serverTick(phases, 1.1).askTiming) << "a second report asked while one is on its way";
    report(phases, 0.0, 1.15);
    EXPECT_TRUE(serverTick(phases, 1.2).askTiming);
}
