#include "timeline/frameTimings.h"

#include "timeline/demoSchedule.h"
#include "timeline/runReport.h"

#include <algorithm>
#include <cstdio>

std::vector<TimingWindow> timingWindows()
{
    std::vector<float> bounds;
    for (const ScheduledWindow& entry : demoSchedule) {
        bounds.push_back(entry.window.start);
        bounds.push_back(entry.window.end);
    }
    std::sort(bounds.begin(), bounds.end());
    bounds.erase(std::unique(bounds.begin(), bounds.end()), bounds.end());
    std::vector<TimingWindow> windows;
    for (std::size_t i = 0; i + 1 < bounds.size(); ++i) {
        std::string name;
        for (const ScheduledWindow& entry : demoSchedule) {
            if (entry.window.start <= bounds[i] && bounds[i + 1] <= entry.window.end) {
                name += (name.empty() ? "" : "+") + std::string(entry.name);
            }
        }
        if (!name.empty()) windows.push_back({name, bounds[i], bounds[i + 1], {}, {}});
    }
    return windows;
}

void recordFrameTiming(std::vector<TimingWindow>& windows, float demoTime, double milliseconds, double cpuMilliseconds)
{
    for (TimingWindow& window : windows) {
        if (window.start < demoTime && demoTime < window.end) {
            window.milliseconds.push_back(milliseconds);
            if (cpuMilliseconds >= 0.0) window.cpuMilliseconds.push_back(cpuMilliseconds);
        }
    }
}

void printTimingHeading(bool withCpu)
{
    std::printf("%-36s %7s %9s %9s %10s%s\n", "window", "frames", "median ms", "95th ms", "slowest ms",
                withCpu ? "    cpu ms" : "");
}

void printTimingRow(const std::string& name, const std::vector<double>& milliseconds,
                    const std::vector<double>& cpuMilliseconds)
{
    if (milliseconds.empty()) return;
    std::printf("%-36s %7zu %9.2f %9.2f %10.2f", name.c_str(), milliseconds.size(), medianOf(milliseconds),
                percentileOf(milliseconds, 0.95), *std::max_element(milliseconds.begin(), milliseconds.end()));
    if (!cpuMilliseconds.empty()) std::printf(" %9.2f", medianOf(cpuMilliseconds));
    std::printf("\n");
}

void printTimingWindows(const std::vector<TimingWindow>& windows)
{
    for (const TimingWindow& window : windows) printTimingRow(window.name, window.milliseconds, window.cpuMilliseconds);
}
