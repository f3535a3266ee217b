// The twelve scene files of the show, with what their effects look up in them.
#pragma once

#include <string>
#include <vector>

struct SceneFile {
    std::string fileName;                     // inside data/
    int frameCount;                           // end frame of the keyframer segment
    std::vector<std::string> requiredNodes;   // node names an effect or the set-up looks up
    bool (*write)(const std::string& path, std::string& error);
};

const std::vector<SceneFile>& sceneFiles();

// Writes every scene into dataDir (a folder path ending in '/').
bool writeScenes(const std::string& dataDir, std::string& error);
