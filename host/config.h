// The three numbers of "kesu.ini": screen width, screen height and swap interval. Reading
// never fails: a missing or unusable file gives the desktop's mode and swap interval 1,
// and the reason comes back for the host to print.
#pragma once

#include <string>

struct DemoConfig {
    int width = 0;
    int height = 0;
    int swapInterval = 1;
};

// Width and height are accepted from 1 to this many pixels.
constexpr int configMaxSize = 16384;

enum ConfigStatus {
    CONFIG_READ,        // three usable numbers
    CONFIG_FALLBACK     // `problem` says why the fallback is needed
};

// Parses the text of the file: three signed decimal integers separated by any white
// space, anything after the third ignored. Sets `problem` when the text does not give
// three numbers or a width or height out of range.
ConfigStatus parseConfig(const std::string& text, DemoConfig& config, std::string& problem);

// Reads and parses the file at path; `problem` names the file.
ConfigStatus readConfig(const std::string& path, DemoConfig& config, std::string& problem);
