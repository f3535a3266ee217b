// Every picture of the data pack: the wait screen, the effects' textures and masks, and
// the maps named by the scenes' materials. All are drawn procedurally at power-of-two
// sizes; each mask has the size of the picture it belongs to.
#pragma once

#include <string>
#include <vector>

struct PicturePair {
    std::string picture;
    std::string mask;   // empty for a picture without a mask
};

// Every file written by writePictures, with the masks loaded together with a picture.
std::vector<PicturePair> pictureList();

// Writes all pictures into dataDir (a folder path ending in '/').
bool writePictures(const std::string& dataDir, std::string& error);
