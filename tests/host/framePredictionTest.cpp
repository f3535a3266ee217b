// The time frames are drawn for, on a scripted clock: frames read at 60 Hz whose swaps return
// a given time after the read.
#include "host/framePrediction.h"

#include <gtest/gtest.h>

namespace {

// Reads at readTime (music) = readSeconds (wall), shows `delay` later; returns the drawn time.
float frame(FramePrediction& prediction, double readSeconds, double delay, float end = 173.0f)
{
    const float drawn = predictFrameTime(prediction, static_cast<float>(readSeconds), end);
    frameShown(prediction, readSeconds, readSeconds + delay);
    return drawn;
}

} // namespace

// The first frame is drawn for its read time exactly, and its delay is not learnt; once three
// are, frames are drawn for the read time plus the median of the last 15 read-to-shown
// delays, at most 50 ms.
TEST(FramePrediction, FirstFrameExactThenTheMedianOfTheLast15DelaysCapped)
{
    FramePrediction prediction;
    EXPECT_EQ(frame(prediction, 10.0, 0.040), 10.0f);
    EXPECT_EQ(predictedDelay(prediction), 0.0) << "the first frame's delay, one-off work included, was learnt";
    // 15 slow frames, then 15 of 10 to 24 ms: only the last 15 count, and their median is the
    // eighth smallest, 17 ms (the smallest would be 10 ms, the last 30 would give 40 ms).
    double read = 10.0;
    for (int i = 0; i < 14; ++i) frame(prediction, read += 0.02, 0.040);
    for (int i = 0; i < 15; ++i) frame(prediction, read += 0.02, 0.010 + 0.001 * ((i * 7) % 15));
    EXPECT_NEAR(predictedDelay(prediction), 0.017, 1e-9);
    EXPECT_FLOAT_EQ(frame(prediction, 20.0, 0.2), 20.017f);
    for (int i = 0; i < 15; ++i) frame(prediction, 21.0 + i, 0.200);
    EXPECT_FLOAT_EQ(frame(prediction, 40.0, 0.2), 40.0f + static_cast<float>(framePredictionMaxDelay));
}

// Never backwards, whatever the clock reads; never past the end; exact again after a restart
// (a resume) while the music stands, not learning the delays of those frames, then predicting
// again; after a restart at a time (a seek) it may go back there.
TEST(FramePrediction, NeverBackwardsEndsAtTheEndAndRestartsExact)
{
    FramePrediction prediction;
    frame(prediction, 100.0, 0.02);
    EXPECT_EQ(frame(prediction, 100.0, 0.06), 100.0f) << "the music still stands at the start";
    EXPECT_EQ(frame(prediction, 100.005, 0.06), 100.005f) << "one frame's delay taken for the usual";
    frame(prediction, 100.01, 0.02);
    frame(prediction, 100.015, 0.02);
    const float ahead = frame(prediction, 100.02, 0.02);
    EXPECT_FLOAT_EQ(ahead, 100.04f) << "a standing frame's 60 ms was learnt";
    EXPECT_EQ(frame(prediction, 100.01, 0.02), ahead) << "a clock read behind the last frame's time";
    EXPECT_EQ(frame(prediction, 172.99, 0.02), 173.0f);

    FramePrediction resumed;
    for (int i = 0; i < 4; ++i) frame(resumed, 50.0 + 0.02 * i, 0.02);
    restartPrediction(resumed);
    EXPECT_FLOAT_EQ(frame(resumed, 50.1, 0.02), 50.1f);
    EXPECT_FLOAT_EQ(frame(resumed, 50.12, 0.02), 50.14f);
    restartPrediction(resumed, 20.0f);
    EXPECT_FLOAT_EQ(frame(resumed, 20.0, 0.02), 20.0f);

    FramePrediction frameStart;
    frameStart.enabled = false;
    frame(frameStart, 20.0, 0.02);
    EXPECT_EQ(frame(frameStart, 20.02, 0.02), 20.02f);
}
