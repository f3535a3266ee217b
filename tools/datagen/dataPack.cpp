#include "tools/datagen/dataPack.h"

#include "tools/datagen/mp3Encoder.h"
#include "tools/datagen/music.h"
#include "tools/datagen/pictures.h"
#include "tools/datagen/scenes.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace {

bool makeFolder(const std::string& path, std::string& error)
{
    std::error_code code;
    std::filesystem::create_directories(path, code);
    if (code) {
        error = path + ": cannot create the folder: " + code.message();
        return false;
    }
    return true;
}

// The desktop-friendly default: a 1280 x 720 window, waiting for one vertical retrace.
bool writeConfiguration(const std::string& path, std::string& error)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        error = path + ": cannot create the file";
        return false;
    }
    const bool written = std::fputs("1280 720 1\n", file) >= 0;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        error = path + ": cannot write the file";
        return false;
    }
    return true;
}

} // namespace

bool generateDataPack(const std::string& outDir, std::string& error)
{
    const std::string dataDir = outDir + "/data/";
    if (!makeFolder(dataDir, error) || !writeConfiguration(outDir + "/kesu.ini", error)) {
        return false;
    }
    return writePictures(dataDir, error) && writeScenes(dataDir, error) &&
           encodeMp3(dataDir + "little.mp3", composeMusic(), error);
}
