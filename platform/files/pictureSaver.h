// Pictures written to PNG files without holding up the caller, for the player's screenshots:
// on the desktop each file is written on a thread of its own, so neither the music nor the
// next frames wait for the disk. The caller hears how each went through its `done`, on the
// writing thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// What became of one picture: "" when it was saved, the reason when not.
using PictureSaved = std::function<void(const std::string& path, const std::string& problem)>;

// Writes width x height RGBA pixels, rows bottom first as GL reads them, as an opaque PNG at
// path, making its folder first. The alpha is set to 255 on the way: the screen shows none.
void savePictureLater(const std::string& path, std::vector<std::uint8_t> pixels, int width, int height, PictureSaved done);

// Returns once every picture handed over so far is written.
void finishSavingPictures();
