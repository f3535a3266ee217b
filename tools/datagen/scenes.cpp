#include "tools/datagen/scenes.h"

#include "tools/datagen/closingScenes.h"
#include "tools/datagen/middleScenes.h"
#include "tools/datagen/openingScenes.h"

const std::vector<SceneFile>& sceneFiles()
{
    static const std::vector<SceneFile> files = {
        {"title.3ds", 1313, {}, writeTitleScene},
        {"trawa.3ds", 3000, {}, writeGrassScene},
        {"blind1.3ds", 563, {}, writeBlindsScene},
        {"kostka2.3ds", 1500, {"ramka"}, writeCubeScene},
        {"rurki.3ds", 1500, {}, writePipesScene},
        {"elemenci.3ds", 1313, {}, writeElementsScene},
        {"tlo1.3ds", 1500, {}, writeTunnelScene},
        {"fabryka.3ds", 1500, {}, writeFactoryScene},
        {"credy.3ds", 1500, {}, writeCreditsScene},
        {"girorobo.3ds", 2250, {"rdzen"}, writeRobotScene},
        {"last.3ds", 2550, {}, writeFinalScene},
        {"gridlogo.3ds", 300, {}, writeGridLogoScene},
    };
    return files;
}

bool writeScenes(const std::string& dataDir, std::string& error)
{
    for (const SceneFile& file : sceneFiles()) {
        if (!file.write(dataDir + file.fileName, error)) {
            return false;
        }
    }
    return true;
}
