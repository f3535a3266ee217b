#include "platform/installedFiles.h"

#include <SDL.h>

namespace {

// The folder kesu.exe is in, with its separator; "" when the system does not say.
std::string programFolder()
{
    char* base = SDL_GetBasePath();
    std::string folder = base ? base : "";
    SDL_free(base);
    return folder;
}

} // namespace

std::string installedDataFolder() { return programFolder() + "data\\"; }

std::string installedFilesHelp()
{
    return "Otherwise (a double-click, a start from another folder) it plays the pack beside\n"
           "kesu.exe, " +
           installedDataFolder() + ", with kesu.ini and kesu.log there.\n";
}

// Started by a double-click, or from another folder: the files beside kesu.exe, as the zip
// holds them.
RunFiles installedRunFiles()
{
    RunFiles files;
    files.installed = true;
    const std::string folder = programFolder();
    files.dataFolder = installedDataFolder();
    files.configFile = folder + "kesu.ini";
    files.logFile = folder + "kesu.log";
    return files;
}
