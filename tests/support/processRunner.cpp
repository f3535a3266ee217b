#include "tests/support/processRunner.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace {

double now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Whether the process has a handler for the signal: its bit in the SigCgt mask of
// /proc/PID/status, a hexadecimal number whose lowest bit is signal 1.
bool handlesSignal(pid_t process, int signal)
{
    std::ifstream status("/proc/" + std::to_string(process) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("SigCgt:", 0) != 0) continue;
        const unsigned long long mask = std::strtoull(line.c_str() + 7, nullptr, 16);
        return (mask >> (signal - 1)) & 1u;
    }
    return false;
}

} // namespace

ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                         const ProcessOptions& options, double* secondsAfterSignal)
{
    ProcessResult result;
    if (secondsAfterSignal) *secondsAfterSignal = -1.0;
    int outPipe[2], errPipe[2];
    if (pipe(outPipe) != 0 || pipe(errPipe) != 0) return result;
    const double start = now();
    const pid_t child = fork();
    if (child == 0) {
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        close(outPipe[0]);
        close(errPipe[0]);
        int devNull = open("/dev/null", O_RDONLY);
        if (devNull >= 0) dup2(devNull, 0);
        if (!options.workingDirectory.empty() && chdir(options.workingDirectory.c_str()) != 0) _exit(126);
        for (const auto& name : options.unsetEnvironment) unsetenv(name.c_str());
        for (const auto& entry : options.setEnvironment) setenv(entry.first.c_str(), entry.second.c_str(), 1);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    bool signalSent = false;
    double signalTime = 0.0;
    bool outOpen = true, errOpen = true;
    while (outOpen || errOpen) {
        const double left = options.timeoutSeconds - (now() - start);
        if (left <= 0) {
            result.timedOut = true;
            kill(child, SIGKILL);
            break;
        }
        pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
        // Wakes at least every 50 ms so that sendSignalWhen can also wait on time.
        if (poll(fds, 2, std::min(50, static_cast<int>(left * 1000) + 1)) < 0) continue;
        char buffer[4096];
        for (int i = 0; i < 2; ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP))) continue;
            const ssize_t count = read(fds[i].fd, buffer, sizeof buffer);
            if (count <= 0) {
                (i == 0 ? outOpen : errOpen) = false;
                fds[i].fd = -1;
            } else {
                (i == 0 ? result.out : result.err).append(buffer, static_cast<size_t>(count));
            }
        }
        if (!outOpen) outPipe[0] = -1;
        if (!errOpen) errPipe[0] = -1;
        if (!signalSent && options.sendSignalWhen && options.sendSignalWhen(result.out, result.err) &&
            (!options.signalOnceHandled || handlesSignal(child, options.signalToSend))) {
            kill(child, options.signalToSend);
            signalSent = true;
            signalTime = now();
        }
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
    }
    result.seconds = now() - start;
    if (outPipe[0] >= 0) close(outPipe[0]);
    if (errPipe[0] >= 0) close(errPipe[0]);
    if (WIFEXITED(status)) {
        result.exitStatus = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
    if (secondsAfterSignal && signalSent) *secondsAfterSignal = now() - signalTime;
    return result;
}

ProcessOptions headless(const std::string& folder, double timeoutSeconds)
{
    ProcessOptions options;
    options.workingDirectory = folder;
    options.setEnvironment = {{"SDL_VIDEODRIVER", "offscreen"}, {"SDL_AUDIODRIVER", "dummy"}};
    options.timeoutSeconds = timeoutSeconds;
    return options;
}

std::string readFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string makeTempFolder(const std::string& prefix)
{
    std::string pattern = ::testing::TempDir() + prefix + "-XXXXXX";
    if (!mkdtemp(&pattern[0])) return "";
    return pattern;
}

std::string generatedDataFolder()
{
#ifdef KESU_BINARY_DIR
    const std::string folder = std::string(KESU_BINARY_DIR) + "/testdata/data";
    struct stat info;
    if (stat((folder + "/little.mp3").c_str(), &info) == 0) return folder;
#endif
    return "";
}

std::string makeRunFolder(const std::string& prefix, const char* iniText)
{
    const std::string folder = makeTempFolder(prefix);
    const std::string data = generatedDataFolder();
    if (folder.empty() || data.empty()) return "";
    const std::string copy = "cp -r '" + data + "' '" + folder + "/data'";
    if (std::system(copy.c_str()) != 0) return "";
    if (iniText) {
        std::ofstream ini(folder + "/kesu.ini", std::ios::binary);
        ini << iniText;
    }
    return folder;
}
