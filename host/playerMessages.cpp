#include "host/playerMessages.h"

#include <cstdio>

namespace {

// Written on the main thread only, until stopKeepingMessages.
std::string kept;
bool keeping = true;

} // namespace

void playerSay(const std::string& text)
{
    std::fprintf(stderr, "kesu: %s\n", text.c_str());
    if (keeping) kept += text + "\n";
}

void stopKeepingMessages() { keeping = false; }

const std::string& startupMessages() { return kept; }
