// kesu-capture: runs the demo headless in the working directory (it reads data/ from there)
// through the same asset set-up and frame composer as the player, on a fixed clock of 60
// frames per second from 0, and either writes the frames at the requested times as PNG
// files or times every frame of the run.
//
//   kesu-capture --size WxH --at T [--at T]... --out DIR
//   kesu-capture --size WxH --timing
//   kesu-capture --size WxH --check-gl
// --check-gl, alone or with either form, also checks glGetError after each effect draw and
// stops with status 1 at the first error; alone it runs the whole 173 s.
#include "effects/drawKit.h"
#include "host/renderWindow.h"
#include "platform/loadError.h"
#include "platform/pngWriter.h"
#include "platform/window.h"
#include "textures/texture.h"
#include "timeline/demoTimeline.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr int framesPerSecond = 60;
constexpr float demoLength = 173.0f;

struct Options {
    int width = 0;
    int height = 0;
    std::vector<double> times;
    std::string outDir;
    bool timing = false;
    bool checkGl = false;
};

void printUsage()
{
    std::fprintf(stderr,
                 "usage: kesu-capture --size WxH --at T [--at T]... --out DIR\n"
                 "       kesu-capture --size WxH --timing\n"
                 "       kesu-capture --size WxH --check-gl\n"
                 "Run in a folder holding data/. Each --at T (seconds, 0 to 173) writes one PNG.\n");
}

bool fail(const std::string& message)
{
    std::fprintf(stderr, "kesu-capture: %s\n", message.c_str());
    return false;
}

bool parseSize(const std::string& text, int& width, int& height)
{
    char extra = 0;
    if (std::sscanf(text.c_str(), "%dx%d%c", &width, &height, &extra) != 2) return false;
    return width >= 1 && height >= 1 && width <= 8192 && height <= 8192;
}

bool parseTime(const std::string& text, double& time)
{
    char* end = nullptr;
    time = std::strtod(text.c_str(), &end);
    return !text.empty() && end && *end == '\0' && std::isfinite(time) && time >= 0.0 && time <= demoLength;
}

bool parseOptions(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--timing" || name == "--check-gl") {
            (name == "--timing" ? options.timing : options.checkGl) = true;
            continue;
        }
        if (name != "--size" && name != "--at" && name != "--out") return fail("unknown argument \"" + name + "\"");
        if (i + 1 >= argc) return fail(name + " needs a value");
        const std::string value = argv[++i];
        if (name == "--size") {
            if (!parseSize(value, options.width, options.height)) {
                return fail("--size wants WIDTHxHEIGHT, each 1 to 8192, not \"" + value + "\"");
            }
        } else if (name == "--at") {
            double time = 0.0;
            if (!parseTime(value, time)) return fail("--at wants seconds from 0 to 173, not \"" + value + "\"");
            options.times.push_back(time);
        } else {
            options.outDir = value;
        }
    }
    if (options.width == 0) return fail("--size is missing");
    if (options.timing) {
        if (!options.times.empty() || !options.outDir.empty()) return fail("--timing takes no --at or --out");
        return true;
    }
    if (options.times.empty() && options.outDir.empty() && options.checkGl) return true;
    if (options.times.empty()) return fail("no --at time given");
    if (options.outDir.empty()) return fail("--out is missing");
    return true;
}

// The frame whose clock first reaches the time: frame i runs at i / 60 s.
long frameAt(double time)
{
    const double exact = time * framesPerSecond;
    const double nearest = std::round(exact);
    if (std::fabs(exact - nearest) < 1e-6) return static_cast<long>(nearest);
    return static_cast<long>(std::ceil(exact));
}

// The first GL error met by the --check-gl hook, with the draw and the clock it came after.
struct GlCheck {
    float demoTime = 0.0f;
    GLenum error = GL_NO_ERROR;
    std::string drawName;
};
GlCheck glCheck;
float checkedTime = 0.0f;

void checkGlAfterDraw(const char* drawName)
{
    const GLenum error = glGetError();
    if (error == GL_NO_ERROR || glCheck.error != GL_NO_ERROR) return;
    glCheck.error = error;
    glCheck.demoTime = checkedTime;
    glCheck.drawName = drawName;
}

bool glCheckFailed()
{
    if (glCheck.error == GL_NO_ERROR) return false;
    char message[160];
    std::snprintf(message, sizeof message, "GL error 0x%04X after %s at %.4f s", glCheck.error, glCheck.drawName.c_str(),
                  glCheck.demoTime);
    fail(message);
    return true;
}

float frameTime(long frame) { return static_cast<float>(static_cast<double>(frame) / framesPerSecond); }

// What the player does between opening its window and starting the music: the wait screen,
// the asset set-up and the GL state that holds for the whole run.
bool startDemo(RenderWindow& renderWindow, LoadError& error)
{
    const TextureId waitScreen = loadTexture(renderWindow, "data/w8scr.jpg", error);
    if (waitScreen == 0) return false;
    glClear(GL_COLOR_BUFFER_BIT);
    drawScreenTexture(waitScreen, -0.9f, -0.5f, -0.1f, -0.9f);
    if (!loadDemoAssets(renderWindow, error)) return false;
    setDemoRunState();
    return true;
}

// "at-00012.500.png": zero-padded seconds, so the names sort in time order.
std::string framePath(const std::string& outDir, double time)
{
    char name[64];
    std::snprintf(name, sizeof name, "at-%09.3f.png", time);
    return (std::filesystem::path(outDir) / name).string();
}

bool writeFrame(const std::string& path, int width, int height, std::vector<std::uint8_t>& pixels)
{
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    // The screen shows no alpha; some effects clear it to 0, which would make the file transparent.
    for (std::size_t i = 3; i < pixels.size(); i += 4) pixels[i] = 255;
    std::string error;
    if (!writePng(path, pixels.data(), width, height, true, error)) return fail(error);
    std::printf("%s\n", path.c_str());
    return true;
}

bool capture(const Options& options, PlatformOffscreen& offscreen)
{
    std::error_code created;
    std::filesystem::create_directories(options.outDir, created);
    if (created) return fail("cannot create " + options.outDir + ": " + created.message());

    std::vector<long> wanted;
    for (double time : options.times) wanted.push_back(frameAt(time));
    const long lastFrame = *std::max_element(wanted.begin(), wanted.end());
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(options.width) * options.height * 4);

    float previousTime = 0.0f;
    for (long frame = 0; frame <= lastFrame; ++frame) {
        const float demoTime = frameTime(frame);
        checkedTime = demoTime;
        composeFrame(demoTime, previousTime);
        if (glCheckFailed()) return false;
        for (std::size_t i = 0; i < wanted.size(); ++i) {
            if (wanted[i] != frame) continue;
            if (!writeFrame(framePath(options.outDir, options.times[i]), options.width, options.height, pixels)) {
                return false;
            }
        }
        platformSwapBuffers(offscreen.window);
        previousTime = demoTime;
    }
    return true;
}

struct TimingWindow {
    const char* name;
    float start;
    float end;
    std::vector<double> milliseconds;
};

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}

// Times every frame of the run, composition through glFinish, grouped by the effects drawing.
bool timeRun(PlatformOffscreen& offscreen, double launchTime)
{
    std::vector<TimingWindow> windows = {
        {"TitleStreams", 0.0f, 10.0f, {}},
        {"TitleStreams+BlindsMask+GrassScene", 10.0f, 17.5f, {}},
        {"GrassScene+WarpOverlay", 17.5f, 50.0f, {}},
        {"BlobOrbit", 50.0f, 65.0f, {}},
        {"FactoryRewind", 65.0f, 85.0f, {}},
        {"CubeCredits", 85.0f, 105.0f, {}},
        {"RobotCore", 105.0f, 135.0f, {}},
        {"FinaleSphere", 135.0f, 169.0f, {}},
        {"closing sequence", 169.0f, 173.0f, {}},
    };
    const long lastFrame = frameAt(demoLength);
    float previousTime = 0.0f;
    for (long frame = 0; frame <= lastFrame; ++frame) {
        const float demoTime = frameTime(frame);
        checkedTime = demoTime;
        const double before = platformSeconds();
        composeFrame(demoTime, previousTime);
        glFinish();
        const double after = platformSeconds();
        if (glCheckFailed()) return false;
        if (frame == 0) std::printf("start-up (launch to first frame): %.1f ms\n", (after - launchTime) * 1000.0);
        for (TimingWindow& window : windows) {
            if (window.start < demoTime && demoTime < window.end) window.milliseconds.push_back((after - before) * 1000.0);
        }
        platformSwapBuffers(offscreen.window);
        previousTime = demoTime;
    }
    std::printf("%-36s %7s %10s %10s\n", "window", "frames", "median ms", "slowest ms");
    for (const TimingWindow& window : windows) {
        if (window.milliseconds.empty()) continue;
        std::printf("%-36s %7zu %10.2f %10.2f\n", window.name, window.milliseconds.size(), median(window.milliseconds),
                    *std::max_element(window.milliseconds.begin(), window.milliseconds.end()));
    }
    return true;
}

// Plays every frame to 173 s; the GL check is the point of it.
bool checkRun(PlatformOffscreen& offscreen)
{
    const long lastFrame = frameAt(demoLength);
    float previousTime = 0.0f;
    for (long frame = 0; frame <= lastFrame; ++frame) {
        const float demoTime = frameTime(frame);
        checkedTime = demoTime;
        composeFrame(demoTime, previousTime);
        if (glCheckFailed()) return false;
        platformSwapBuffers(offscreen.window);
        previousTime = demoTime;
    }
    std::printf("%ld frames to %.1f s without a GL error\n", lastFrame + 1, demoLength);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    const double launchTime = platformSeconds();
    Options options;
    if (!parseOptions(argc, argv, options)) {
        printUsage();
        return 1;
    }

    PlatformOffscreen offscreen;
    std::string error;
    if (!platformCreateOffscreen(options.width, options.height, offscreen, error)) {
        fail(error);
        return 1;
    }
    RenderWindow renderWindow;
    renderWindow.renderingContext = offscreen.context;
    renderWindow.instance = true;
    renderWindow.width = options.width;
    renderWindow.height = options.height;
    renderWindow.colourBits = 32;
    renderWindow.glActiveTextureARB = reinterpret_cast<ActiveTextureProc>(platformGlProc("glActiveTextureARB"));
    renderWindow.glMultiTexCoord2fvARB =
        reinterpret_cast<MultiTexCoord2fvProc>(platformGlProc("glMultiTexCoord2fvARB"));
    glViewport(0, 0, options.width, options.height);

    if (options.checkGl) setEffectCheck(checkGlAfterDraw);
    LoadError loadError;
    bool ok = startDemo(renderWindow, loadError);
    if (!ok) fail(formatLoadError(loadError));
    if (ok && options.checkGl) {
        checkGlAfterDraw("the start-up");
        ok = !glCheckFailed();
    }
    if (ok) {
        if (options.timing) {
            ok = timeRun(offscreen, launchTime);
        } else if (!options.times.empty()) {
            ok = capture(options, offscreen);
        } else {
            ok = checkRun(offscreen);
        }
    }
    platformDestroyOffscreen(offscreen);
    return ok ? 0 : 1;
}
