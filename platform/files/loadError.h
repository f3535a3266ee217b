// What went wrong while reading a file: which file, where in it, and what was expected
// against what was found. Every reader fills one and returns false; only host/ and the
// tools print it.
#pragma once

#include <string>

struct LoadError {
    std::string file;
    long long offset = -1;   // byte offset where the offending item starts; -1 when no byte is meant
    int chunkId = -1;        // chunk id for .3ds files; -1 when there is none
    std::string text;
};

// Fills every field of the error at once and returns false, so readers can write
// `return failLoad(error, file, offset, id, "...")`.
bool failLoad(LoadError& error, const std::string& file, long long offset, int chunkId,
              const std::string& text);

// "data/x.3ds: byte 1184: chunk 0x4110: text", leaving out the parts that are not set.
std::string formatLoadError(const LoadError& error);
