#include "platform/audio.h"
#include "tests/timeline/demoPackFixture.h"
#include "timeline/demoSchedule.h"
#include "timeline/demoSession.h"

#include <cstdio>
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
ScriptItem event(PlatformEventKind kind, int keyCode = 0) { return {true, {kind, keyCode}, 0.0f}; }

// Runs the session's loop over the script and logs what it did: "frame T after P" for each
// composed frame (its clock and previousTime), "swap" and "stop music".
struct ScriptedRun {
    std::vector<ScriptItem> script;
    std::size_t next = 0;
    std::vector<std::string> log;
    DemoRunEnd end = DEMO_RUN_FAILED;

    void run(DemoSession& session)
    {
        session.demoTime = session.previousTime = 0.0f;
        for (std::uint8_t& key : session.keyDown) key = 0;
        DemoDriver driver;
        driver.pollEvent = [this](PlatformEvent& pending) {
            if (next == script.size() || !script[next].isEvent) return false;
            pending = script[next++].event;
            return true;
        };
        driver.readClock = [this](float& demoTime) {
            if (next == script.size()) return false;
            demoTime = script[next++].demoTime;
            return true;
        };
        driver.finishFrame = [this, &session] {
            char line[64];
            std::snprintf(line, sizeof line, "frame %.3f after %.3f", session.demoTime, session.previousTime);
            log.push_back(line);
            log.push_back("swap");
            return true;
        };
        driver.stopMusic = [this] { log.push_back("stop music"); };
        end = runDemoLoop(session, driver);
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
