// How a run went, from the wall-clock times at which its frames were shown: the one line the
// player prints when it ends, and the order statistics the capture tool's bench shares.
// Pure arithmetic, no GL.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Median of the values (the mean of the middle two for an even count); 0 for none.
double medianOf(std::vector<double> values);
// Nearest-rank percentile, 0 < fraction <= 1; 0 for none.
double percentileOf(std::vector<double> values, double fraction);

struct RunReport {
    std::int64_t frames = 0;
    double secondsPlayed = 0.0;      // from the start of the music to the last frame, pauses left out
    double framesPerSecond = 0.0;    // frames / secondsPlayed
    double medianIntervalMs = 0.0;   // between consecutive frames
    double p95IntervalMs = 0.0;
    std::int64_t longFrames = 0;     // intervals longer than two refresh intervals
    double refreshHz = 60.0;
};

// shownSeconds: when each frame was shown, on a clock from which paused time is taken out;
// startSeconds: when the music started on that clock. A refresh rate of 0 (unknown) counts
// as 60 Hz.
RunReport summarizeRun(const std::vector<double>& shownSeconds, double startSeconds, double refreshHz);

// "1200 frames in 20.00 s, 60.0 frames/s; frame interval median 16.7 ms, 95th percentile
// 17.2 ms; 3 frames over 33.3 ms (two refresh intervals at 60 Hz)".
std::string describeRunReport(const RunReport& report);
