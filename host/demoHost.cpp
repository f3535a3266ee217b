#include "host/demoHost.h"

#include "effects/drawKit.h"
#include "host/config.h"
#include "host/renderWindow.h"
#include "platform/audio.h"
#include "platform/loadError.h"
#include "platform/window.h"
#include "textures/texture.h"
#include "timeline/demoTimeline.h"

#include <GL/gl.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr float demoLength = 173.0f;
const char* const configFile = "kesu.ini";
const char* const musicFile = "data/little.mp3";
const char* const waitScreenFile = "data/w8scr.jpg";

void report(const std::string& text) { std::fprintf(stderr, "kesu: %s\n", text.c_str()); }

// The state the whole run shares; the clock values start at 0.
struct DemoHost {
    PlatformWindow* windowHandle = nullptr;
    bool deviceContext = false;
    RenderWindow renderWindow;
    std::uint8_t keyDown[256] = {};
    float demoTime = 0.0f;
    float previousTime = 0.0f;
    std::vector<std::int16_t> music;
    AudioOutput* musicStream = nullptr;
    TextureId waitScreenTexture = 0;
};

// With KESU_CHECK_GL set, glGetError is read after each draw of the frame; the first error
// is reported once, with what was drawn and the clock of that frame.
float checkedTime = 0.0f;
bool glErrorReported = false;

void checkGlAfterDraw(const char* drawName)
{
    const GLenum code = glGetError();
    if (code == GL_NO_ERROR || glErrorReported) return;
    glErrorReported = true;
    char text[160];
    std::snprintf(text, sizeof text, "GL error 0x%04X after %s at %.3f s", static_cast<unsigned>(code), drawName,
                  static_cast<double>(checkedTime));
    report(text);
}

bool readConfiguration(DemoConfig& config)
{
    std::string problem;
    if (readConfig(configFile, config, problem) == CONFIG_READ) return true;
    int width = 0, height = 0;
    if (!platformDesktopMode(width, height)) {
        report(problem + "; and no display to take the screen size from: " + platformLastError());
        return false;
    }
    config.width = width;
    config.height = height;
    config.swapInterval = 1;
    report(problem + "; using the desktop's " + std::to_string(width) + " x " + std::to_string(height) +
           " and swap interval 1");
    return true;
}

void handleEvent(DemoHost& host, const PlatformEvent& event, bool& done, bool& quitRequested)
{
    switch (event.kind) {
    case PLATFORM_EVENT_QUIT:
        done = true;
        quitRequested = true;
        break;
    case PLATFORM_EVENT_KEY_DOWN:
        host.keyDown[event.keyCode & 0xFF] = 1;
        break;
    case PLATFORM_EVENT_KEY_UP:
        host.keyDown[event.keyCode & 0xFF] = 0;
        break;
    default:
        break;
    }
}

void releaseAudio(DemoHost& host)
{
    audioStop(host.musicStream);
    audioClose(host.musicStream);
    host.musicStream = nullptr;
    host.music.clear();
    host.music.shrink_to_fit();
}

// Start-up up to the first frame; false when the run cannot start.
bool startDemo(DemoHost& host)
{
    DemoConfig config;
    if (!readConfiguration(config)) return false;

    // The music is decoded before the display changes, so a broken pack stops with the
    // desktop untouched.
    LoadError error;
    if (!decodeMp3File(musicFile, host.music, error)) {
        report(formatLoadError(error));
        return false;
    }

    createRenderWindow(host.renderWindow, &host.windowHandle, &host.deviceContext, config.width, config.height, 32, 16);
    if (!host.renderWindow.renderingContext) {
        report("no OpenGL window could be created (kesu.log lists the steps): " + platformLastError());
        return false;
    }

    host.waitScreenTexture = loadTexture(host.renderWindow, waitScreenFile, error);
    if (!host.waitScreenTexture) {
        report(formatLoadError(error));
        return false;
    }
    glClear(GL_COLOR_BUFFER_BIT);
    drawScreenTexture(host.waitScreenTexture, -0.9f, -0.5f, -0.1f, -0.9f);
    platformSwapBuffers(host.windowHandle);

    if (!host.renderWindow.wglSwapIntervalEXT || host.renderWindow.wglSwapIntervalEXT(config.swapInterval) != 0)
        report("the driver offers no swap interval " + std::to_string(config.swapInterval) + " (" + platformLastError() +
               "); frames are not paced");

    if (!loadDemoAssets(host.renderWindow, error)) {
        report(formatLoadError(error));
        return false;
    }

    std::string audioMessage;
    host.musicStream = audioOpen(audioMessage);
    if (!audioMessage.empty()) report(audioMessage);
    setDemoRunState();
    const char* checkGl = std::getenv("KESU_CHECK_GL");
    if (checkGl && *checkGl && std::strcmp(checkGl, "0") != 0) setEffectCheck(checkGlAfterDraw);
    std::printf("kesu: playing at %d x %d%s; Escape quits\n", config.width, config.height,
                audioIsSilent(host.musicStream) ? ", silent" : "");
    std::fflush(stdout);
    audioPlay(host.musicStream, &host.music);
    return true;
}

void runMainLoop(DemoHost& host)
{
    bool done = false;
    bool quitRequested = false;
    while (!done) {
        PlatformEvent event;
        if (platformPollEvent(event)) {
            handleEvent(host, event, done, quitRequested);
            continue;
        }
        host.previousTime = host.demoTime;
        const std::uint32_t position = audioPosition(host.musicStream);
        host.demoTime = static_cast<float>(position / static_cast<double>(AUDIO_BYTES_PER_SECOND));
        checkedTime = host.demoTime;
        composeFrame(host.demoTime, host.previousTime);
        platformSwapBuffers(host.windowHandle);
        if (host.keyDown[PLATFORM_KEY_ESCAPE] || host.demoTime >= demoLength) {
            done = true;
            releaseAudio(host);
        }
    }
    // On a close request the loop leaves the music playing; the device is still closed
    // below, before the decoded music it reads from is freed.
}

} // namespace

int runDemo()
{
    DemoHost host;
    const bool started = startDemo(host);
    if (started) runMainLoop(host);
    destroyRenderWindow(host.renderWindow, &host.windowHandle, &host.deviceContext);
    if (host.musicStream) {
        audioClose(host.musicStream);
        host.musicStream = nullptr;
    }
    return started ? 0 : 1;
}
