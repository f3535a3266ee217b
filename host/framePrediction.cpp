#include "host/framePrediction.h"

#include <algorithm>

double predictedDelay(const FramePrediction& prediction)
{
    if (prediction.delayCount < framePredictionLearnt) return 0.0;
    std::array<double, 15> sorted = prediction.recentDelays;
    const auto end = sorted.begin() + static_cast<std::ptrdiff_t>(prediction.delayCount);
    std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(prediction.delayCount / 2), end);
    return std::clamp(sorted[prediction.delayCount / 2], 0.0, framePredictionMaxDelay);
}

float predictFrameTime(FramePrediction& prediction, float readTime, float end)
{
    // After a restart the music stands until the output starts it.
    if (prediction.exact) prediction.standingAt = readTime;
    const bool standing = readTime == prediction.standingAt;
    if (!standing) prediction.standingAt = -1.0f;
    float drawn = readTime;
    if (prediction.enabled && !standing) drawn = static_cast<float>(readTime + predictedDelay(prediction));
    prediction.lastExact = standing;
    prediction.exact = false;
    drawn = std::min(std::max(prediction.lastDrawn, drawn), end);
    prediction.lastDrawn = drawn;
    return drawn;
}

void frameShown(FramePrediction& prediction, double readSeconds, double shownSeconds)
{
    if (prediction.lastExact) return;
    prediction.recentDelays[prediction.nextDelay] = shownSeconds - readSeconds;
    prediction.nextDelay = (prediction.nextDelay + 1) % prediction.recentDelays.size();
    prediction.delayCount = std::min(prediction.delayCount + 1, prediction.recentDelays.size());
}

void restartPrediction(FramePrediction& prediction) { prediction.exact = true; }

void restartPrediction(FramePrediction& prediction, float fromTime)
{
    prediction.exact = true;
    prediction.lastDrawn = fromTime;
}
