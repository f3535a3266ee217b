#include "tools/audioclock/soundServer.h"

#include "platform/sound/audio.h"
#include "platform/sound/audioRecorder.h"

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

const std::vector<const char*>& programsOf(SoundServerKind kind)
{
    static const std::vector<const char*> pulse = {"pulseaudio"};
    static const std::vector<const char*> pipewire = {"dbus-daemon", "pipewire", "wireplumber", "pipewire-pulse", "pactl"};
    return kind == SOUND_SERVER_PULSEAUDIO ? pulse : pipewire;
}

// Everything a server looks up for its user lives in the private folder.
void privateEnvironment(const std::string& folder, SoundServerKind kind)
{
    const bool pipewire = kind == SOUND_SERVER_PIPEWIRE;
    for (const char* name : {"HOME", "PULSE_RUNTIME_PATH", "PULSE_STATE_PATH"}) setenv(name, folder.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (pipewire ? folder + "/config" : folder).c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (pipewire ? folder + "/run" : folder).c_str(), 1);
    unsetenv("PULSE_SERVER");
    unsetenv("PIPEWIRE_REMOTE");
    if (pipewire) {
        setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + folder + "/bus").c_str(), 1);
    } else {
        unsetenv("DBUS_SESSION_BUS_ADDRESS");
    }
}

// Starts args[0] from PATH with its output in logPath; it ends when its starter does.
pid_t spawn(const std::vector<std::string>& args, const std::string& folder, SoundServerKind kind,
            const std::string& logPath)
{
    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child != 0) return child;
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(1);
    const int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (log >= 0) {
        dup2(log, 1);
        dup2(log, 2);
    }
    const int devNull = open("/dev/null", O_RDONLY);
    if (devNull >= 0) dup2(devNull, 0);
    privateEnvironment(folder, kind);
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
}

// Waits for a socket to appear; false when one of the processes stopped, or after 10 s.
bool waitForSocket(SoundServer& server, const std::string& socketPath, const std::string& logPath, std::string& message)
{
    for (int attempt = 0; attempt < 200; ++attempt) {
        struct stat info{};
        if (stat(socketPath.c_str(), &info) == 0 && S_ISSOCK(info.st_mode)) return true;
        for (pid_t& process : server.processes) {
            int status = 0;
            if (process > 0 && waitpid(process, &status, WNOHANG) == process) {
                process = -1;
                message = std::string(soundServerName(server.kind)) + " stopped at start-up:" + lastLines(logPath);
                return false;
            }
        }
        sleepSeconds(0.05);
    }
    message = std::string(soundServerName(server.kind)) + " did not open its socket within 10 s:" + lastLines(logPath);
    return false;
}

// Runs a command to its end with the private environment; its exit status, or -1.
int runToEnd(const std::vector<std::string>& args, const SoundServer& server, const std::string& logPath)
{
    const pid_t child = spawn(args, server.folder, server.kind, logPath);
    if (child < 0) return -1;
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool startPulseAudio(SoundServer& server, std::string& message)
{
    const std::string logPath = server.folder + "/server.log";
    // The null sink is loaded before the socket, so a client that can connect finds it.
    const std::string sinkModule = "module-null-sink sink_name=" + server.sink +
                                   " rate=44100 format=s16le channels=2 channel_map=front-left,front-right";
    const std::string socketModule = "module-native-protocol-unix socket=" + server.folder + "/native auth-anonymous=1";
    server.address = "unix:" + server.folder + "/native";
    std::remove((server.folder + "/native").c_str());
    server.processes.push_back(spawn({"pulseaudio", "--daemonize=no", "-n", "--exit-idle-time=-1", "--use-pid-file=no",
                                      "--high-priority=yes", "--realtime=yes", "--disable-shm=yes",
                                      "--log-target=stderr", "-L", sinkModule, "-L", socketModule},
                                     server.folder, server.kind, logPath));
    return waitForSocket(server, server.folder + "/native", logPath, message);
}

// The graph runs at 44100 Hz only, so the music and the sink's monitor are never resampled;
// a pinned quantum (in frames) is the only one the graph uses.
bool writePipeWireConfiguration(const std::string& folder, int quantum, std::string& message)
{
    const std::string configFolder = folder + "/config/pipewire/pipewire.conf.d";
    std::error_code error;
    std::filesystem::create_directories(configFolder, error);
    std::filesystem::create_directories(folder + "/run", error);
    std::ofstream rate(configFolder + "/rate.conf");
    rate << "context.properties = {\n    default.clock.rate = 44100\n    default.clock.allowed-rates = [ 44100 ]\n";
    if (quantum > 0) {
        for (const char* name : {"quantum", "min-quantum", "max-quantum"})
            rate << "    default.clock." << name << " = " << quantum << "\n";
    }
    rate << "}\n";
    if (error || !rate) {
        message = "cannot write PipeWire's configuration into " + folder;
        return false;
    }
    return true;
}

bool startPipeWire(SoundServer& server, std::string& message)
{
    const std::string logPath = server.folder + "/server.log";
    if (!writePipeWireConfiguration(server.folder, server.quantum, message)) return false;
    // The service puts its socket in PULSE_RUNTIME_PATH, the private folder.
    const std::string socketPath = server.folder + "/native";
    server.address = "unix:" + socketPath;
    std::remove((server.folder + "/bus").c_str());
    std::remove(socketPath.c_str());
    server.processes.push_back(spawn({"dbus-daemon", "--session", "--nofork", "--nopidfile",
                                      "--address=unix:path=" + server.folder + "/bus"},
                                     server.folder, server.kind, server.folder + "/dbus.log"));
    if (!waitForSocket(server, server.folder + "/bus", server.folder + "/dbus.log", message)) return false;
    server.processes.push_back(spawn({"pipewire"}, server.folder, server.kind, logPath));
    if (!waitForSocket(server, server.folder + "/run/pipewire-0", logPath, message)) return false;
    server.processes.push_back(spawn({"wireplumber"}, server.folder, server.kind, server.folder + "/wireplumber.log"));
    server.processes.push_back(spawn({"pipewire-pulse"}, server.folder, server.kind, server.folder + "/pipewire-pulse.log"));
    if (!waitForSocket(server, socketPath, server.folder + "/pipewire-pulse.log", message)) return false;
    const std::string pactlLog = server.folder + "/pactl.log";
    if (runToEnd({"pactl", "-s", server.address, "load-module", "module-null-sink", "sink_name=" + server.sink,
                  "rate=44100", "format=s16le", "channels=2", "channel_map=front-left,front-right"},
                 server, pactlLog) != 0 ||
        runToEnd({"pactl", "-s", server.address, "set-default-sink", server.sink}, server, pactlLog) != 0) {
        message = "the null sink could not be made:" + lastLines(pactlLog);
        return false;
    }
    return true;
}

} // namespace

const char* soundServerName(SoundServerKind kind) { return kind == SOUND_SERVER_PULSEAUDIO ? "pulseaudio" : "pipewire"; }

bool soundServerInstalled(SoundServerKind kind, std::string& missing)
{
    for (const char* program : programsOf(kind)) {
        if (!onPath(program)) {
            missing = program;
            return false;
        }
    }
    return true;
}

bool startSoundServer(SoundServer& server, std::string& message)
{
    std::string missing;
    if (!soundServerInstalled(server.kind, missing)) {
        message = missing + " is not installed (scripts/setup.sh installs it for the tests)";
        return false;
    }
    if (server.folder.empty()) {
        char folderTemplate[] = "/tmp/kesu-sound.XXXXXX";
        if (!mkdtemp(folderTemplate)) {
            message = std::string("cannot make a folder for the sound server: ") + std::strerror(errno);
            return false;
        }
        server.folder = folderTemplate;
    }
    server.processes.clear();
    const bool started = server.kind == SOUND_SERVER_PULSEAUDIO ? startPulseAudio(server, message) : startPipeWire(server, message);
    if (!started) stopSoundServer(server);
    return started;
}

void waitForShortBlocks(AudioRecorder* recorder)
{
    // Polled every 20 ms: three growths in a row of some frames but under a tenth of a second
    // each are short blocks arriving as they are rendered.
    constexpr double pollSeconds = 0.02;
    const std::size_t shortFrames = AUDIO_SAMPLE_RATE / 10;
    std::size_t last = recorderFrames(recorder);
    int shortGrowths = 0;
    for (double waited = 0.0; waited < 2.5 && shortGrowths < 3; waited += pollSeconds) {
        sleepSeconds(pollSeconds);
        const std::size_t frames = recorderFrames(recorder);
        shortGrowths = frames > last && frames - last < shortFrames ? shortGrowths + 1 : 0;
        last = frames;
    }
}

void stopSoundServer(SoundServer& server, bool keepFolder)
{
    for (auto process = server.processes.rbegin(); process != server.processes.rend(); ++process) {
        if (*process <= 0) continue;
        kill(*process, SIGTERM);
        int status = 0;
        for (int attempt = 0; attempt < 100 && waitpid(*process, &status, WNOHANG) == 0; ++attempt) sleepSeconds(0.02);
        if (waitpid(*process, &status, WNOHANG) == 0) {
            kill(*process, SIGKILL);
            waitpid(*process, &status, 0);
        }
    }
    server.processes.clear();
    if (!keepFolder && !server.folder.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(server.folder, ignored);
        server.folder.clear();
    }
}
