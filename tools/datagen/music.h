// The demo's music, composed in code: a drum hit on every beat of the schedule's beat table
// (timeline/demoSchedule.h, the values the timeline pulses on), bass,
// chords, arpeggio and lead following the show's sections, rendered to 44100 Hz stereo
// and encoded as MP3 with LAME (info tag written, so gapless decoders drop the delay).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr int MUSIC_SAMPLE_RATE = 44100;
// Length of the piece: the show ends at 173 s and the fade runs out just before this.
constexpr double MUSIC_SECONDS = 176.0;

// Sample index (per channel) at which the drum hit of beat `index` starts: the beat
// time times 44100, rounded to the nearest sample.
int musicBeatSample(int index);

// The whole piece as interleaved left/right 16-bit samples. Deterministic.
std::vector<std::int16_t> composeMusic();

// 160 kbit/s constant-rate joint stereo with the LAME info tag in the first frame.
bool encodeMp3(const std::string& path, const std::vector<std::int16_t>& pcm, std::string& error);
