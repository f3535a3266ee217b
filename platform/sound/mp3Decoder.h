// The music's decoder: a whole MP3 file into 44100 Hz stereo signed 16-bit PCM in memory, the
// form every sound output plays and every clock counts in, with libmpg123 (and its resampler
// for other rates).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct LoadError;

// Decodes the whole file, gapless (encoder delay and padding removed where the file's
// info tag gives them). Mono is duplicated into both channels; another sample rate is
// resampled to 44100 Hz. Interleaved left, right.
bool decodeMp3File(const std::string& path, std::vector<std::int16_t>& pcm, LoadError& error);
