#include "timeline/beatPulse.h"

#include "timeline/demoSchedule.h"

void updatePulse(BeatPulse& state, float demoTime)
{
    // The sums below are formed in double precision (0.2 and 0.4 are double literals); only
    // the result is stored as a float.
    const double t = demoTime;
    state.pulse = 0.0f;
    // Past the last beat the index rests one past the table, which is never read there.
    if (state.beatIndex >= beatCount) return;
    if (t > beatTimes[state.beatIndex] + 0.2) {
        ++state.beatIndex;
        if (state.beatIndex >= beatCount) return;
    }
    const double beat = beatTimes[state.beatIndex];
    if (beat - 0.2 < t && t < beat + 0.2) {
        state.pulse = static_cast<float>((t - beat + 0.2) / 0.4);
    }
}
