#include "platform/files/fileLookup.h"

#include "platform/files/installedFiles.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace {

bool sameIgnoringCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

} // namespace

RunFiles findRunFiles(const std::vector<std::string>& packFiles)
{
    std::error_code error;
    if (!std::filesystem::is_directory("data", error)) return installedRunFiles();
    const bool holdsPack = std::any_of(packFiles.begin(), packFiles.end(), [](const std::string& name) {
        std::error_code missing;
        return std::filesystem::exists("data/" + name, missing);
    });
    if (!holdsPack) {
        RunFiles installed = installedRunFiles();
        installed.note = "the data/ folder here holds none of the pack's files (" + packFiles.front() +
                         ", ...); playing the installed pack in " + installed.dataFolder;
        return installed;
    }
    RunFiles files;
    files.screenshotFolder = "screenshots/";
    files.dataFolder = "data/";
    files.configFile = "kesu.ini";
    files.logFile = "kesu.log";
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
