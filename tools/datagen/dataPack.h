// The whole data pack: OUTDIR/data/ with the music, every picture and the twelve scenes, and
// OUTDIR/kesu.ini where there is none. The same bytes on every run.
#pragma once

#include <string>

// Creates the folders as needed and overwrites what is there. False with a message
// naming the file that could not be made.
bool generateDataPack(const std::string& outDir, std::string& error);
