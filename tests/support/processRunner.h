// Runs one of our programs as a child process for end-to-end tests: in a given folder,
// with environment changes, bounded in time, capturing stdout and stderr.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

struct ProcessResult {
    int exitStatus = -1;        // the exit status, or -1 when killed by a signal or timed out
    int signal = 0;             // the signal that ended it, if any
    bool timedOut = false;
    double seconds = 0.0;       // wall time from start to exit
    std::string out;
    std::string err;
};

struct ProcessOptions {
    std::string workingDirectory;
    std::vector<std::pair<std::string, std::string>> setEnvironment;   // NAME, value
    std::vector<std::string> unsetEnvironment;
    double timeoutSeconds = 60.0;
    // Called with the output gathered so far at least every 50 ms; returning true sends
    // `signalToSend` once and records the time, for "ends within N s of a request" checks.
    std::function<bool(const std::string& out, const std::string& err)> sendSignalWhen;
    int signalToSend = 15;
    // Holds the signal back until the program has a handler for it, so that one asked for the
    // moment it starts does not end a program slow to start before its own code runs.
    bool signalOnceHandled = false;
};

// Runs program with args; never throws. `secondsAfterSignal` gets the time from the signal
// to the exit, or -1 when no signal was sent.
ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                         const ProcessOptions& options, double* secondsAfterSignal = nullptr);

// Options for one of our programs run headless in folder (the offscreen video driver, the dummy
// audio driver), bounded by timeoutSeconds.
ProcessOptions headless(const std::string& folder, double timeoutSeconds);

// A file's bytes; empty when it cannot be read.
std::string readFile(const std::string& path);

// A fresh empty folder under the test temp folder.
std::string makeTempFolder(const std::string& prefix);

// The generated data pack of the build (testdata/data), or "" when it is missing.
std::string generatedDataFolder();

// Makes a run folder: a copy of the generated data pack in data/ and the given kesu.ini text
// (none when iniText is null).
std::string makeRunFolder(const std::string& prefix, const char* iniText);
