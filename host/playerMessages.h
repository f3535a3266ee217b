// What the player tells its user: each message on stderr as "kesu: ...", and those of the
// start-up also kept, for a message box where no console shows them (a program started from a
// desktop's menu or by a double-click).
#pragma once

#include <string>

void playerSay(const std::string& text);

// From now on messages are only printed: the sound output's own thread may speak too.
void stopKeepingMessages();
// What the start-up said, a line each.
const std::string& startupMessages();
