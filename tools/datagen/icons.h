// The program's icon, painted in code like the rest of the pack: an orange sphere with a
// ring of sparks on a dark rounded square, after the demo's wobbling spheres and particle
// shells. Written as PNG files for the desktop's hicolor theme.
#pragma once

#include <string>

// Writes FOLDER/SIZExSIZE/apps/kesu-tamrick.png for 48, 64, 128 and 256 pixels, each
// painted at its own size. False with a message naming the file on failure.
bool writeIcons(const std::string& folder, std::string& error);
