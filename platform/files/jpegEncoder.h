// JPEG encoding over libjpeg-turbo, for the data generator and for tests that need real
// JPEG files made by our own code. Pixels are packed, top row first.
#pragma once

#include <cstdint>
#include <string>

// channels is 3 (R, G, B) or 1 (grey); quality 1 .. 100; progressive writes a multi-scan
// file. False with a message naming the file and the step on failure.
bool encodeJpeg(const std::string& path, const std::uint8_t* pixels, int width, int height, int channels,
                int quality, bool progressive, std::string& error);

// A four-channel CMYK file (C, M, Y, K bytes per pixel), the colour space the texture
// loader refuses.
bool encodeJpegCmyk(const std::string& path, const std::uint8_t* cmyk, int width, int height, int quality,
                    std::string& error);
