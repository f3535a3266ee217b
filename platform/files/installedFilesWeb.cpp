#include "platform/files/installedFiles.h"

// In a browser the data pack is the one the page preloads; there is no configuration (the
// page's size is the picture's), no log, and screenshots are downloads, named alone.
RunFiles installedRunFiles()
{
    RunFiles files;
    files.installed = true;
    files.dataFolder = installedDataFolder();
    return files;
}

std::string installedDataFolder() { return "/kesu-tamrick/data/"; }

std::string installedFilesHelp() { return "In a browser it plays the pack the page loads with it.\n"; }
