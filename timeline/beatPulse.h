// The beat pulse: the ramp that turns the demo clock into a value from 0 to 1 around each of
// the schedule's beat times. Pure computation over a small state record, so the frame
// composer owns one and tests can run their own.
#pragma once

#include <cstdint>

struct BeatPulse {
    float pulse = 0.0f;
    // Index of the beat the pulse is working towards; only grows, and stops at beatCount,
    // one past the last entry, once the last beat has passed.
    std::int16_t beatIndex = 0;
};

// Computes the pulse for demoTime: a linear ramp from 0 at 0.2 s before the current beat to
// 1 at 0.2 s after it, 0 elsewhere. The index advances by at most one beat per call, so at a
// frame rate below one frame per beat interval it lags and catches up one beat per frame.
void updatePulse(BeatPulse& state, float demoTime);
