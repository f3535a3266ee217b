// PNG files from pixels read back from GL: for the capture and scene tools and for
// looking at test pictures. libpng does the encoding.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes width x height RGBA pixels. GL reads rows bottom first, so bottomRowFirst flips
// them into the top-first order of the file. False with a message on failure.
bool writePng(const std::string& path, const std::uint8_t* rgba, int width, int height,
              bool bottomRowFirst, std::string& error);

// The same PNG in memory; false when it cannot be encoded.
bool encodePng(const std::uint8_t* rgba, int width, int height, bool bottomRowFirst, std::vector<std::uint8_t>& png);

// Reads a PNG as RGBA, top row first (for golden-picture comparisons).
bool readPng(const std::string& path, std::string& rgba, int& width, int& height, std::string& error);
