// Where the programs find their files: the run folder when the working folder's data/ holds
// any of the pack's files, otherwise the installed pack with the user's configuration and log under the XDG folders.
#include "platform/files/fileLookup.h"

#include "tests/support/processRunner.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

// Runs the lookup in folder with the given environment, and comes back.
RunFiles lookupIn(const std::string& folder, const char* home, const char* configHome, const char* stateHome)
{
    const std::string previous = std::filesystem::current_path().string();
    const auto set = [](const char* name, const char* value) {
        if (value) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    };
    set("HOME", home);
    set("XDG_CONFIG_HOME", configHome);
    set("XDG_STATE_HOME", stateHome);
    EXPECT_EQ(chdir(folder.c_str()), 0);
    RunFiles files = findRunFiles({"little.mp3", "title.3ds"});
    EXPECT_EQ(chdir(previous.c_str()), 0);
    return files;
}

} // namespace

TEST(FileLookup, RunFolderFirstThenTheInstalledPackWithTheUsersXdgFolders)
{
    const std::string run = makeTempFolder("run");
    std::filesystem::create_directory(run + "/data");
    // A data/ that holds none of the pack's files is someone's own: passed over, with a note.
    const RunFiles notPack = lookupIn(run, "/home/someone", "/cfg", "/state");
    EXPECT_TRUE(notPack.installed);
    EXPECT_NE(notPack.note.find("data/"), std::string::npos) << notPack.note;
    EXPECT_NE(notPack.note.find(installedDataFolder()), std::string::npos) << notPack.note;
    // One file of the pack makes it the run folder; a missing file is the start-up's to report.
    std::fclose(std::fopen((run + "/data/title.3ds").c_str(), "w"));
    const RunFiles inRun = lookupIn(run, "/home/someone", "/cfg", "/state");
    EXPECT_TRUE(inRun.note.empty());
    EXPECT_FALSE(inRun.installed);
    EXPECT_EQ(inRun.dataFolder, "data/");
    EXPECT_EQ(inRun.configFile, "kesu.ini");
    EXPECT_EQ(inRun.logFile, "kesu.log");

    const std::string empty = makeTempFolder("empty");
    const RunFiles set = lookupIn(empty, "/home/someone", "/cfg", "/state");
    EXPECT_TRUE(set.installed);
    EXPECT_EQ(set.dataFolder, installedDataFolder());
    EXPECT_EQ(set.dataFolder.front(), '/');
    EXPECT_EQ(set.configFile, "/cfg/kesu-tamrick/kesu.ini");
    EXPECT_EQ(set.logFile, "/state/kesu-tamrick/kesu.log");
    // Unset or relative XDG folders fall back to the home's.
    for (const char* relative : {static_cast<const char*>(nullptr), "relative/folder"}) {
        const RunFiles fallback = lookupIn(empty, "/home/someone", relative, relative);
        EXPECT_EQ(fallback.configFile, "/home/someone/.config/kesu-tamrick/kesu.ini");
        EXPECT_EQ(fallback.logFile, "/home/someone/.local/state/kesu-tamrick/kesu.log");
    }
}

TEST(FileLookup, NamesInAnotherCaseAreFoundAndTheExactNameWins)
{
    const std::string folder = makeTempFolder("case");
    for (const char* name : {"Wall.jpg", "wall.jpg", "Grass.JPG"}) std::fclose(std::fopen((folder + "/" + name).c_str(), "w"));
    EXPECT_EQ(findFileIgnoringCase(folder + "/wall.jpg"), folder + "/wall.jpg");
    EXPECT_EQ(findFileIgnoringCase(folder + "/WALL.JPG"), folder + "/Wall.jpg");
    EXPECT_EQ(findFileIgnoringCase(folder + "/grass.jpg"), folder + "/Grass.JPG");
    EXPECT_EQ(findFileIgnoringCase(folder + "/stone.jpg"), folder + "/stone.jpg");
    EXPECT_EQ(findFileIgnoringCase("/nonexistent-kesu-folder/x.jpg"), "/nonexistent-kesu-folder/x.jpg");
}
