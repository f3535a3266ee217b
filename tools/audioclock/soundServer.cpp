#include "tools/audioclock/soundServer.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace {

bool onPath(const char* program)
{
    const char* path = std::getenv("PATH");
    std::stringstream folders(path ? path : "/usr/bin:/bin");
    std::string folder;
    while (std::getline(folders, folder, ':'))
        if (!folder.empty() && access((folder + "/" + program).c_str(), X_OK) == 0) return true;
    return false;
}

std::string lastLines(const std::string& path)
{
    std::ifstream file(path);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(file, line)) lines.push_back(line);
    std::string text;
    for (std::size_t i = lines.size() > 4 ? lines.size() - 4 : 0; i < lines.size(); ++i) text += "\n  " + lines[i];
    return text;
}

void sleepSeconds(double seconds)
{
    const long nanoseconds = static_cast<long>(seconds * 1e9);
    timespec pause{nanoseconds / 1000000000, nanoseconds % 1000000000};
    nanosleep(&pause, nullptr);
}

} // namespace

bool startSoundServer(SoundServer& server, std::string& message)
{
    if (!onPath("pulseaudio")) {
        message = "pulseaudio is not installed (scripts/setup.sh installs it)";
        return false;
    }
    char folderTemplate[] = "/tmp/kesu-sound.XXXXXX";
    if (!mkdtemp(folderTemplate)) {
        message = std::string("cannot make a folder for the sound server: ") + std::strerror(errno);
        return false;
    }
    server.folder = folderTemplate;
    server.address = "unix:" + server.folder + "/native";
    const std::string logPath = server.folder + "/server.log";
    // The null sink is loaded before the socket, so a client that can connect finds it.
    const std::string sinkModule = "module-null-sink sink_name=" + server.sink +
                                   " rate=44100 format=s16le channels=2 channel_map=front-left,front-right";
    const std::string socketModule = "module-native-protocol-unix socket=" + server.folder + "/native auth-anonymous=1";
    const std::vector<std::string> args = {
        "pulseaudio", "--daemonize=no", "-n", "--exit-idle-time=-1", "--use-pid-file=no",
        "--high-priority=yes", "--realtime=yes", "--disable-shm=yes", "--log-target=stderr", "-L", sinkModule, "-L", socketModule};

    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child < 0) {
        message = std::string("cannot start pulseaudio: ") + std::strerror(errno);
        stopSoundServer(server);
        return false;
    }
    if (child == 0) {
        // The server goes when its starter does, even when the starter is killed.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) _exit(1);
        const int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (log >= 0) {
            dup2(log, 1);
            dup2(log, 2);
        }
        const int devNull = open("/dev/null", O_RDONLY);
        if (devNull >= 0) dup2(devNull, 0);
        // Everything the server looks up for its user lives in the private folder.
        for (const char* name : {"HOME", "XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "PULSE_RUNTIME_PATH", "PULSE_STATE_PATH"})
            setenv(name, server.folder.c_str(), 1);
        unsetenv("PULSE_SERVER");
        unsetenv("DBUS_SESSION_BUS_ADDRESS");
        std::vector<char*> argv;
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execvp("pulseaudio", argv.data());
        _exit(127);
    }
    server.processId = child;

    const std::string socketPath = server.folder + "/native";
    for (int attempt = 0; attempt < 200; ++attempt) {
        struct stat info{};
        if (stat(socketPath.c_str(), &info) == 0 && S_ISSOCK(info.st_mode)) return true;
        int status = 0;
        if (waitpid(child, &status, WNOHANG) == child) {
            server.processId = -1;
            message = "pulseaudio stopped at start-up:" + lastLines(logPath);
            stopSoundServer(server);
            return false;
        }
        sleepSeconds(0.05);
    }
    message = "pulseaudio did not open its socket within 10 s:" + lastLines(logPath);
    stopSoundServer(server);
    return false;
}

void waitForShortBlocks() { sleepSeconds(2.1); }

void stopSoundServer(SoundServer& server)
{
    if (server.processId > 0) {
        kill(server.processId, SIGTERM);
        int status = 0;
        for (int attempt = 0; attempt < 100 && waitpid(server.processId, &status, WNOHANG) == 0; ++attempt)
            sleepSeconds(0.02);
        if (waitpid(server.processId, &status, WNOHANG) == 0) {
            kill(server.processId, SIGKILL);
            waitpid(server.processId, &status, 0);
        }
        server.processId = -1;
    }
    if (!server.folder.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(server.folder, ignored);
        server.folder.clear();
    }
}
