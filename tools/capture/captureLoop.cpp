#include "tools/capture/captureLoop.h"

#include "platform/display/renderWindow.h"
#include "platform/system/monotonicClock.h"
#include "timeline/demoSession.h"
#include "tools/capture/captureOptions.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace {

std::string formatClock(double seconds)
{
    const long whole = std::lround(std::max(0.0, seconds));
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

// One line on stderr: rewritten in place on a terminal, otherwise a new line every few
// seconds so logs stay short.
struct Progress {
    std::size_t total = 0;
    double start = 0.0;
    double lastShown = 0.0;
    bool terminal = false;

    // The first line waits one interval, so its rate is not that of a single frame.
    explicit Progress(std::size_t frameCount)
        : total(frameCount), start(platformMonotonicSeconds()), lastShown(start), terminal(isatty(2) != 0)
    {
    }

    void show(std::size_t done)
    {
        const double now = platformMonotonicSeconds();
        const bool last = done == total;
        if (!last && now - lastShown < (terminal ? 0.5 : 10.0)) return;
        lastShown = now;
        const double elapsed = now - start;
        const double rate = elapsed > 0.0 ? static_cast<double>(done) / elapsed : 0.0;
        const double left = rate > 0.0 ? static_cast<double>(total - done) / rate : 0.0;
        std::fprintf(stderr, "%skesu-capture: %zu/%zu frames, %.1f frames/s, %s %s", terminal ? "\r" : "", done, total,
                     rate, last ? formatClock(elapsed).c_str() : formatClock(left).c_str(), last ? "in all" : "left");
        std::fprintf(stderr, terminal && !last ? "   " : "\n");
        std::fflush(stderr);
    }
};

} // namespace

bool runCaptureSteps(DemoSession& session, const std::vector<ClockStep>& steps, PlatformOffscreen& offscreen,
                     const CaptureHooks& hooks, bool drawEveryFrame)
{
    const std::vector<bool> drawn = drawEveryFrame ? std::vector<bool>(steps.size(), true) : planDrawnSteps(steps);
    // The progress line counts drawn frames; a stepped one costs next to nothing.
    Progress progress(static_cast<std::size_t>(std::count(drawn.begin(), drawn.end(), true)));
    std::size_t drawnDone = 0;
    std::size_t next = 0;
    DemoDriver driver;
    driver.readClock = [&](FrameClock& clock) {
        if (next == steps.size()) return false;
        if (hooks.beforeFrame && drawn[next]) hooks.beforeFrame(steps[next]);
        clock.readTime = steps[next].demoTime;
        return true;
    };
    driver.drawsFrame = [&] {
        if (drawn[next]) return true;
        ++next;
        return false;
    };
    driver.finishFrame = [&](const FrameClock&) {
        const ClockStep& step = steps[next++];
        if (session.glCheck.error) return captureFail(describeGlError(session.glCheck));
        if (step.outputIndex >= 0 && hooks.onOutput && !hooks.onOutput(step)) return false;
        platformSwapBuffers(offscreen.window);
        progress.show(++drawnDone);
        return true;
    };
    return runDemoLoop(session, driver) != DEMO_RUN_FAILED;
}
