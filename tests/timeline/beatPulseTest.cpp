#include "timeline/beatPulse.h"
#include "timeline/demoSchedule.h"

#include <gtest/gtest.h>

// Around the first two beats, 10.362539 s and 11.312267 s: 0 up to 0.2 s before a beat, a
// linear ramp through 0.5 on the beat to nearly 1 just before 0.2 s after it, then 0 until
// the next ramp, the index moving on once the ramp is over.
TEST(BeatPulse, RampsFromZeroToOneOverTheFourTenthsAroundEachBeat)
{
    struct Row {
        float t, pulse;
        int beatIndex;
    };
    const Row rows[] = {{10.162f, 0.0f, 0},     {10.2f, 0.0936525f, 0}, {10.362539f, 0.5f, 0},
                        {10.5625f, 0.9999025f, 0}, {10.563f, 0.0f, 1},    {11.0f, 0.0f, 1},
                        {11.312267f, 0.5f, 1}};
    BeatPulse state;
    for (const Row& row : rows) {
        updatePulse(state, row.t);
        EXPECT_NEAR(state.pulse, row.pulse, 1e-5f) << row.t;
        EXPECT_EQ(state.beatIndex, row.beatIndex) << row.t;
    }
}

// A whole run at 60 frames per second sees every beat once, none in the pause from 18.95 s
// to 24.83 s, and none after 165.354 s, when the index rests one past the table's end.
TEST(BeatPulse, RisesOnEveryBeatAtSixtyFramesPerSecondAndNowhereElse)
{
    BeatPulse state;
    int beatsSeen = 0;
    float previous = 0.0f;
    for (int frame = 0; frame <= 173 * 60; ++frame) {
        const float t = frame / 60.0f;
        updatePulse(state, t);
        if (state.pulse > 0.0f && previous == 0.0f) ++beatsSeen;
        previous = state.pulse;
        if ((t > 18.95f && t < 24.83f) || t > 165.354f) {
            ASSERT_EQ(state.pulse, 0.0f) << "at " << t << " s";
        }
        if (t > 165.354f) {
            ASSERT_EQ(state.beatIndex, beatCount) << "at " << t << " s";
        }
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
