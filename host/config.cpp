#include "host/config.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

// One "%d" conversion: white space, an optional sign, at least one digit. Values that do
// not fit in an int count as unreadable rather than wrapping.
bool readInteger(const std::string& text, size_t& at, int& value)
{
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
    size_t end = at;
    if (end < text.size() && (text[end] == '+' || text[end] == '-')) ++end;
    const size_t digits = end;
    while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) ++end;
    if (end == digits) return false;
    errno = 0;
    const long long parsed = std::strtoll(text.substr(at, end - at).c_str(), nullptr, 10);
    if (errno != 0 || parsed < -2147483648LL || parsed > 2147483647LL) return false;
    value = static_cast<int>(parsed);
    at = end;
    return true;
}

} // namespace

ConfigStatus parseConfig(const std::string& text, DemoConfig& config, std::string& problem)
{
    int values[3] = {0, 0, 0};
    size_t at = 0;
    for (int i = 0; i < 3; ++i) {
        if (!readInteger(text, at, values[i])) {
            static const char* const names[3] = {"width", "height", "swap interval"};
            problem = std::string("expected three numbers (width, height, swap interval) but found ") +
                      (i == 0 ? "none" : std::to_string(i)) + "; the " + names[i] + " is missing or not a number";
            return CONFIG_FALLBACK;
        }
    }
    if (values[0] < 1 || values[0] > configMaxSize || values[1] < 1 || values[1] > configMaxSize) {
        problem = "screen size " + std::to_string(values[0]) + " x " + std::to_string(values[1]) +
                  " is outside 1 to " + std::to_string(configMaxSize);
        return CONFIG_FALLBACK;
    }
    config.width = values[0];
    config.height = values[1];
    config.swapInterval = values[2];
    return CONFIG_READ;
}

ConfigStatus readConfig(const std::string& path, DemoConfig& config, std::string& problem)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        problem = path + ": cannot be opened";
        return CONFIG_FALLBACK;
    }
    std::ostringstream text;
    text << file.rdbuf();
    if (parseConfig(text.str(), config, problem) == CONFIG_FALLBACK) {
        problem = path + ": " + problem;
        return CONFIG_FALLBACK;
    }
    return CONFIG_READ;
}
