#include "platform/sound/audio.h"
#include "tests/timeline/demoPackFixture.h"
#include "timeline/demoSchedule.h"
#include "timeline/demoSession.h"
#include "timeline/runReport.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

// One step of a scripted run: an event the loop finds pending, or the clock of a frame.
struct ScriptItem {
    bool isEvent = false;
    PlatformEvent event;
    float demoTime = 0.0f;
};

ScriptItem clock(float demoTime) { return {false, {}, demoTime}; }
ScriptItem event(PlatformEventKind kind, int keyCode = 0, bool repeat = false)
{
    return {true, {kind, keyCode, repeat}, 0.0f};
}

// Runs the session over the script and logs what it did: "frame T after P" for each composed
// frame (its clock and previousTime), "swap", "stop music", "pause" and "resume" (Space,
// taken by the driver's keys as the player takes it), "seek" (Right, 5 s on, as the player
// starts the session again). A script that runs out while paused ends with a close request.
// With `pictures`, each finished frame is also read back.
struct ScriptedRun {
    std::vector<ScriptItem> script;
    std::size_t next = 0;
    std::vector<std::string> log;
    DemoRunEnd end = DEMO_RUN_FAILED;
    std::function<float(float)> drawTime;   // the driver's, when set
    bool pictures = false;
    std::vector<std::vector<unsigned char>> picturesRead;

    DemoDriver driverFor(DemoSession& session)
    {
        session.demoTime = session.previousTime = 0.0f;
        session.paused = false;
        for (std::uint8_t& key : session.keyDown) key = 0;
        DemoDriver driver;
        driver.pollEvent = [this, &session](PlatformEvent& pending) {
            if (next == script.size() && session.paused) {
                pending = PlatformEvent{PLATFORM_EVENT_QUIT, 0, false};
                return true;
            }
            if (next == script.size() || !script[next].isEvent) return false;
            pending = script[next++].event;
            return true;
        };
        driver.waitForEvent = [this] {
            if (next < script.size() && !script[next].isEvent) {
                log.push_back("clock read while paused");
                ++next;
            }
        };
        driver.keyPressed = [this, &session](const PlatformEvent& key) {
            if (key.keyCode == PLATFORM_KEY_SPACE && !key.repeat) {
                session.paused = !session.paused;
                log.push_back(session.paused ? "pause" : "resume");
            } else if (key.keyCode == PLATFORM_KEY_RIGHT) {
                restartDemoSession(session, session.demoTime + 5.0);
                session.showWhilePaused = session.paused;
                log.push_back("seek");
            }
            return true;
        };
        driver.showAgain = [this] { log.push_back("shown again"); };
        driver.readClock = [this](FrameClock& frameClock) {
            if (next == script.size()) return false;
            frameClock.readTime = script[next++].demoTime;
            return true;
        };
        driver.finishFrame = [this, &session](const FrameClock&) {
            char line[64];
            std::snprintf(line, sizeof line, "frame %.3f after %.3f", session.demoTime, session.previousTime);
            log.push_back(line);
            log.push_back("swap");
            if (pictures) {
                std::vector<unsigned char> picture(64 * 64 * 4);
                glReadPixels(0, 0, 64, 64, GL_RGBA, GL_UNSIGNED_BYTE, picture.data());
                picturesRead.push_back(picture);
            }
            return true;
        };
        driver.stopMusic = [this] { log.push_back("stop music"); };
        if (drawTime) driver.drawTime = [this](const FrameClock& frameClock) { return drawTime(frameClock.readTime); };
        return driver;
    }

    void run(DemoSession& session) { end = runDemoLoop(session, driverFor(session)); }

    // As a platform whose own loop calls the program once per display frame: the step alone.
    void step(DemoSession& session)
    {
        const DemoDriver driver = driverFor(session);
        for (int calls = 0; calls < 1000 && stepDemoRun(session, driver); ++calls) {
        }
        end = session.runEnd;
    }
};

using DemoRunLoop = DemoPackTest;

} // namespace

// The first frame follows a clock of 0.0. Escape ends the run once the next frame is swapped;
// a key tapped down and up between two frames does not; 30517200 bytes of music, exactly the
// run's length, is still drawn and swapped before the music stops; a close request ends the
// run at once and leaves the music to the caller.
TEST_F(DemoRunLoop, EndsOnEscapeAfterTheNextSwapOnTheLastFrameOfTheMusicOrAtOnceOnAClose)
{
    const float end = static_cast<float>(30517200u / static_cast<double>(AUDIO_BYTES_PER_SECOND));
    ASSERT_EQ(end, demoLength);
    struct Row {
        std::vector<ScriptItem> script;
        DemoRunEnd end;
        std::vector<std::string> log;
    };
    const Row rows[] = {
        {{clock(1.0f), event(PLATFORM_EVENT_KEY_DOWN, PLATFORM_KEY_ESCAPE), clock(1.25f), clock(1.5f)},
         DEMO_RUN_ESCAPE,
         {"frame 1.000 after 0.000", "swap", "frame 1.250 after 1.000", "swap", "stop music"}},
        {{clock(2.0f), event(PLATFORM_EVENT_KEY_DOWN, PLATFORM_KEY_ESCAPE),
          event(PLATFORM_EVENT_KEY_UP, PLATFORM_KEY_ESCAPE), event(PLATFORM_EVENT_OTHER), clock(2.25f)},
         DEMO_RUN_CLOCK_END,
         {"frame 2.000 after 0.000", "swap", "frame 2.250 after 2.000", "swap"}},
        {{clock(172.9f), clock(end), clock(173.1f)},
         DEMO_RUN_MUSIC_END,
         {"frame 172.900 after 0.000", "swap", "frame 173.000 after 172.900", "swap", "stop music"}},
        {{clock(3.0f), event(PLATFORM_EVENT_QUIT), clock(3.25f)}, DEMO_RUN_CLOSED, {"frame 3.000 after 0.000", "swap"}},
    };
    for (const Row& row : rows) {
        ScriptedRun run;
        run.script = row.script;
        run.run(session());
        EXPECT_EQ(run.end, row.end);
        EXPECT_EQ(run.log, row.log);
    }
}

// A frame drawn for a time ahead of the clock read (the player draws for when the frame will
// be seen): the run still ends on the clock read reaching the end of the music, and the
// frames drawn for 173.0 before it are drawn and swapped.
TEST_F(DemoRunLoop, EndsOnTheClockReadWhateverTheFramesAreDrawnFor)
{
    ScriptedRun run;
    run.script = {clock(172.9f), clock(172.97f), clock(173.0f), clock(173.1f)};
    run.drawTime = [](float readTime) { return std::min(readTime + 0.05f, demoLength); };
    run.run(session());
    EXPECT_EQ(run.end, DEMO_RUN_MUSIC_END);
    const std::vector<std::string> expected = {"frame 172.950 after 0.000",   "swap", "frame 173.000 after 172.950",
                                               "swap",                        "frame 173.000 after 173.000",
                                               "swap",                        "stop music"};
    EXPECT_EQ(run.log, expected);
}

// Paused, the window uncovered or resized (a switch to the full screen) shows its picture
// again; playing, the next frame does.
TEST_F(DemoRunLoop, SpacePausesThePictureAndTheClockAndResumesFromTheSamePosition)
{
    ScriptedRun run;
    run.script = {clock(4.0f),
                  event(PLATFORM_EVENT_SHOWN),
                  event(PLATFORM_EVENT_KEY_DOWN, PLATFORM_KEY_SPACE),
                  event(PLATFORM_EVENT_SHOWN),
                  event(PLATFORM_EVENT_KEY_DOWN, PLATFORM_KEY_SPACE, true),   // held: auto-repeat changes nothing
                  event(PLATFORM_EVENT_KEY_UP, PLATFORM_KEY_SPACE),
                  event(PLATFORM_EVENT_OTHER),
                  event(PLATFORM_EVENT_KEY_DOWN, PLATFORM_KEY_SPACE),
                  event(PLATFORM_EVENT_KEY_UP, PLATFORM_KEY_SPACE),
                  clock(4.25f)};
    const std::int64_t composedBefore = session().framesComposed;
    run.run(session());
    EXPECT_EQ(run.end, DEMO_RUN_CLOCK_END);
    // No frame is composed or swapped while paused, and the next one follows the last one shown.
    const std::vector<std::string> expected = {"frame 4.000 after 0.000", "swap", "pause", "shown again",
                                               "resume", "frame 4.250 after 4.000", "swap"};
    EXPECT_EQ(run.log, expected);
    EXPECT_EQ(session().framesComposed, composedBefore + 2);
}

TEST_F(DemoRunLoop, EscapeWhilePausedEndsTheRunAtOnce)
{
    ScriptedRun run;
    run.script = {clock(5.0f), event(PLATFORM_EVENT_KEY_DOWN, PLATFORM_KEY_SPACE),
                  event(PLATFORM_EVENT_KEY_DOWN, PLATFORM_KEY_ESCAPE), clock(5.25f)};
    run.run(session());
    EXPECT_EQ(run.end, DEMO_RUN_ESCAPE);
    const std::vector<std::string> expected = {"frame 5.000 after 0.000", "swap", "pause", "stop music"};
    EXPECT_EQ(run.log, expected);
}

// A platform whose own loop calls the program once per display frame drives a whole run with
// the step alone: a start, a pause, a seek while paused (its frame shown at once), the window
// shown again, the resume and the end of the music give the frames the loop gives, the same
// pictures, and the step never waits for an event.
TEST_F(DemoRunLoop, TheStepAloneGivesTheFramesOfTheLoop)
{
    const std::vector<ScriptItem> script = {
        clock(4.0f),   clock(4.25f),  event(PLATFORM_EVENT_KEY_DOWN, PLATFORM_KEY_SPACE),
        event(PLATFORM_EVENT_KEY_DOWN, PLATFORM_KEY_RIGHT), clock(9.25f), event(PLATFORM_EVENT_SHOWN),
        event(PLATFORM_EVENT_KEY_DOWN, PLATFORM_KEY_SPACE), clock(9.5f), clock(172.95f), clock(173.0f), clock(173.1f)};
    ScriptedRun looped;
    looped.script = script;
    looped.pictures = true;
    restartDemoSession(session(), 4.0);
    looped.run(session());
    ScriptedRun stepped;
    stepped.script = script;
    stepped.pictures = true;
    restartDemoSession(session(), 4.0);
    stepped.step(session());

    const std::vector<std::string> expected = {
        "frame 4.000 after 0.000", "swap", "frame 4.250 after 4.000", "swap", "pause", "seek",
        "frame 9.250 after 9.233", "swap", "shown again", "resume", "frame 9.500 after 9.250", "swap",
        "frame 172.950 after 9.500", "swap", "frame 173.000 after 172.950", "swap", "stop music"};
    EXPECT_EQ(looped.log, expected);
    EXPECT_EQ(looped.end, DEMO_RUN_MUSIC_END);
    EXPECT_EQ(stepped.log, looped.log);
    EXPECT_EQ(stepped.end, looped.end);
    ASSERT_EQ(stepped.picturesRead.size(), 6u);
    EXPECT_TRUE(stepped.picturesRead == looped.picturesRead) << "the stepped run drew other pictures";
}

TEST(RunReport, SummarisesTheFrameTimesOfARun)
{
    // Music started at 10.0 s on the report's clock (pauses already taken out); ten frames,
    // 16 ms apart except one of 50 ms, one of 34 ms and one of 33 ms.
    const std::vector<double> shown = {10.016, 10.032, 10.048, 10.098, 10.114, 10.130, 10.164, 10.197, 10.213, 10.229};
    const RunReport report = summarizeRun(shown, 10.0, 60.0);
    EXPECT_EQ(report.frames, 10);
    EXPECT_NEAR(report.secondsPlayed, 0.229, 1e-9);
    EXPECT_NEAR(report.framesPerSecond, 10 / 0.229, 1e-6);
    EXPECT_NEAR(report.medianIntervalMs, 16.0, 1e-6);
    EXPECT_NEAR(report.p95IntervalMs, 50.0, 1e-6);   // nearest rank: the 9th of 9 intervals
    EXPECT_EQ(report.longFrames, 2);                 // over 33.33 ms: 50 and 34, not 33
    // An unknown refresh rate counts as 60 Hz; at 50 Hz two refresh intervals are 40 ms.
    EXPECT_EQ(summarizeRun(shown, 10.0, 0.0).longFrames, 2);
    EXPECT_EQ(summarizeRun(shown, 10.0, 50.0).longFrames, 1);
    const std::string line = describeRunReport(report);
    EXPECT_NE(line.find("10 frames in 0.23 s"), std::string::npos) << line;
    EXPECT_NE(line.find("2 frames over 33.3 ms"), std::string::npos) << line;
}
