#include "timeline/beatPulse.h"
#include "timeline/demoSchedule.h"

#include <gtest/gtest.h>

namespace {

// Runs the pulse from 0 at 60 frames per second up to and including the frame at or after
// `until`, returning the state reached.
BeatPulse runTo(float until, float framesPerSecond = 60.0f)
{
    BeatPulse state;
    for (int frame = 0;; ++frame) {
        const float t = frame / framesPerSecond;
        updatePulse(state, t);
        if (t >= until) return state;
    }
}

} // namespace

TEST(BeatPulse, IsOneHalfExactlyOnTheFirstBeat)
{
    BeatPulse state;
    updatePulse(state, 10.362539f);
    EXPECT_FLOAT_EQ(state.pulse, 0.5f);
    EXPECT_EQ(state.beatIndex, 0);
}

TEST(BeatPulse, IsZeroUpToTwoTenthsBeforeABeat)
{
    BeatPulse state;
    updatePulse(state, 10.162f);
    EXPECT_EQ(state.pulse, 0.0f);
    updatePulse(state, 10.2f);
    EXPECT_NEAR(state.pulse, (10.2 - 10.362539 + 0.2) / 0.4, 1e-5);
}

TEST(BeatPulse, ApproachesOneJustBeforeTwoTenthsAfterABeat)
{
    BeatPulse state;
    updatePulse(state, 10.5625f);
    EXPECT_GT(state.pulse, 0.99f);
    EXPECT_LT(state.pulse, 1.0f);
}

TEST(BeatPulse, IsZeroFromTwoTenthsAfterABeatUntilTheNextRamp)
{
    BeatPulse state;
    updatePulse(state, 10.4f);
    updatePulse(state, 10.5630f);
    EXPECT_EQ(state.pulse, 0.0f);
    EXPECT_EQ(state.beatIndex, 1);
    updatePulse(state, 11.0f);
    EXPECT_EQ(state.pulse, 0.0f);
    updatePulse(state, 11.312267f);
    EXPECT_FLOAT_EQ(state.pulse, 0.5f);
}

TEST(BeatPulse, StaysZeroThroughThePauseAfterTheEighthBeat)
{
    BeatPulse state = runTo(18.95f);
    for (int frame = 0; 18.95f + frame / 60.0f < 24.83f; ++frame) {
        updatePulse(state, 18.95f + frame / 60.0f);
        ASSERT_EQ(state.pulse, 0.0f) << "at " << 18.95f + frame / 60.0f << " s";
    }
    EXPECT_EQ(state.beatIndex, 8);
}

TEST(BeatPulse, StaysZeroAfterTheLastBeatWithoutReadingPastTheTable)
{
    BeatPulse state = runTo(165.354f);
    EXPECT_EQ(state.beatIndex, beatCount);
    for (int frame = 0; frame < 60 * 8; ++frame) {
        updatePulse(state, 165.36f + frame / 60.0f);
        ASSERT_EQ(state.pulse, 0.0f);
        ASSERT_EQ(state.beatIndex, beatCount);
    }
}

TEST(BeatPulse, RisesOnEveryBeatAtSixtyFramesPerSecond)
{
    BeatPulse state;
    int beatsSeen = 0;
    float previous = 0.0f;
    for (int frame = 0; frame <= 173 * 60; ++frame) {
        updatePulse(state, frame / 60.0f);
        if (state.pulse > 0.0f && previous == 0.0f) ++beatsSeen;
        previous = state.pulse;
    }
    EXPECT_EQ(beatsSeen, beatCount);
}

TEST(BeatPulse, CatchesUpOneBeatPerFrameAtALowFrameRate)
{
    BeatPulse state;
    // One frame at 30 s, long after eight beats: the index moves one beat per frame and
    // the pulses of the beats it still points to are missed.
    for (int frame = 1; frame <= 11; ++frame) {
        updatePulse(state, 30.0f);
        EXPECT_EQ(state.beatIndex, frame);
        EXPECT_EQ(state.pulse, 0.0f);
    }
    updatePulse(state, 30.0f);
    // Index 12 is the beat at 29.95254 s, whose ramp holds 30 s.
    EXPECT_EQ(state.beatIndex, 12);
    EXPECT_NEAR(state.pulse, (30.0 - 29.95254 + 0.2) / 0.4, 1e-5);
    updatePulse(state, 30.0f);
    EXPECT_EQ(state.beatIndex, 12);
}
