// kesu-capture: renders the demo offline in the working directory (it reads data/ from there)
// through the same asset set-up and frame composer as the player, on a fixed clock that
// starts at 0 whatever the span, at any size and frame rate, independent of real-time speed.
//
//   kesu-capture [--size WxH] [--fps N|N/M] [--from T] [--to T] [--quality Q] --out FILE.mp4
//   kesu-capture [--size WxH] [--fps N|N/M] [--from T] [--to T] --out DIR
//   kesu-capture [--fps N|N/M] [--from T] [--to T] --out FILE.wav
//   kesu-capture [--size WxH] [--fps N|N/M] --at T [--at T]... --out DIR
//   kesu-capture [--size WxH] [--fps N|N/M] [--from T] [--to T] --contact-sheet FILE.png|.jpg [--count N]
//   kesu-capture [--size WxH] [--fps N|N/M] [--from T] [--to T] --bench
//   kesu-capture [--size WxH] --check-gl
//   kesu-capture --help | --version
// --check-gl, alone or with any form, also checks glGetError after each effect draw and stops
// with status 1 at the first error; alone it runs the whole 173 s. --every-frame, with any
// form, draws every frame before the pictures it writes instead of stepping those they do not
// depend on. A usage error exits with status 2 before anything opens.
#include "platform/display/renderWindow.h"
#include "platform/display/window.h"
#include "platform/files/fileLookup.h"
#include "platform/files/loadError.h"
#include "platform/system/monotonicClock.h"
#include "timeline/demoSession.h"
#include "tools/capture/captureBench.h"
#include "tools/capture/captureLoop.h"
#include "tools/capture/captureOptions.h"
#include "tools/capture/captureOutput.h"
#include "tools/capture/frameReadback.h"

#include <GL/gl.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

bool capturePicks(const CaptureOptions& options, DemoSession& session, PlatformOffscreen& offscreen)
{
    if (!makeFolder(options.out)) return false;
    std::vector<std::int64_t> wanted;
    for (double time : options.times) wanted.push_back(gridFrameAt(options.rate, time));
    const std::int64_t lastFrame = *std::max_element(wanted.begin(), wanted.end());
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(options.width) * options.height * 4);
    std::vector<ClockStep> steps = planGrid(options.rate, lastFrame);
    for (ClockStep& step : steps) {
        if (std::find(wanted.begin(), wanted.end(), step.outputIndex) == wanted.end()) step.outputIndex = -1;
    }
    CaptureHooks hooks;
    hooks.onOutput = [&](const ClockStep& step) {
        readFrame(options.width, options.height, pixels);
        for (std::size_t i = 0; i < wanted.size(); ++i) {
            if (wanted[i] != step.outputIndex) continue;
            const std::string path = pickPath(options.out, options.times[i]);
            if (!writeFramePng(path, options.width, options.height, pixels)) return false;
            std::printf("%s\n", path.c_str());
        }
        return true;
    };
    return runCaptureSteps(session, steps, offscreen, hooks, options.drawEveryFrame);
}

bool captureSequence(const CaptureOptions& options, DemoSession& session, PlatformOffscreen& offscreen)
{
    if (!makeFolder(options.out)) return false;
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(options.width) * options.height * 4);
    const std::vector<ClockStep> steps = planSpan(options.rate, options.from, options.to);
    CaptureHooks hooks;
    hooks.onOutput = [&](const ClockStep& step) {
        char name[32];
        std::snprintf(name, sizeof name, "frame-%06lld.png", static_cast<long long>(step.outputIndex));
        readFrame(options.width, options.height, pixels);
        return writeFramePng((std::filesystem::path(options.out) / name).string(), options.width, options.height,
                             pixels);
    };
    const bool done = runCaptureSteps(session, steps, offscreen, hooks, options.drawEveryFrame);
    if (done) {
        std::printf("%lld frames in %s\n", static_cast<long long>(spanFrameCount(options.rate, options.from, options.to)),
                    options.out.c_str());
    }
    return done;
}

bool captureVideo(const CaptureOptions& options, const VideoSettings& settings, DemoSession& session,
                  PlatformOffscreen& offscreen)
{
    VideoEncoder encoder;
    std::string error;
    if (!startVideo(encoder, settings, error)) return captureFail(error);
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(options.width) * options.height * 4);
    // Each frame reaches the encoder one frame late, read back while the next one is drawn.
    FrameReadback readback;
    startReadback(readback, options.width, options.height);
    CaptureHooks hooks;
    hooks.onOutput = [&](const ClockStep&) {
        if (!readbackFrame(readback, pixels)) return true;
        return encodeFrame(encoder, pixels.data(), pixels.size(), error) || captureFail(error);
    };
    bool done = runCaptureSteps(session, planSpan(options.rate, options.from, options.to), offscreen, hooks,
                                options.drawEveryFrame);
    if (done && finishReadback(readback, pixels)) {
        done = encodeFrame(encoder, pixels.data(), pixels.size(), error) || captureFail(error);
    }
    stopReadback(readback);
    if (!finishVideo(encoder, error)) done = captureFail(error);
    if (!done) {
        std::remove(options.out.c_str());
        return false;
    }
    std::printf("%s: %lld frames at %s fps, %.3f s with sound, x264 %s\n", options.out.c_str(),
                static_cast<long long>(spanFrameCount(options.rate, options.from, options.to)),
                (std::to_string(options.rate.numerator) +
                 (options.rate.denominator == 1 ? "" : "/" + std::to_string(options.rate.denominator)))
                    .c_str(),
                static_cast<double>(spanFrameCount(options.rate, options.from, options.to)) /
                    framesPerSecond(options.rate),
                describeVideoQuality(settings.quality).c_str());
    return true;
}

bool captureSheet(const CaptureOptions& options, DemoSession& session, PlatformOffscreen& offscreen)
{
    if (!checkWritable(options.sheetPath)) return false;
    const std::vector<double> times = spreadTimes(options.from, options.to, options.count);
    std::vector<std::int64_t> wanted;
    for (double time : times) wanted.push_back(gridFrameAt(options.rate, time));
    std::vector<ClockStep> steps = planGrid(options.rate, wanted.back());
    for (ClockStep& step : steps) {
        if (std::find(wanted.begin(), wanted.end(), step.outputIndex) == wanted.end()) step.outputIndex = -1;
    }
    ContactSheet sheet = makeContactSheet(options.count, options.width, options.height);
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(options.width) * options.height * 4);
    CaptureHooks hooks;
    hooks.onOutput = [&](const ClockStep& step) {
        readFrame(options.width, options.height, pixels);
        for (std::size_t i = 0; i < wanted.size(); ++i) {
            if (wanted[i] == step.outputIndex) placeTile(sheet, static_cast<int>(i), pixels.data(), timeLabel(step.demoTime));
        }
        return true;
    };
    if (!runCaptureSteps(session, steps, offscreen, hooks, options.drawEveryFrame)) return false;
    std::string error;
    if (!writeSheet(options.sheetPath, sheet, error)) return captureFail(error);
    std::printf("%s: %d frames, %dx%d\n", options.sheetPath.c_str(), options.count, sheet.width, sheet.height);
    return true;
}

// Plays every frame to 173 s; the GL check is the point of it.
bool checkRun(const CaptureOptions& options, DemoSession& session, PlatformOffscreen& offscreen)
{
    const std::vector<ClockStep> steps = planGrid(options.rate, gridFrameAt(options.rate, demoLength));
    if (!runCaptureSteps(session, steps, offscreen, CaptureHooks{}, true)) return false;
    std::printf("%zu frames to %.1f s without a GL error\n", steps.size(), demoLength);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    // An ffmpeg that stops must show as a failed write, not end this process.
    std::signal(SIGPIPE, SIG_IGN);
    const double launchTime = platformMonotonicSeconds();
    CaptureOptions options;
    if (!parseCaptureOptions(argc, argv, options)) {
        printCaptureUsage(stderr);
        return 2;
    }
    if (options.help) {
        printCaptureUsage(stdout);
        return 0;
    }
    if (options.version) {
        std::printf("kesu-capture %s\n", KESU_VERSION);
        return 0;
    }
    // A run folder, or the installed pack.
    const RunFiles files = findRunFiles(packFileNames());
    if (!files.note.empty()) std::fprintf(stderr, "kesu-capture: %s\n", files.note.c_str());
    if (options.mode == CAPTURE_SOUND) return writeSpanSound(options, files.dataFolder) ? 0 : 1;
    VideoSettings video;
    if (options.mode == CAPTURE_VIDEO && !prepareVideo(options, files.dataFolder, video)) return 1;

    PlatformOffscreen offscreen;
    RenderWindow renderWindow;
    std::string error;
    if (!createOffscreenRenderWindow(options.width, options.height, renderWindow, offscreen, error)) {
        captureFail(error);
        if (!video.audioPath.empty()) std::remove(video.audioPath.c_str());
        return 1;
    }
    const double contextTime = platformMonotonicSeconds();

    // The player's start-up: the wait screen (presented by the swap), then the assets and the
    // run's GL state.
    DemoSession session;
    session.renderWindow = &renderWindow;
    session.dataFolder = files.dataFolder;
    if (options.checkGl) enableGlCheck(session);
    LoadError loadError;
    bool ok = showWaitScreen(session, loadError);
    if (ok) {
        platformSwapBuffers(offscreen.window);
        ok = loadDemoSession(session, loadError, options.immediateDraw ? DRAW_PATH_IMMEDIATE : DRAW_PATH_FAST);
    }
    glFinish();
    const double loadedTime = platformMonotonicSeconds();
    if (!ok) captureFail(formatLoadError(loadError));
    if (ok && options.checkGl) {
        checkGlNow(session, "the start-up");
        if (session.glCheck.error) ok = captureFail(describeGlError(session.glCheck));
    }
    if (ok) {
        switch (options.mode) {
        case CAPTURE_CHECK: ok = checkRun(options, session, offscreen); break;
        case CAPTURE_PICKS: ok = capturePicks(options, session, offscreen); break;
        case CAPTURE_SEQUENCE: ok = captureSequence(options, session, offscreen); break;
        case CAPTURE_VIDEO: ok = captureVideo(options, video, session, offscreen); break;
        case CAPTURE_SHEET: ok = captureSheet(options, session, offscreen); break;
        case CAPTURE_SOUND: break;   // written before any window opened
        case CAPTURE_BENCH:
            ok = benchRun(options, session, offscreen, (contextTime - launchTime) * 1000.0,
                          (loadedTime - contextTime) * 1000.0);
            break;
        }
    }
    if (!video.audioPath.empty()) std::remove(video.audioPath.c_str());
    destroyOffscreenRenderWindow(renderWindow, offscreen);
    return ok ? 0 : 1;
}
