// Frame times grouped by the effects drawing: the stretches between consecutive window
// boundaries of the schedule, each named after the windows drawing in it
// ("TitleStreams+BlindsMask+GrassScene" from 10 to 17.5 s), and the table both benches print.
// Pure arithmetic, no GL.
#pragma once

#include <string>
#include <vector>

struct TimingWindow {
    std::string name;
    float start = 0.0f;
    float end = 0.0f;
    std::vector<double> milliseconds;
    std::vector<double> cpuMilliseconds;   // processor time of all the process's threads, where measured
};

std::vector<TimingWindow> timingWindows();

// A frame drawn for demoTime took that long; a frame on a boundary belongs to no window.
// A negative cpuMilliseconds is not kept.
void recordFrameTiming(std::vector<TimingWindow>& windows, float demoTime, double milliseconds,
                       double cpuMilliseconds = -1.0);

// The table's heading and rows: name, frames, median, 95th percentile and slowest in ms, and
// the median processor time where there is one.
void printTimingHeading(bool withCpu);
void printTimingRow(const std::string& name, const std::vector<double>& milliseconds,
                    const std::vector<double>& cpuMilliseconds = {});
// A row for every window that has frames.
void printTimingWindows(const std::vector<TimingWindow>& windows);
