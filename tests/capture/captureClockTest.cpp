#include "tools/capture/captureClock.h"

#include <gtest/gtest.h>

namespace {

const FrameRate sixty{60, 1};
const FrameRate ntsc{60000, 1001};

} // namespace

// A run from 0 steps by sixtieths from a first frame whose previous clock is 0; the span's
// end is exclusive, so the whole demo is 10380 frames ending before 173 s.
TEST(CaptureClock, RunFromZeroStartsWithPreviousTimeZeroAndEndsBeforeTheSpanEnd)
{
    const std::vector<ClockStep> steps = planSpan(sixty, 0.0, 173.0);
    ASSERT_EQ(steps.size(), 10380u);
    EXPECT_EQ(steps[0].demoTime, 0.0f);
    EXPECT_EQ(steps[0].previousTime, 0.0f);
    EXPECT_EQ(steps[1].demoTime, 0.016666668f);
    EXPECT_EQ(steps[1].previousTime, 0.0f);
    EXPECT_EQ(steps[2].previousTime, 0.016666668f);
    EXPECT_EQ(steps.back().demoTime, 172.98334f);
    EXPECT_EQ(steps.back().outputIndex, 10379);
    EXPECT_EQ(spanFrameCount(sixty, 1.0, 1.0), 0);
    EXPECT_EQ(spanFrameCount(FrameRate{30, 1}, 0.0, 0.01), 1);
}

TEST(CaptureClock, SpanFromThirtySecondsFirstStepsTheGridFromZeroWithoutOutput)
{
    const std::vector<ClockStep> span = planSpan(sixty, 30.0, 31.0);
    const std::vector<ClockStep> fromZero = planGrid(sixty, 1859);
    ASSERT_EQ(span.size(), 1860u);
    for (std::size_t i = 0; i < 1800; ++i) ASSERT_EQ(span[i].outputIndex, -1) << "frame " << i;
    EXPECT_EQ(span[1800].demoTime, 30.0f);
    EXPECT_EQ(span[1800].previousTime, 29.983334f);
    EXPECT_EQ(span[1800].outputIndex, 0);
    EXPECT_EQ(span[1859].outputIndex, 59);
    // Every clock value, stepped or output, is that of a run from the start, so the
    // particles are too.
    for (std::size_t i = 0; i < span.size(); ++i) {
        ASSERT_EQ(span[i].demoTime, fromZero[i].demoTime) << "frame " << i;
        ASSERT_EQ(span[i].previousTime, fromZero[i].previousTime) << "frame " << i;
    }
}

// At 60000/1001, 1 s holds 59.94 frames and 30 s is 1798.2 frames in: grid frames 0 to 1798
// are stepped without output, then the span starts exactly at 30 s. Frame 60000 lands on
// 1001 s exactly: no drift from summing a rounded step.
TEST(CaptureClock, FractionalRateStepsBy1001Over60000SecondsFromTheGridBeforeTheSpan)
{
    const std::vector<ClockStep> steps = planSpan(ntsc, 30.0, 30.05);
    ASSERT_EQ(steps.size(), 1799u + 3u);
    EXPECT_EQ(steps[1].demoTime, 0.016683333f);
    EXPECT_EQ(steps[1798].outputIndex, -1);
    EXPECT_EQ(steps[1798].demoTime, 29.996634f);
    EXPECT_EQ(steps[1799].demoTime, 30.0f);
    EXPECT_EQ(steps[1799].previousTime, 29.996634f);
    EXPECT_EQ(steps[1799].outputIndex, 0);
    EXPECT_EQ(steps[1801].demoTime, 30.033367f);
    EXPECT_EQ(steps[1801].outputIndex, 2);
    EXPECT_EQ(spanFrameCount(ntsc, 0.0, 173.0), 10370);
    EXPECT_EQ(gridTime(ntsc, 60000), 1001.0f);
}

TEST(CaptureClock, TimeOnTheGridCountsAsItsFrameDespiteRounding)
{
    EXPECT_EQ(gridFrameAt(sixty, 30.0), 1800);
    EXPECT_EQ(gridFrameAt(sixty, 0.1), 6);      // 0.1 x 60 is 6.000000000000001 in doubles
    EXPECT_EQ(gridFrameAt(sixty, 0.01), 1);     // between frames: the next one
    EXPECT_EQ(gridFrameAt(ntsc, 1.001), 60);
    EXPECT_EQ(gridFrameAt(sixty, 0.0), 0);
}

// The sound of frame n starts at sample n x 44100 / rate, rounded, never summed.
TEST(CaptureClock, AudioSampleOfFrameRoundsWithoutDrift)
{
    EXPECT_EQ(audioSampleOfFrame(sixty, 10380), 7629300);   // 173 s
    EXPECT_EQ(audioSampleOfFrame(ntsc, 1), 736);            // 735.735
    EXPECT_EQ(audioSampleOfFrame(FrameRate{30000, 1001}, 1000), 1471470);
    EXPECT_EQ(audioSampleOfTime(0.0000114), 1);   // half a sample rounds up
}

TEST(CaptureClock, FrameRateParsesWholeNumbersAndFractions)
{
    FrameRate rate;
    ASSERT_TRUE(parseFrameRate("60000/1001", rate));
    EXPECT_EQ(rate.numerator, 60000);
    EXPECT_EQ(rate.denominator, 1001);
    ASSERT_TRUE(parseFrameRate("25", rate));
    EXPECT_EQ(rate.numerator, 25);
    EXPECT_EQ(rate.denominator, 1);
    for (const char* bad : {"0", "60/0", "2000", "29.97", "1/2", "30/1/1"}) {
        FrameRate kept{7, 1};
        EXPECT_FALSE(parseFrameRate(bad, kept)) << bad;
        EXPECT_EQ(kept.numerator, 7) << bad;
    }
}
