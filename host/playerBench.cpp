#include "host/playerBench.h"

#include "host/playerScreen.h"
#include "platform/display/window.h"
#include "platform/system/monotonicClock.h"
#include "timeline/captureClock.h"
#include "timeline/demoSchedule.h"
#include "timeline/demoSession.h"

#include <GL/gl.h>

#include <cstdio>

namespace {

constexpr FrameRate benchRate{60, 1};
constexpr double batchSeconds = 0.1;

// Whether the GL has finished the frame: one pixel read back, which waits for it everywhere
// (a browser's glFinish only flushes).
void waitForFrame()
{
    std::uint8_t pixel[4];
    glFinish();
    glReadPixels(0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
}

void printBench(const PlayerBench& bench, const PlayerScreen& screen)
{
    std::printf("kesu bench: %dx%d, 60 fps, %.3f to %.3f s, %zu frames timed\n", screen.width, screen.height,
                static_cast<double>(gridTime(benchRate, bench.firstFrame)), static_cast<double>(demoLength),
                bench.all.size());
    std::printf("rendering (frame composed and finished, no readback), per frame:\n");
    printTimingHeading(false);
    printTimingWindows(bench.windows);
    printTimingRow("all frames", bench.all);
    std::fflush(stdout);
}

} // namespace

void startPlayerBench(PlayerBench& bench, DemoSession& session, double from)
{
    bench.windows = timingWindows();
    bench.firstFrame = gridFrameAt(benchRate, from);
    bench.nextFrame = bench.firstFrame;
    bench.endFrame = gridFrameAt(benchRate, demoLength);
    if (bench.firstFrame > 0) restartDemoSession(session, gridTime(benchRate, bench.firstFrame));
    std::printf("kesu: timing %lld frames back to back; Escape stops\n",
                static_cast<long long>(bench.endFrame - bench.firstFrame));
    std::fflush(stdout);
}

bool stepPlayerBench(PlayerBench& bench, DemoSession& session, PlayerScreen& screen)
{
    PlatformEvent event;
    while (platformPollEvent(event)) {
        const bool escape = event.kind == PLATFORM_EVENT_KEY_DOWN && event.keyCode == PLATFORM_KEY_ESCAPE;
        if (escape || event.kind == PLATFORM_EVENT_QUIT) return false;
    }
    if (session.quitRequested && session.quitRequested()) return false;
    const double batchStart = platformMonotonicSeconds();
    waitForFrame();
    while (bench.nextFrame < bench.endFrame && platformMonotonicSeconds() - batchStart < batchSeconds) {
        const float time = gridTime(benchRate, bench.nextFrame++);
        const double before = platformMonotonicSeconds();
        stepDemoFrame(session, time);
        waitForFrame();
        const double milliseconds = (platformMonotonicSeconds() - before) * 1000.0;
        bench.all.push_back(milliseconds);
        recordFrameTiming(bench.windows, time, milliseconds);
    }
    presentShow(screen.surface, screen.window);
    if (bench.nextFrame < bench.endFrame) return true;
    printBench(bench, screen);
    return false;
}
