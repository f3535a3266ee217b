// How long the player's seek takes: a session loaded offscreen at the size asked (640x480 by
// default) is started again at every whole second from 0 to 172, in a fixed shuffled order
// (back and forth, into parts no seek has reached yet), each time the restart plus the
// landing frame drawn and finished; then the same with the history dropped before each
// restart, as a start with --from meets it. With --exact, each restart is the late start as
// it was: from the loaded session, every frame a capture starting there draws drawn. Prints
// the time per second and the median, 95th percentile and worst, with the second it
// happened at, against the target, and the history's size. With --compare FOLDER (a
// capture's --at pictures at-SSSSS.000.png of the same size), also how far each landing
// frame is from that picture.
//
//   cd build/test/testdata && ../bench/bench_seekBench [--size WxH] [--exact] [--compare FOLDER]
#include "platform/display/renderWindow.h"
#include "platform/display/window.h"
#include "platform/files/loadError.h"
#include "platform/files/pngWriter.h"
#include "platform/system/monotonicClock.h"
#include "timeline/demoSchedule.h"
#include "timeline/demoSession.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Figures {
    double median = 0.0, p95 = 0.0, worst = 0.0;
    int worstAt = 0;
};

Figures figuresOf(const std::vector<double>& milliseconds)
{
    std::vector<double> sorted = milliseconds;
    std::sort(sorted.begin(), sorted.end());
    Figures figures;
    figures.median = sorted[sorted.size() / 2];
    figures.p95 = sorted[static_cast<std::size_t>(std::ceil(0.95 * sorted.size())) - 1];
    const auto worst = std::max_element(milliseconds.begin(), milliseconds.end());
    figures.worst = *worst;
    figures.worstAt = static_cast<int>(worst - milliseconds.begin());
    return figures;
}

// The old late start: every frame a capture starting there draws, from the loaded show.
float exactLateStart(DemoSession& session, double startTime)
{
    constexpr FrameRate grid{60, 1};
    const std::vector<ClockStep> steps = planSpan(grid, startTime, startTime + 1.0 / 60.0);
    const std::vector<bool> drawn = planDrawnSteps(steps);
    for (std::size_t i = 0; i + 1 < steps.size(); ++i)
        stepDemoFrame(session, steps[i].demoTime, drawn[i] ? FRAME_DRAW : FRAME_STEP);
    return steps.back().demoTime;
}

// Mean absolute difference of the back buffer from a capture's picture of that second, and
// the share of pixels off by more than 32 in some channel; -1 when there is no picture.
double differenceFrom(const std::string& folder, int second, int width, int height, double& offShare)
{
    char name[64];
    std::snprintf(name, sizeof name, "/at-%05d.000.png", second);
    std::string reference, error;
    int referenceWidth = 0, referenceHeight = 0;
    if (!readPng(folder + name, reference, referenceWidth, referenceHeight, error) || referenceWidth != width ||
        referenceHeight != height) {
        return -1.0;
    }
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width * height * 4));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    double total = 0.0;
    int off = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* a = pixels.data() + 4 * ((height - 1 - y) * width + x);
            const auto* b = reinterpret_cast<const std::uint8_t*>(reference.data()) + 4 * (y * width + x);
            int largest = 0;
            for (int c = 0; c < 3; ++c) {
                total += std::abs(a[c] - b[c]);
                largest = std::max(largest, std::abs(a[c] - b[c]));
            }
            off += largest > 32;
        }
    }
    offShare = static_cast<double>(off) / (width * height);
    return total / (3.0 * width * height);
}

} // namespace

int main(int argc, char** argv)
{
    int width = 640, height = 480;
    bool exact = false;
    std::string compare;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--size") == 0 && i + 1 < argc) {
            std::sscanf(argv[++i], "%dx%d", &width, &height);
        } else if (std::strcmp(argv[i], "--exact") == 0) {
            exact = true;
        } else if (std::strcmp(argv[i], "--compare") == 0 && i + 1 < argc) {
            compare = argv[++i];
        } else {
            std::fprintf(stderr, "usage: bench_seekBench [--size WxH] [--exact] [--compare FOLDER]\n");
            return 2;
        }
    }
    PlatformOffscreen offscreen;
    RenderWindow renderWindow;
    std::string error;
    if (!createOffscreenRenderWindow(width, height, renderWindow, offscreen, error)) {
        std::fprintf(stderr, "seekBench: %s\n", error.c_str());
        return 1;
    }
    DemoSession session;
    session.renderWindow = &renderWindow;
    LoadError loadError;
    if (!showWaitScreen(session, loadError) || !loadDemoSession(session, loadError)) {
        std::fprintf(stderr, "seekBench: %s (run in a folder holding data/)\n", formatLoadError(loadError).c_str());
        return 1;
    }
    const int seconds = static_cast<int>(demoLength);
    std::vector<int> order(static_cast<std::size_t>(seconds));
    for (int s = 0; s < seconds; ++s) order[static_cast<std::size_t>(s)] = s;
    unsigned state = 2026;
    for (int s = seconds - 1; s > 0; --s) {
        state = state * 1103515245u + 12345u;
        std::swap(order[static_cast<std::size_t>(s)], order[(state >> 8) % static_cast<unsigned>(s + 1)]);
    }
    const ShowSnapshot loaded = session.history.snapshots.front();
    std::printf("seekBench: %dx%d, %s\n", width, height, exact ? "the late start as it was (--exact)" : "restarts in place");
    std::printf("%6s %12s %12s\n", "second", "seek ms", "fresh ms");
    std::vector<double> seekMs(static_cast<std::size_t>(seconds)), freshMs(static_cast<std::size_t>(seconds));
    std::size_t snapshotCount = 0;
    double snapshotBytes = 0.0;
    for (int pass = 0; pass < 2; ++pass) {
        for (int s : order) {
            const bool fresh = pass == 1 || exact;
            if (fresh) {
                session.history.snapshots.assign(1, loaded);
                restoreShowSnapshot(loaded);
                session.demoTime = session.previousTime = 0.0f;
            }
            const double before = platformMonotonicSeconds();
            const float start = exact ? exactLateStart(session, s) : restartDemoSession(session, s);
            stepDemoFrame(session, start);
            glFinish();
            const double milliseconds = (platformMonotonicSeconds() - before) * 1000.0;
            (pass == 0 ? seekMs : freshMs)[static_cast<std::size_t>(s)] = milliseconds;
            if (pass == 0 && !compare.empty()) {
                double off = 0.0;
                const double mean = differenceFrom(compare, s, width, height, off);
                if (mean >= 0.0 && (mean > 0.5 || off > 0.001))
                    std::fprintf(stderr, "second %d: mean difference %.2f, %.2f%% of pixels off by more than 32\n", s, mean,
                                 100.0 * off);
            }
        }
        // The history a session holds once seeks have passed every second.
        if (pass == 0) {
            snapshotCount = session.history.snapshots.size();
            snapshotBytes = static_cast<double>(session.history.bytes());
        }
        if (exact) break;
    }
    for (int s = 0; s < seconds; ++s) std::printf("%6d %12.1f %12.1f\n", s, seekMs[static_cast<std::size_t>(s)],
                                                  exact ? seekMs[static_cast<std::size_t>(s)] : freshMs[static_cast<std::size_t>(s)]);
    const Figures seek = figuresOf(seekMs), fresh = figuresOf(exact ? seekMs : freshMs);
    std::printf("seek (history kept):  median %.1f ms, 95th percentile %.1f ms, worst %.1f ms at %d s\n", seek.median, seek.p95,
                seek.worst, seek.worstAt);
    std::printf("start (--from):       median %.1f ms, 95th percentile %.1f ms, worst %.1f ms at %d s\n", fresh.median,
                fresh.p95, fresh.worst, fresh.worstAt);
    std::printf("target: a seek lands within 300 ms median, 500 ms worst; worst %s\n",
                seek.median <= 300.0 && seek.worst <= 500.0 ? "within" : "OVER");
    std::printf("snapshots after every second was reached: %zu, %.1f MB\n", snapshotCount, snapshotBytes / 1e6);
    destroyOffscreenRenderWindow(renderWindow, offscreen);
    return 0;
}
