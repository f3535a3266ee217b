// Runs kesu-capture end to end on the data pack the build generates, and reads its
// pictures back, for the capture tests.
#pragma once

#include "tests/support/processRunner.h"

#include <string>
#include <vector>

// kesu-capture with args in the generated pack's folder, bounded by timeoutSeconds; the
// environment changes are applied on top of the test's own.
ProcessResult runCapture(const std::vector<std::string>& args, double timeoutSeconds,
                         const std::vector<std::pair<std::string, std::string>>& setEnvironment = {});

struct Picture {
    int width = 0;
    int height = 0;
    std::string rgba;   // top row first
};

// Reads a PNG; on failure the picture is empty and `error` says why.
Picture readPicture(const std::string& path, std::string& error);

// The PNG files of a folder, sorted by name.
std::vector<std::string> pngFilesIn(const std::string& folder);

// How far apart two pictures of one size are in R, G and B: the mean absolute difference
// over all channel values, and the fraction of pixels with some channel off by more than 32.
struct PictureDifference {
    double meanAbsolute = 0.0;
    double fractionOffBy32 = 0.0;
};
PictureDifference comparePictures(const Picture& a, const Picture& b);

// Keeps the top four bits of each colour channel, as the golden frames are stored.
void keepFourBits(Picture& picture);
