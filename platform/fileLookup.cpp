#include "platform/fileLookup.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include <pwd.h>
#include <unistd.h>

#ifndef KESU_INSTALLED_DATA_DIR
#define KESU_INSTALLED_DATA_DIR "/usr/share/games/kesu-tamrick/data"
#endif

namespace {

bool sameIgnoringCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

std::string homeFolder()
{
    const char* home = std::getenv("HOME");
    if (home && *home == '/') return home;
    const passwd* entry = getpwuid(getuid());
    return entry && entry->pw_dir && *entry->pw_dir == '/' ? entry->pw_dir : "";
}

// The XDG base folder named by variable, or home + fallback; relative values are ignored,
// as the specification says.
std::string baseFolder(const char* variable, const char* fallback)
{
    const char* value = std::getenv(variable);
    if (value && *value == '/') return value;
    const std::string home = homeFolder();
    return home.empty() ? "" : home + fallback;
}

} // namespace

std::string installedDataFolder() { return std::string(KESU_INSTALLED_DATA_DIR) + "/"; }

RunFiles findRunFiles()
{
    RunFiles files;
    std::error_code error;
    if (std::filesystem::is_directory("data", error)) {
        files.dataFolder = "data/";
        files.configFile = "kesu.ini";
        files.logFile = "kesu.log";
        return files;
    }
    files.installed = true;
    files.dataFolder = installedDataFolder();
    const std::string config = baseFolder("XDG_CONFIG_HOME", "/.config");
    const std::string state = baseFolder("XDG_STATE_HOME", "/.local/state");
    if (!config.empty()) files.configFile = config + "/kesu-tamrick/kesu.ini";
    if (!state.empty()) files.logFile = state + "/kesu-tamrick/kesu.log";
    return files;
}

bool makeParentFolder(const std::string& path, std::string& error)
{
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (folder.empty()) return true;
    std::error_code code;
    std::filesystem::create_directories(folder, code);
    if (code) {
        error = folder.string() + ": " + code.message();
        return false;
    }
    return true;
}

std::string findFileIgnoringCase(const std::string& path)
{
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path wanted(path);
    if (fs::exists(wanted, error)) return path;
    const fs::path folder = wanted.has_parent_path() ? wanted.parent_path() : fs::path(".");
    const std::string name = wanted.filename().string();
    std::string found;
    for (fs::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error)) {
        const std::string candidate = entry->path().filename().string();
        // The smallest matching name, so the choice does not follow the folder's order.
        if (sameIgnoringCase(candidate, name) && (found.empty() || candidate < found)) found = candidate;
    }
    if (found.empty()) return path;
    return wanted.has_parent_path() ? (folder / found).string() : found;
}
