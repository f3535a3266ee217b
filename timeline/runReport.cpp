#include "timeline/runReport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

double medianOf(std::vector<double> values)
{
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}

double percentileOf(std::vector<double> values, double fraction)
{
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    const std::size_t rank = static_cast<std::size_t>(std::ceil(fraction * static_cast<double>(values.size())));
    return values[std::min(std::max<std::size_t>(rank, 1), values.size()) - 1];
}

RunReport summarizeRun(const std::vector<double>& shownSeconds, double startSeconds, double refreshHz)
{
    RunReport report;
    report.refreshHz = refreshHz > 0.0 ? refreshHz : 60.0;
    report.frames = static_cast<std::int64_t>(shownSeconds.size());
    if (shownSeconds.empty()) return report;
    report.secondsPlayed = std::max(0.0, shownSeconds.back() - startSeconds);
    if (report.secondsPlayed > 0.0) report.framesPerSecond = static_cast<double>(report.frames) / report.secondsPlayed;
    std::vector<double> intervals;
    intervals.reserve(shownSeconds.size());
    const double longInterval = 2000.0 / report.refreshHz;
    for (std::size_t i = 1; i < shownSeconds.size(); ++i) {
        intervals.push_back((shownSeconds[i] - shownSeconds[i - 1]) * 1000.0);
        if (intervals.back() > longInterval) ++report.longFrames;
    }
    report.medianIntervalMs = medianOf(intervals);
    report.p95IntervalMs = percentileOf(intervals, 0.95);
    return report;
}

std::string describeRunReport(const RunReport& report)
{
    char text[256];
    std::snprintf(text, sizeof text,
                  "%lld frames in %.2f s, %.1f frames/s; frame interval median %.1f ms, 95th percentile %.1f ms; "
                  "%lld frames over %.1f ms (two refresh intervals at %.0f Hz)",
                  static_cast<long long>(report.frames), report.secondsPlayed, report.framesPerSecond,
                  report.medianIntervalMs, report.p95IntervalMs, static_cast<long long>(report.longFrames),
                  2000.0 / report.refreshHz, report.refreshHz);
    return text;
}
