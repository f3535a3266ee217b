#include "timeline/demoSession.h"

#include "effects/drawKit.h"
#include "platform/loadError.h"
#include "render/drawPath.h"
#include "textures/texture.h"
#include "timeline/demoSchedule.h"
#include "timeline/demoTimeline.h"

#include <GL/gl.h>

#include <cstdio>

namespace {

void keepGlError(DemoSession& session, const char* drawName, float demoTime)
{
    const GLenum code = glGetError();
    if (code == GL_NO_ERROR || session.glCheck.error != GL_NO_ERROR) return;
    session.glCheck.error = code;
    session.glCheck.drawName = drawName;
    session.glCheck.demoTime = demoTime;
}

} // namespace

bool showWaitScreen(DemoSession& session, LoadError& error)
{
    const TextureId waitScreenTexture = loadTexture(*session.renderWindow, session.dataFolder + waitScreenFile, error);
    if (!waitScreenTexture) return false;
    glClear(GL_COLOR_BUFFER_BIT);
    drawScreenTexture(waitScreenTexture, -0.9f, -0.5f, -0.1f, -0.9f);
    return true;
}

bool loadDemoSession(DemoSession& session, LoadError& error, DrawPath path)
{
    setDrawPath(path);
    if (!loadDemoAssets(*session.renderWindow, error, session.dataFolder, session.quitRequested)) {
        session.quit = session.quitRequested && session.quitRequested();
        return false;
    }
    setDemoRunState();
    return true;
}

void enableGlCheck(DemoSession& session)
{
    session.checkGl = true;
    setEffectCheck([&session](const char* drawName, float demoTime) { keepGlError(session, drawName, demoTime); });
}

void checkGlNow(DemoSession& session, const char* drawName) { keepGlError(session, drawName, session.demoTime); }

std::string describeGlError(const GlCheckResult& check)
{
    char text[200];
    std::snprintf(text, sizeof text, "GL error 0x%04X after %s at %.3f s", check.error, check.drawName.c_str(),
                  static_cast<double>(check.demoTime));
    return text;
}

void stepDemoFrame(DemoSession& session, float demoTime, FrameWork work)
{
    session.previousTime = session.demoTime;
    session.demoTime = demoTime;
    composeFrame(session.demoTime, session.previousTime, work);
    if (work == FRAME_DRAW) ++session.framesComposed;
}

std::vector<bool> planDrawnFrames(const std::vector<float>& times, const std::vector<bool>& shown)
{
    const std::size_t count = times.size();
    std::vector<bool> drawn(count, false);
    // A frame in which no window draws shows the picture of the frame before as it is.
    auto buildsOnPrevious = [](float demoTime) {
        bool anyWindow = false;
        for (const ScheduledWindow& entry : demoSchedule) {
            if (!insideWindow(entry.window, demoTime)) continue;
            if (entry.keepsPicture) return true;
            anyWindow = true;
        }
        return !anyWindow;
    };
    // lastFrame[w]: the latest frame so far in which window w drew; -1 before its first.
    std::vector<std::ptrdiff_t> lastFrame(scheduledWindowCount, -1);
    // Frames at or before this one already had the pictures they build on marked.
    std::ptrdiff_t picturesMarkedTo = -1;
    for (std::size_t i = 0; i < count; ++i) {
        if (shown[i]) {
            drawn[i] = true;
            for (std::ptrdiff_t frame : lastFrame) {
                if (frame >= 0) drawn[static_cast<std::size_t>(frame)] = true;
            }
            std::ptrdiff_t j = static_cast<std::ptrdiff_t>(i);
            while (j > picturesMarkedTo && j > 0 && buildsOnPrevious(times[static_cast<std::size_t>(j)])) {
                drawn[static_cast<std::size_t>(--j)] = true;
            }
            picturesMarkedTo = static_cast<std::ptrdiff_t>(i);
        }
        for (int w = 0; w < scheduledWindowCount; ++w) {
            if (insideWindow(demoSchedule[w].window, times[i])) lastFrame[static_cast<std::size_t>(w)] = static_cast<std::ptrdiff_t>(i);
        }
    }
    return drawn;
}

std::vector<bool> planDrawnSteps(const std::vector<ClockStep>& steps)
{
    std::vector<float> times;
    std::vector<bool> shown;
    for (const ClockStep& step : steps) {
        times.push_back(step.demoTime);
        shown.push_back(step.outputIndex >= 0);
    }
    return planDrawnFrames(times, shown);
}

float stepHistoryBefore(DemoSession& session, double startTime)
{
    // One frame of the span: the start frame, after the grid frames before it.
    constexpr FrameRate playerGrid{60, 1};
    const std::vector<ClockStep> steps = planSpan(playerGrid, startTime, startTime + 1.0 / 60.0);
    const std::vector<bool> drawn = planDrawnSteps(steps);
    for (std::size_t i = 0; i + 1 < steps.size(); ++i) {
        if (session.quitRequested && session.quitRequested()) {
            session.quit = true;
            break;
        }
        stepDemoFrame(session, steps[i].demoTime, drawn[i] ? FRAME_DRAW : FRAME_STEP);
    }
    return steps.back().demoTime;
}

namespace {

// Space toggles the pause where the driver can pause the music.
void togglePause(DemoSession& session, const DemoDriver& driver)
{
    if (!driver.pauseMusic) return;
    session.paused = !session.paused;
    driver.pauseMusic(session.paused);
}

DemoRunEnd endRun(const DemoDriver& driver, DemoRunEnd end)
{
    if (driver.stopMusic) driver.stopMusic();
    return end;
}

} // namespace

DemoRunEnd runDemoLoop(DemoSession& session, const DemoDriver& driver)
{
    for (;;) {
        PlatformEvent event;
        const auto& nextEvent = session.paused && driver.waitEvent ? driver.waitEvent : driver.pollEvent;
        if (nextEvent && nextEvent(event)) {
            if (event.kind == PLATFORM_EVENT_QUIT) return DEMO_RUN_CLOSED;
            if (event.kind == PLATFORM_EVENT_KEY_DOWN) {
                session.keyDown[event.keyCode & 0xFF] = 1;
                if (event.keyCode == PLATFORM_KEY_SPACE && !event.repeat) togglePause(session, driver);
                if (session.paused && event.keyCode == PLATFORM_KEY_ESCAPE) return endRun(driver, DEMO_RUN_ESCAPE);
            }
            if (event.kind == PLATFORM_EVENT_KEY_UP) session.keyDown[event.keyCode & 0xFF] = 0;
            continue;
        }
        if (session.paused) continue;
        FrameClock clock;
        if (!driver.readClock(clock)) return DEMO_RUN_CLOCK_END;
        clock.drawnTime = driver.drawTime ? driver.drawTime(clock) : clock.readTime;
        if (driver.drawsFrame && !driver.drawsFrame()) {
            stepDemoFrame(session, clock.drawnTime, FRAME_STEP);
            continue;
        }
        stepDemoFrame(session, clock.drawnTime);
        if (driver.finishFrame && !driver.finishFrame(clock)) return DEMO_RUN_FAILED;
        if (session.keyDown[PLATFORM_KEY_ESCAPE]) return endRun(driver, DEMO_RUN_ESCAPE);
        if (clock.readTime >= demoLength) return endRun(driver, DEMO_RUN_MUSIC_END);
    }
}
