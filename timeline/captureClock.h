// The capture tool's clock: which demo times it composes, in which order, and which of those
// frames it reads back, for a frame rate that may be a fraction (60000/1001). Pure arithmetic,
// no GL, so the sequence can be checked value by value. The player steps a late start
// (--from) on the same grid at 60 fps.
//
// The clock always runs from 0 on the grid frame k at k / fps, as the player's clock does, so
// particles (which depend on every clock value they were updated with) are those of a run from
// the start. A span that begins later composes the grid frames before it without reading them
// back, then frame i of the span at from + i / fps.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct FrameRate {
    std::int64_t numerator = 60;    // frames ...
    std::int64_t denominator = 1;   // ... per this many seconds
};

// "60", "30", "60000/1001": whole numbers, the rate between 1 and 1000 frames per second.
bool parseFrameRate(const std::string& text, FrameRate& rate);
double framesPerSecond(const FrameRate& rate);

// Demo time of grid frame k (k / fps), rounded once from double to the demo's 32-bit clock.
float gridTime(const FrameRate& rate, std::int64_t frame);

// The first grid frame whose time reaches `time`; a time within a millionth of a frame of a
// grid frame counts as that frame, so "--at 30" at 60 fps is frame 1800, not 1801.
std::int64_t gridFrameAt(const FrameRate& rate, double time);

// One composed frame: its clock, the clock of the frame composed before it (0.0 for the first
// frame of the run), and its index in the output, or -1 for a frame that is only stepped.
struct ClockStep {
    float demoTime = 0.0f;
    float previousTime = 0.0f;
    std::int64_t outputIndex = -1;
};

// Every frame composed for the span [from, to): the grid frames before `from`, then frame i
// at from + i / fps for every such time below `to` (output index i). A `from` on the grid
// gives exactly the grid frames of a run from 0.
std::vector<ClockStep> planSpan(const FrameRate& rate, double from, double to);

// Every grid frame from 0 to lastFrame, frame k with output index k.
std::vector<ClockStep> planGrid(const FrameRate& rate, std::int64_t lastFrame);

// Number of frames of the span [from, to), as planSpan counts them.
std::int64_t spanFrameCount(const FrameRate& rate, double from, double to);

// Sample (at 44100 Hz) of the span's audio where output frame `frame` starts:
// round(frame x 44100 / fps), in whole-number arithmetic so no rate drifts.
std::int64_t audioSampleOfFrame(const FrameRate& rate, std::int64_t frame);

// The music sample where the span starts: round(from x 44100).
std::int64_t audioSampleOfTime(double time);

// `count` times spread evenly over [from, to): the middle of each of `count` equal parts.
std::vector<double> spreadTimes(double from, double to, int count);
