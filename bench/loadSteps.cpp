// The loading's steps, each timed: where the files arrive while the show plays, the steps run
// between frames within a few milliseconds, so the longest step is what may make a frame late.
// For every stage (by the clock from which the show needs it): its steps, their total, their
// median and the longest, with the task it took. Loads data/ in the working directory (the
// build's testdata/ folder) on the fast draw path, in an offscreen GL context; GL work is
// finished within the step that issues it, as a browser's would be before the next frame.
#include "platform/display/renderWindow.h"
#include "platform/display/window.h"
#include "platform/files/loadError.h"
#include "platform/system/monotonicClock.h"
#include "timeline/demoSession.h"
#include "timeline/demoTimeline.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct StageSteps {
    float neededFrom = 0.0f;
    std::vector<double> milliseconds;
    int longestTask = 0;
};

} // namespace

int main()
{
    PlatformOffscreen offscreen;
    RenderWindow renderWindow;
    std::string problem;
    if (!createOffscreenRenderWindow(64, 48, renderWindow, offscreen, problem)) {
        std::fprintf(stderr, "loadSteps: %s\n", problem.c_str());
        return 1;
    }
    DemoSession session;
    session.renderWindow = &renderWindow;
    std::vector<StageSteps> stages;
    while (!session.loaded) {
        const int stage = session.load.stage;
        const int task = session.load.task;
        const float neededFrom = demoLoadedUntil(session.load);
        const double before = platformMonotonicSeconds();
        LoadError error;
        if (!loadDemoSessionStep(session, error)) {
            std::fprintf(stderr, "loadSteps: %s (run in a folder holding data/)\n", formatLoadError(error).c_str());
            return 1;
        }
        glFinish();
        const double milliseconds = (platformMonotonicSeconds() - before) * 1000.0;
        if (stages.size() <= static_cast<std::size_t>(stage)) stages.resize(static_cast<std::size_t>(stage) + 1);
        StageSteps& steps = stages[static_cast<std::size_t>(stage)];
        steps.neededFrom = neededFrom;
        if (steps.milliseconds.empty() || milliseconds > *std::max_element(steps.milliseconds.begin(), steps.milliseconds.end()))
            steps.longestTask = task;
        steps.milliseconds.push_back(milliseconds);
    }
    std::printf("loading steps by stage (fast draw path, GL finished each step):\n");
    std::printf("%-12s %7s %10s %10s %10s %13s\n", "needed from", "steps", "total ms", "median ms", "longest ms", "longest task");
    double longest = 0.0;
    int count = 0;
    for (StageSteps& steps : stages) {
        std::vector<double> sorted = steps.milliseconds;
        std::sort(sorted.begin(), sorted.end());
        double total = 0.0;
        for (double value : sorted) total += value;
        std::printf("%-12.1f %7zu %10.1f %10.3f %10.3f %13d\n", steps.neededFrom, sorted.size(), total,
                    sorted[sorted.size() / 2], sorted.back(), steps.longestTask);
        longest = std::max(longest, sorted.back());
        count += static_cast<int>(sorted.size());
    }
    std::printf("%d steps, the longest %.3f ms\n", count, longest);
    destroyOffscreenRenderWindow(renderWindow, offscreen);
    return 0;
}
