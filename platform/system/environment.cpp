#include "platform/system/environment.h"

#include <cstdlib>

std::string environmentValue(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

bool environmentSwitchOn(const char* name)
{
    const std::string value = environmentValue(name);
    return !value.empty() && value != "0";
}
