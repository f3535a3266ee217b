#include "platform/files/loadError.h"

#include <cstdio>

bool failLoad(LoadError& error, const std::string& file, long long offset, int chunkId,
              const std::string& text)
{
    error.file = file;
    error.offset = offset;
    error.chunkId = chunkId;
    error.text = text;
    return false;
}

std::string formatLoadError(const LoadError& error)
{
    std::string message = error.file.empty() ? std::string("(no file)") : error.file;
    char buffer[64];
    if (error.offset >= 0) {
        std::snprintf(buffer, sizeof buffer, ": byte %lld", error.offset);
        message += buffer;
    }
    if (error.chunkId >= 0) {
        std::snprintf(buffer, sizeof buffer, ": chunk 0x%04X", static_cast<unsigned>(error.chunkId));
        message += buffer;
    }
    message += ": ";
    message += error.text;
    return message;
}
