// MP3 encoding of the demo's music with LAME: 160 kbit/s constant-rate joint stereo at
// 44100 Hz, with the info tag in the first frame so gapless decoders drop the encoder's
// delay and padding.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Encodes interleaved left/right 16-bit samples into the file at path. False with a
// message naming the file and the failing step.
bool encodeMp3(const std::string& path, const std::vector<std::int16_t>& pcm, std::string& error);
