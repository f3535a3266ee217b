// The scenes of the show's first 50 seconds: the title letters, the elements around the
// two particle jets, the turning blinds that reveal the meadow, and the meadow itself.
// Each writer takes the full path of the .3ds file to make.
#pragma once

#include <string>

bool writeTitleScene(const std::string& path, std::string& error);
bool writeElementsScene(const std::string& path, std::string& error);
bool writeBlindsScene(const std::string& path, std::string& error);
bool writeGrassScene(const std::string& path, std::string& error);
