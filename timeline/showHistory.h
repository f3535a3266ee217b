// What the show carries from one frame into the next, from the table of its effects
// (showEffects.h): the beat, the particles' random sequence and each effect's own value (its
// emitters, its phases). Stepping the show without drawing walks that table, and a snapshot
// takes every value on it and puts it back, so a session can start again anywhere without
// replaying the show from its start. Plain data and copies, no GL.
#pragma once

#include <any>
#include <cstddef>
#include <cstdint>
#include <vector>

// What a frame at demoTime, after a frame at previousTime, carries into the next, taken as
// the frame's draws take it, without drawing and without GL.
void stepShow(float demoTime, float previousTime);

struct ShowSnapshot {
    std::vector<std::any> values;   // one per row of the table, in its order (empty for a row that carries nothing)
    float demoTime = 0.0f;          // the clock of the frame composed last, and of the one before
    float previousTime = 0.0f;
};

// The show's values now into snapshot (the buffers it holds reused), and back; demoTime and
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

// The values of the effects whose window starts at windowsFrom or later taken again into every
// snapshot: for effects set up after the snapshots were taken, which carry the same values
// until their window opens.
void refreshShowSnapshots(ShowHistory& history, float windowsFrom);
