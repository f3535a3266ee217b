#include "platform/files/installedFiles.h"

#include <cstdlib>
#include <fstream>

#include <pwd.h>
#include <unistd.h>

#ifndef KESU_INSTALLED_DATA_DIR
#define KESU_INSTALLED_DATA_DIR "/usr/share/games/kesu-tamrick/data"
#endif

namespace {

std::string homeFolder()
{
    const char* home = std::getenv("HOME");
    if (home && *home == '/') return home;
    const passwd* entry = getpwuid(getuid());
    return entry && entry->pw_dir && *entry->pw_dir == '/' ? entry->pw_dir : "";
}

// The XDG base folder named by variable, or home + fallback; relative values are ignored,
// as the XDG base directory rules have it.
std::string baseFolder(const char* variable, const char* fallback)
{
    const char* value = std::getenv(variable);
    if (value && *value == '/') return value;
    const std::string home = homeFolder();
    return home.empty() ? "" : home + fallback;
}

// XDG_PICTURES_DIR from user-dirs.dirs ("$HOME/Pictures", quoted, $HOME expanded), else
// ~/Pictures.
std::string picturesFolder()
{
    const std::string home = homeFolder();
    std::ifstream dirs(baseFolder("XDG_CONFIG_HOME", "/.config") + "/user-dirs.dirs");
    for (std::string line; std::getline(dirs, line);) {
        const std::string key = "XDG_PICTURES_DIR=";
        if (line.rfind(key, 0) != 0) continue;
        std::string value = line.substr(key.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
        if (value.rfind("$HOME", 0) == 0) value = home + value.substr(5);
        if (!value.empty() && value.front() == '/') return value;
    }
    return home.empty() ? "" : home + "/Pictures";
}

} // namespace

std::string installedDataFolder() { return std::string(KESU_INSTALLED_DATA_DIR) + "/"; }

std::string installedFilesHelp()
{
    return "Otherwise it plays the installed pack in " + installedDataFolder() +
           ",\n"
           "reads $XDG_CONFIG_HOME/kesu-tamrick/kesu.ini (~/.config/kesu-tamrick/kesu.ini; without\n"
           "it, kesu covers the desktop as with --desktop) and writes the start-up log to\n"
           "$XDG_STATE_HOME/kesu-tamrick/kesu.log (~/.local/state/kesu-tamrick/kesu.log).\n";
}

RunFiles installedRunFiles()
{
    RunFiles files;
    files.installed = true;
    files.dataFolder = installedDataFolder();
    const std::string config = baseFolder("XDG_CONFIG_HOME", "/.config");
    const std::string state = baseFolder("XDG_STATE_HOME", "/.local/state");
    if (!config.empty()) files.configFile = config + "/kesu-tamrick/kesu.ini";
    if (!state.empty()) files.logFile = state + "/kesu-tamrick/kesu.log";
    const std::string pictures = picturesFolder();
    files.screenshotFolder = (pictures.empty() ? std::string(".") : pictures) + "/kesu-tamrick/";
    return files;
}
