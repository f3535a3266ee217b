// The switches a program takes from its environment, read once at start-up by the program
// itself and handed down as options; nothing below the programs reads the environment.
#pragma once

#include <string>

// The variable's value; "" when it is unset.
std::string environmentValue(const char* name);

// A switch is on when the variable is set to anything but "" or "0".
bool environmentSwitchOn(const char* name);
