#include "timeline/captureClock.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace {

constexpr std::int64_t sampleRate = 44100;
// Numerator and denominator stay below this so sample arithmetic cannot overflow 64 bits.
constexpr std::int64_t largestRateTerm = 1000000;
// How close to a grid frame (in frames) a time must be to count as that frame.
constexpr double onGridTolerance = 1e-6;

bool parseWhole(const std::string& text, std::int64_t& value)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
    errno = 0;
    value = std::strtoll(text.c_str(), nullptr, 10);
    return errno == 0 && value >= 1 && value <= largestRateTerm;
}

// A span's start in grid frames: its grid frame when it lies on one, with `onGrid` set.
double startInFrames(const FrameRate& rate, double from, bool& onGrid, std::int64_t& gridFrame)
{
    const double frames = from * static_cast<double>(rate.numerator) / static_cast<double>(rate.denominator);
    const double nearest = std::round(frames);
    onGrid = std::fabs(frames - nearest) < onGridTolerance;
    gridFrame = onGrid ? static_cast<std::int64_t>(nearest) : static_cast<std::int64_t>(std::ceil(frames));
    return onGrid ? nearest : frames;
}

} // namespace

bool parseFrameRate(const std::string& text, FrameRate& rate)
{
    const std::size_t slash = text.find('/');
    FrameRate parsed;
    if (!parseWhole(text.substr(0, slash), parsed.numerator)) return false;
    if (slash != std::string::npos && !parseWhole(text.substr(slash + 1), parsed.denominator)) return false;
    const double perSecond = framesPerSecond(parsed);
    if (perSecond < 1.0 || perSecond > 1000.0) return false;
    rate = parsed;
    return true;
}

double framesPerSecond(const FrameRate& rate)
{
    return static_cast<double>(rate.numerator) / static_cast<double>(rate.denominator);
}

float gridTime(const FrameRate& rate, std::int64_t frame)
{
    // frame x denominator is exact in a double; the one division rounds once.
    return static_cast<float>(static_cast<double>(frame * rate.denominator) / static_cast<double>(rate.numerator));
}

std::int64_t gridFrameAt(const FrameRate& rate, double time)
{
    bool onGrid = false;
    std::int64_t frame = 0;
    startInFrames(rate, time, onGrid, frame);
    return frame;
}

std::int64_t spanFrameCount(const FrameRate& rate, double from, double to)
{
    bool onGrid = false;
    std::int64_t gridFrame = 0;
    const double fromFrames = startInFrames(rate, from, onGrid, gridFrame);
    const double toFrames = to * static_cast<double>(rate.numerator) / static_cast<double>(rate.denominator);
    const double count = std::ceil(toFrames - fromFrames - onGridTolerance);
    return count > 0.0 ? static_cast<std::int64_t>(count) : 0;
}

std::vector<ClockStep> planSpan(const FrameRate& rate, double from, double to)
{
    bool onGrid = false;
    std::int64_t firstSpanGridFrame = 0;
    startInFrames(rate, from, onGrid, firstSpanGridFrame);
    const std::int64_t spanCount = spanFrameCount(rate, from, to);

    std::vector<ClockStep> steps;
    steps.reserve(static_cast<std::size_t>(firstSpanGridFrame + spanCount));
    float previousTime = 0.0f;
    for (std::int64_t frame = 0; frame < firstSpanGridFrame; ++frame) {
        const float time = gridTime(rate, frame);
        steps.push_back({time, previousTime, -1});
        previousTime = time;
    }
    for (std::int64_t i = 0; i < spanCount; ++i) {
        const float time = onGrid ? gridTime(rate, firstSpanGridFrame + i)
                                  : static_cast<float>(from + static_cast<double>(i * rate.denominator) /
                                                                  static_cast<double>(rate.numerator));
        steps.push_back({time, previousTime, i});
        previousTime = time;
    }
    return steps;
}

std::vector<ClockStep> planGrid(const FrameRate& rate, std::int64_t lastFrame)
{
    std::vector<ClockStep> steps;
    steps.reserve(static_cast<std::size_t>(lastFrame + 1));
    float previousTime = 0.0f;
    for (std::int64_t frame = 0; frame <= lastFrame; ++frame) {
        const float time = gridTime(rate, frame);
        steps.push_back({time, previousTime, frame});
        previousTime = time;
    }
    return steps;
}

std::int64_t audioSampleOfFrame(const FrameRate& rate, std::int64_t frame)
{
    // round(frame x 44100 x denominator / numerator), halves rounded up.
    return (2 * frame * sampleRate * rate.denominator + rate.numerator) / (2 * rate.numerator);
}

std::int64_t audioSampleOfTime(double time)
{
    return std::llround(time * static_cast<double>(sampleRate));
}

std::vector<double> spreadTimes(double from, double to, int count)
{
    std::vector<double> times;
    for (int i = 0; i < count; ++i) times.push_back(from + (i + 0.5) * (to - from) / count);
    return times;
}
