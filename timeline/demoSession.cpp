#include "timeline/demoSession.h"

#include "effects/drawKit.h"
#include "platform/files/loadError.h"
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

void drawWaitScreen(const DemoSession& session)
{
    glClear(GL_COLOR_BUFFER_BIT);
    drawScreenTexture(session.waitScreenTexture, -0.9f, -0.5f, -0.1f, -0.9f);
}

} // namespace

bool showWaitScreen(DemoSession& session, LoadError& error)
{
    if (!session.waitScreenTexture) {
        session.waitScreenTexture = loadTexture(*session.renderWindow, session.dataFolder + waitScreenFile, error);
        if (!session.waitScreenTexture) return false;
    }
    drawWaitScreen(session);
    return true;
}

bool loadDemoSessionStep(DemoSession& session, LoadError& error)
{
    DemoLoad& load = session.load;
    if (load.steps == 0) {
        setDrawPath(session.drawPath);
        // Loaded again: the show goes back to how the last loading left it at 0 first, so the
        // effects set up later in this one carry nothing of the frames drawn since.
        if (!session.history.snapshots.empty()) restoreShowSnapshot(session.history.snapshots[0]);
        session.history.snapshots.clear();
    }
    // Once the show can be drawn, a step taken between its frames leaves the texture binding
    // the frames carry as it found it (an upload binds its texture).
    const bool between = load.stage > 0;
    GLint bound = 0;
    if (between) glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    const int stage = load.stage;
    if (!loadDemoStep(load, *session.renderWindow, session.dataFolder, error)) return false;
    if (between) glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(bound));
    if (load.stage == stage) return true;
    if (stage == 0) {
        // The first part's stage done: the run's GL state, and the show's snapshot at 0.
        setDemoRunState();
        session.history.snapshots.assign(1, ShowSnapshot{});
        takeShowSnapshot(session.history.snapshots[0]);
    } else {
        // The effects just set up have not stepped yet: what they carry is the same at every
        // snapshot taken so far, all before their window.
        refreshShowSnapshots(session.history, demoLoadStagedFrom(load));
    }
    session.loaded = demoLoadDone(load);
    return true;
}

bool loadDemoSession(DemoSession& session, LoadError& error, DrawPath path)
{
    session.drawPath = path;
    session.load = DemoLoad{};
    session.loaded = false;
    while (!session.loaded) {
        if (session.quitRequested && session.quitRequested()) {
            session.quit = true;
            error = LoadError{};
            return false;
        }
        if (!loadDemoSessionStep(session, error)) return false;
    }
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
    if (work == FRAME_STEP) {
        stepShow(session.demoTime, session.previousTime);
        return;
    }
    composeFrame(session.demoTime, session.previousTime);
    ++session.framesComposed;
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

namespace {

bool quitting(DemoSession& session)
{
    if (!session.quit && session.quitRequested && session.quitRequested()) session.quit = true;
    return session.quit;
}

// The show as it stands before grid frame `frame` of the player's grid, from the latest
// snapshot at or before it; the snapshots on the way are taken as they are passed.
void reachGridFrame(DemoSession& session, const FrameRate& grid, std::int64_t frame)
{
    ShowHistory& history = session.history;
    const std::int64_t apart = ShowHistory::framesApart;
    std::int64_t at = std::min(frame / apart, static_cast<std::int64_t>(history.snapshots.size()) - 1);
    const ShowSnapshot& from = history.snapshots[static_cast<std::size_t>(at)];
    restoreShowSnapshot(from);
    session.demoTime = from.demoTime;
    session.previousTime = from.previousTime;
    for (std::int64_t k = at * apart; k < frame; ++k) {
        if (quitting(session)) return;
        stepDemoFrame(session, gridTime(grid, k), FRAME_STEP);
        if ((k + 1) % apart == 0 && (k + 1) / apart == static_cast<std::int64_t>(history.snapshots.size())) {
            history.snapshots.emplace_back();
            ShowSnapshot& taken = history.snapshots.back();
            takeShowSnapshot(taken);
            taken.demoTime = session.demoTime;
            taken.previousTime = session.previousTime;
        }
    }
}

} // namespace

float restartDemoSession(DemoSession& session, double startTime)
{
    constexpr FrameRate playerGrid{60, 1};
    // The grid frames before the start, then the start frame.
    const std::vector<ClockStep> steps = planSpan(playerGrid, startTime, startTime + 1.0 / 60.0);
    const std::vector<bool> drawn = planDrawnSteps(steps);
    const std::int64_t startFrame = static_cast<std::int64_t>(steps.size()) - 1;
    // The frames the start picture builds on run back from it without a break; of them only
    // the last few are drawn. Drawn frames before those set the GL state an earlier window
    // leaves: their pictures are covered later, so they are drawn with the show as it stands.
    std::int64_t builtOn = startFrame;
    while (builtOn > 0 && drawn[static_cast<std::size_t>(builtOn - 1)]) --builtOn;
    const std::int64_t firstKept = std::max(builtOn, startFrame - keptFramesDrawn);
    for (std::int64_t k = 0; k < firstKept; ++k) {
        if (!drawn[static_cast<std::size_t>(k)] || k >= builtOn) continue;
        if (quitting(session)) return steps.back().demoTime;
        stepDemoFrame(session, steps[static_cast<std::size_t>(k)].demoTime, FRAME_DRAW);
    }
    // The opening builds on the wait screen.
    if (builtOn == 0 && session.waitScreenTexture) drawWaitScreen(session);
    reachGridFrame(session, playerGrid, firstKept);
    for (std::int64_t k = firstKept; k < startFrame && !quitting(session); ++k)
        stepDemoFrame(session, steps[static_cast<std::size_t>(k)].demoTime, FRAME_DRAW);
    return steps.back().demoTime;
}

namespace {

// The run ends: the music is stopped where it is the run's to stop.
bool endRun(DemoSession& session, const DemoDriver& driver, DemoRunEnd end)
{
    session.runEnd = end;
    if (end == DEMO_RUN_ESCAPE || end == DEMO_RUN_MUSIC_END) {
        if (driver.stopMusic) driver.stopMusic();
    }
    return false;
}

// One event; false when it ends the run.
bool takeEvent(DemoSession& session, const DemoDriver& driver, const PlatformEvent& event)
{
    if (event.kind == PLATFORM_EVENT_QUIT) return endRun(session, driver, DEMO_RUN_CLOSED);
    const bool designedKey = event.keyCode >= 0 && event.keyCode < 256;
    if (event.kind == PLATFORM_EVENT_KEY_DOWN) {
        if (designedKey) session.keyDown[event.keyCode] = 1;
        if (event.keyCode == PLATFORM_KEY_ESCAPE) {
            if (session.paused) return endRun(session, driver, DEMO_RUN_ESCAPE);
        } else if (driver.keyPressed && !driver.keyPressed(event)) {
            return endRun(session, driver, DEMO_RUN_MUSIC_END);
        }
    }
    if (event.kind == PLATFORM_EVENT_KEY_UP && designedKey) session.keyDown[event.keyCode] = 0;
    const bool input = event.kind == PLATFORM_EVENT_POINTER_MOVE || event.kind == PLATFORM_EVENT_POINTER_DOWN ||
                       event.kind == PLATFORM_EVENT_POINTER_UP || event.kind == PLATFORM_EVENT_COMMAND;
    if (input && driver.input && !driver.input(event)) return endRun(session, driver, DEMO_RUN_MUSIC_END);
    if (event.kind == PLATFORM_EVENT_SHOWN && session.paused && driver.showAgain) driver.showAgain();
    if (event.kind == PLATFORM_EVENT_RESUMED && driver.resumed) driver.resumed();
    return true;
}

} // namespace

bool stepDemoRun(DemoSession& session, const DemoDriver& driver)
{
    PlatformEvent event;
    while (driver.pollEvent && driver.pollEvent(event)) {
        if (!takeEvent(session, driver, event)) return false;
    }
    if (session.paused && !session.showWhilePaused) {
        if (driver.idle) driver.idle();
        return true;
    }
    session.showWhilePaused = false;
    FrameClock clock;
    if (!driver.readClock(clock)) return endRun(session, driver, DEMO_RUN_CLOCK_END);
    clock.drawnTime = driver.drawTime ? driver.drawTime(clock) : clock.readTime;
    if (driver.drawsFrame && !driver.drawsFrame()) {
        stepDemoFrame(session, clock.drawnTime, FRAME_STEP);
        return true;
    }
    stepDemoFrame(session, clock.drawnTime);
    if (driver.finishFrame && !driver.finishFrame(clock)) return endRun(session, driver, DEMO_RUN_FAILED);
    if (session.keyDown[PLATFORM_KEY_ESCAPE]) return endRun(session, driver, DEMO_RUN_ESCAPE);
    if (clock.readTime >= demoLength && !(driver.musicEnded && driver.musicEnded()))
        return endRun(session, driver, DEMO_RUN_MUSIC_END);
    return true;
}

DemoRunEnd runDemoLoop(DemoSession& session, const DemoDriver& driver)
{
    while (stepDemoRun(session, driver)) {
        if (session.paused && !session.showWhilePaused && driver.waitForEvent) driver.waitForEvent();
    }
    return session.runEnd;
}
