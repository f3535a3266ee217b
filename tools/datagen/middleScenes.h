// The scenes of the middle of the show: the factory hall and the pipes over it, and the
// tunnel, the cube and the credits plates drawn together.
#pragma once

#include <string>

bool writeFactoryScene(const std::string& path, std::string& error);
bool writePipesScene(const std::string& path, std::string& error);
bool writeTunnelScene(const std::string& path, std::string& error);
bool writeCubeScene(const std::string& path, std::string& error);
bool writeCreditsScene(const std::string& path, std::string& error);
