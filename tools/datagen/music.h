// The score of the demo's music: a drum hit on every beat of the schedule's beat table
// (timeline/demoSchedule.h, the values the timeline pulses on), with bass, chords, arpeggio
// and lead following the show's sections, played on the instruments of musicSynth.h into
// 44100 Hz stereo. mastering.h brings the mix to its loudness and mp3Encoder.h turns the
// result into the pack's MP3.
#pragma once

#include "tools/datagen/mastering.h"

constexpr int MUSIC_SAMPLE_RATE = 44100;
// Length of the piece: the show ends at 173 s and the fade runs out just before this.
constexpr double MUSIC_SECONDS = 176.0;

// Sample index (per channel) at which the drum hit of beat `index` starts: the beat
// time times 44100, rounded to the nearest sample.
int musicBeatSample(int index);

// The whole piece, unmastered, as its two buses: full scale at +-1, peaks well below it.
// Deterministic.
MusicStems composeMusic();
