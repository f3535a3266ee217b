// libFuzzer entry for reading "kesu.ini": any bytes give either three usable numbers or a
// fallback with a reason, never a crash, and the result agrees with the C library's own
// reading of "%d%d%d" through strtol. The same bytes read from a file give the same result.
#include "host/config.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

std::string configPath;

// The reference reading: strtol skips the same white space as "%d" and takes an optional
// sign and decimal digits; a value outside int is unreadable, as it is for the reader.
bool referenceRead(const std::string& text, int values[3])
{
    const char* at = text.c_str();
    for (int i = 0; i < 3; ++i) {
        char* end = nullptr;
        errno = 0;
        const long value = std::strtol(at, &end, 10);
        if (end == at || errno == ERANGE || value < INT_MIN || value > INT_MAX) return false;
        values[i] = static_cast<int>(value);
        at = end;
    }
    return true;
}

void check(bool condition, const char* what, const std::string& text)
{
    if (condition) return;
    std::fprintf(stderr, "kesu.ini invariant broken: %s (input of %zu bytes)\n", what, text.size());
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    const char* folder = std::getenv("TMPDIR");
    configPath = std::string(folder && *folder ? folder : "/tmp") + "/kesu-fuzz-config-" + std::to_string(getpid()) + ".ini";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const DemoConfig untouched{-7, -8, -9};
    DemoConfig config = untouched;
    std::string problem;
    const ConfigStatus status = parseConfig(text, config, problem);

    // strtol stops at the first zero byte, as "%d" does; bytes after it never make a number.
    int expected[3] = {0, 0, 0};
    const bool readable = referenceRead(text, expected);
    const bool usable = readable && expected[0] >= 1 && expected[0] <= configMaxSize && expected[1] >= 1 &&
                        expected[1] <= configMaxSize;
    if (status == CONFIG_READ) {
        check(usable, "read a configuration the reference refuses", text);
        check(config.width >= 1 && config.width <= configMaxSize, "width out of range", text);
        check(config.height >= 1 && config.height <= configMaxSize, "height out of range", text);
        check(config.width == expected[0] && config.height == expected[1] && config.swapInterval == expected[2],
              "numbers differ from the reference", text);
    } else {
        check(!usable, "refused a configuration the reference reads", text);
        check(config.width == untouched.width && config.height == untouched.height &&
                  config.swapInterval == untouched.swapInterval,
              "a fallback changed the configuration", text);
        check(!problem.empty(), "a fallback without a reason", text);
        check(problem.find('\n') == std::string::npos, "the reason is more than one line", text);
    }

    // The file reader opens in binary mode, so carriage returns and zero bytes arrive as they are.
    std::FILE* file = std::fopen(configPath.c_str(), "wb");
    if (file == nullptr) return 0;
    const bool written = std::fwrite(data, 1, size, file) == size;
    if (std::fclose(file) != 0 || !written) return 0;
    DemoConfig fromFile = untouched;
    std::string fileProblem;
    const ConfigStatus fileStatus = readConfig(configPath, fromFile, fileProblem);
    check(fileStatus == status, "the file and the text read differently", text);
    check(fromFile.width == config.width && fromFile.height == config.height &&
              fromFile.swapInterval == config.swapInterval,
          "the file and the text give different numbers", text);
    if (fileStatus == CONFIG_FALLBACK) {
        check(fileProblem == configPath + ": " + problem, "the file's reason does not name the file", text);
    }
    std::remove(configPath.c_str());
    return 0;
}
