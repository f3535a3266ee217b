// Where the programs find their files: the run folder or the installed layout (one lookup
// for every program and system), and a name another program wrote in another case.
#pragma once

#include <string>
#include <vector>

// A program's files. In a run folder (the working folder, when it holds data/) they are
// there, with the names relative to it: "data/", "kesu.ini", "kesu.log". Installed, the
// data pack is the installed one and the configuration and the start-up log are the
// user's own, every name a full path.
struct RunFiles {
    bool installed = false;
    std::string dataFolder;   // ends with the folder separator
    std::string configFile;   // "" when there is no place for it (no home folder)
    std::string logFile;      // "" when there is no place for it
    std::string note;         // why a data/ in the working folder was passed over; "" when none was
    std::string screenshotFolder;   // where screenshots go, ending with the separator
};

// The run folder when the working folder's data/ holds any of packFiles; otherwise the
// installed layout (a data/ holding none of them, a user's own folder say, is passed over with
// a note naming both). On
// Linux: the data pack where the build installs it, the configuration in
// $XDG_CONFIG_HOME/kesu-tamrick/ (~/.config/kesu-tamrick/) and the log in
// $XDG_STATE_HOME/kesu-tamrick/ (~/.local/state/kesu-tamrick/). On Windows: the pack,
// kesu.ini and kesu.log beside kesu.exe, as its zip holds them.
RunFiles findRunFiles(const std::vector<std::string>& packFiles);

// The installed data pack's folder (ends with the separator), for messages and --help.
std::string installedDataFolder();

// For --help: the sentences that say where the program's files are when the working folder
// holds no data folder, in this system's own terms; each line ends with a newline.
std::string installedFilesHelp();

// Makes the folder that holds path, with its parents; false with the reason when it cannot.
bool makeParentFolder(const std::string& path, std::string& error);

// path itself when it exists (or its folder cannot be read); otherwise the entry of its
// folder whose name equals its last part when ASCII letters are compared without case
// (older modelling tools store "CWALL02.JPG" for "CWALL02.jpg"), the first in byte order
// when several do; otherwise path.
std::string findFileIgnoringCase(const std::string& path);
