// What the show carries from one frame into the next (the particles and their random
// sequence, the beat pulse, the logo column's phase), taken and put back as a whole, so a
// session can start again anywhere without replaying the show from its start. Plain data and
// copies, no GL.
#pragma once

#include "effects/cubeCredits.h"
#include "effects/factoryRewind.h"
#include "effects/finaleSphere.h"
#include "effects/titleStreams.h"
#include "particles/particleEmitter.h"
#include "timeline/beatPulse.h"

#include <cstdint>
#include <vector>

struct ShowSnapshot {
    ParticleRandom random;
    BeatPulse beat;
    TitleStreamsHistory title;
    FactoryRewindHistory factory;
    CubeCreditsHistory credits;
    FinaleSphereHistory finale;
    float demoTime = 0.0f;       // the clock of the frame composed last, and of the one before
    float previousTime = 0.0f;
};

// The show's history now into snapshot (its buffers reused), and back; demoTime and
// previousTime are the caller's to fill and read.
void takeShowSnapshot(ShowSnapshot& snapshot);
void restoreShowSnapshot(const ShowSnapshot& snapshot);

// The snapshots a session keeps: one every two seconds of music on the late start's 60 fps
// grid, snapshot s taken before grid frame 120 s is composed; snapshot 0 is the show as
// loaded. Taken as a restart first reaches them, kept for the rest of the run: about 30 MB
// for the whole show, whatever the picture's size; a restart steps at most two seconds of
// the show from one.
struct ShowHistory {
    static constexpr std::int64_t framesApart = 120;
    std::vector<ShowSnapshot> snapshots;
    // Bytes the snapshots hold, for the memory they cost.
    std::size_t bytes() const;
};
