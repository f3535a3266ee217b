// The scenes of the show's last minute: the gyroscope robot round its core, the
// landscape of towers under the finale's particle sphere, and the closing grid of cubes.
#pragma once

#include <string>

bool writeRobotScene(const std::string& path, std::string& error);
bool writeFinalScene(const std::string& path, std::string& error);
bool writeGridLogoScene(const std::string& path, std::string& error);
