#include "timeline/demoSession.h"

#include "effects/drawKit.h"
#include "platform/loadError.h"
#include "textures/texture.h"
#include "timeline/demoSchedule.h"
#include "timeline/demoTimeline.h"

#include <GL/gl.h>

#include <cstdio>

namespace {

const char* const waitScreenFile = "data/w8scr.jpg";

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
    const TextureId waitScreenTexture = loadTexture(*session.renderWindow, waitScreenFile, error);
    if (!waitScreenTexture) return false;
    glClear(GL_COLOR_BUFFER_BIT);
    drawScreenTexture(waitScreenTexture, -0.9f, -0.5f, -0.1f, -0.9f);
    return true;
}

bool loadDemoSession(DemoSession& session, LoadError& error)
{
    if (!loadDemoAssets(*session.renderWindow, error)) return false;
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

void stepDemoFrame(DemoSession& session, float demoTime)
{
    session.previousTime = session.demoTime;
    session.demoTime = demoTime;
    composeFrame(session.demoTime, session.previousTime);
    ++session.framesComposed;
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
        float demoTime = 0.0f;
        if (!driver.readClock(demoTime)) return DEMO_RUN_CLOCK_END;
        stepDemoFrame(session, demoTime);
        if (driver.finishFrame && !driver.finishFrame()) return DEMO_RUN_FAILED;
        if (session.keyDown[PLATFORM_KEY_ESCAPE]) return endRun(driver, DEMO_RUN_ESCAPE);
        if (session.demoTime >= demoLength) return endRun(driver, DEMO_RUN_MUSIC_END);
    }
}
