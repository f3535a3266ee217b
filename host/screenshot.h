// The player's screenshots: the picture of the frame shown, read through the show's surface
// before anything is drawn over it, written to a PNG by the platform without holding up the
// show (platform/files/pictureSaver.h), named after the show's time and the date. Needs the current
// GL context the show draws in.
#pragma once

#include <ctime>
#include <string>

struct ShowSurface;

// "kesu-tamrick-1m23.45s-20261207-221530.png" for 83.45 s of the show, taken at that local time.
std::string screenshotName(double showSeconds, std::time_t takenAt);

// Reads the show's last picture, width x height, and hands it over to be written into
// `folder` (ending with its separator); the user is told where it went, or why it did not.
void takeScreenshot(const ShowSurface& surface, int width, int height, const std::string& folder, double showSeconds);
