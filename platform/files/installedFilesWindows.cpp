#include "platform/files/installedFiles.h"

#include <SDL.h>

#include <shlobj.h>
#include <windows.h>

namespace {

// The folder kesu.exe is in, with its separator; "" when the system does not say.
std::string programFolder()
{
    char* base = SDL_GetBasePath();
    std::string folder = base ? base : "";
    SDL_free(base);
    return folder;
}

// The user's Pictures folder, in the system's own encoding; "" when the system does not say.
std::string picturesFolder()
{
    PWSTR path = nullptr;
    std::string folder;
    if (SHGetKnownFolderPath(FOLDERID_Pictures, 0, nullptr, &path) == S_OK) {
        const int size = WideCharToMultiByte(CP_UTF8, 0, path, -1, nullptr, 0, nullptr, nullptr);
        if (size > 1) {
            folder.resize(static_cast<std::size_t>(size - 1));
            WideCharToMultiByte(CP_UTF8, 0, path, -1, &folder[0], size, nullptr, nullptr);
        }
    }
    CoTaskMemFree(path);
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
    const std::string pictures = picturesFolder();
    files.screenshotFolder = (pictures.empty() ? folder : pictures + "\\") + "kesu-tamrick\\";
    return files;
}
