// The time frames are drawn for, on a scripted clock: frames read at 60 Hz whose swaps return
// a given time after the read.
#include "timeline/framePrediction.h"

#include <gtest/gtest.h>

namespace {

// Reads at readTime (music) = readSeconds (wall), shows `delay` later; returns the drawn time.
float frame(FramePrediction& prediction, double readSeconds, double delay, float end = 173.0f)
{
    const float drawn = predictFrameTime(prediction, static_cast<float>(readSeconds), readSeconds, end);
    frameShown(prediction, readSeconds + delay);
    return drawn;
}

} // namespace

// The first frame is drawn for its read time exactly; later ones for the read time plus the
// median of the recent read-to-shown delays, at most 50 ms.
TEST(FramePrediction, FirstFrameExactThenTheMedianDelayCapped)
{
    FramePrediction prediction;
    EXPECT_EQ(frame(prediction, 10.0, 0.020), 10.0f);
    EXPECT_FLOAT_EQ(frame(prediction, 10.02, 0.020), 10.04f);
    // One slow frame among fast ones does not move the median.
    frame(prediction, 10.04, 0.300);
    EXPECT_FLOAT_EQ(frame(prediction, 10.06, 0.020), 10.08f);
    for (int i = 0; i < 15; ++i) frame(prediction, 11.0 + i, 0.200);
    EXPECT_DOUBLE_EQ(predictedDelay(prediction), framePredictionMaxDelay);
    EXPECT_FLOAT_EQ(frame(prediction, 30.0, 0.2), 30.05f);
}

// Never backwards, whatever the clock reads; never past the end, where the last frames all
// show 173.0; exact again after a restart (a resume), then predicting again.
TEST(FramePrediction, NeverBackwardsEndsAtTheEndAndRestartsExact)
{
    FramePrediction prediction;
    frame(prediction, 100.0, 0.02);
    const float ahead = frame(prediction, 100.02, 0.02);
    EXPECT_FLOAT_EQ(ahead, 100.04f);
    EXPECT_EQ(frame(prediction, 100.01, 0.02), ahead) << "a clock read behind the last frame's time";
    EXPECT_EQ(frame(prediction, 172.99, 0.02), 173.0f);
    EXPECT_EQ(frame(prediction, 173.0, 0.02), 173.0f);

    FramePrediction resumed;
    frame(resumed, 50.0, 0.02);
    frame(resumed, 50.02, 0.02);
    restartPrediction(resumed);
    EXPECT_FLOAT_EQ(frame(resumed, 50.1, 0.02), 50.1f);
    EXPECT_FLOAT_EQ(frame(resumed, 50.12, 0.02), 50.14f);

    FramePrediction frameStart;
    frameStart.enabled = false;
    frame(frameStart, 20.0, 0.02);
    EXPECT_EQ(frame(frameStart, 20.02, 0.02), 20.02f);
}
