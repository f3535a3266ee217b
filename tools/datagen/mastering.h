// Mastering of the demo's mix before it is encoded: the drum bus saturated, one gain to the
// loudness released music plays at, measured the EBU R128 way (libebur128: K-weighting,
// gating), and a true-peak limiter. Working on the whole piece at once, the limiter knows
// each peak in advance: its gain ramps down in the few milliseconds before a peak and
// nothing is delayed, so sample 0 stays the start of the music and every drum hit stays on
// its sample. A slow section ride then gives the quiet stretches the loudness that the
// saturation and the limiter took from the loud ones, so the piece keeps its loudness range.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The mix before mastering, one value per sample and channel, full scale at +-1.
struct StereoMix {
    std::vector<double> left;
    std::vector<double> right;
};

// The piece as two buses of one length, summed by the mastering.
struct MusicStems {
    StereoMix music;   // pads, bass, arpeggio, lead and their effects
    StereoMix drums;   // the drum hits and hats
};

struct LoudnessFigures {
    double integrated = 0.0;    // LUFS, gated
    double range = 0.0;         // LU
    double truePeakDb = 0.0;    // dBTP, the larger of the two channels
};

// Measures interleaved left/right 16-bit samples at 44100 Hz. False with a message when the
// meter cannot be set up or the piece is too short to measure.
bool measureLoudness(const std::vector<std::int16_t>& pcm, LoudnessFigures& figures, std::string& error);

struct MasteringReport {
    double gainDb = 0.0;             // the gain before the limiter
    double largestReductionDb = 0.0; // the limiter's deepest gain reduction
    double limitedSeconds = 0.0;     // time spent with any gain reduction
    double deepestRideDb = 0.0;      // the section ride's deepest cut
};

// The stems mastered: the drum bus through a soft saturation that keeps each hit's first
// sample where it is, the buses summed, brought to targetLufs (within 0.03 LU, as measured
// on the result) by one gain with the limiter holding the true peaks at ceilingDbtp, and
// the section ride; quantised to interleaved 16-bit samples. Deterministic. False, with
// the reason, when the loudness meter fails: the level would otherwise be a guess.
bool masterMix(const MusicStems& stems, double targetLufs, double ceilingDbtp, std::vector<std::int16_t>& pcm,
               MasteringReport& report, std::string& error);
