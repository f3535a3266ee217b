// Where an installed program finds its files when the working folder is not a run folder:
// one implementation per system (installedFilesLinux.cpp, installedFilesWindows.cpp),
// chosen by the build. fileLookup.h's findRunFiles is what the programs call.
#pragma once

#include "platform/files/fileLookup.h"

// Linux: the pack where the build installs it and the user's XDG folders. Windows: the
// folder kesu.exe is in, where the zip puts the pack and kesu.ini beside it.
// Screenshots go to the user's pictures folder, in kesu-tamrick/: on Linux XDG_PICTURES_DIR
// as user-dirs.dirs names it, else ~/Pictures; on Windows the Pictures known folder.
RunFiles installedRunFiles();
