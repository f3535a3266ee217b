// kesu-audioclock: runs a player against a private sound server (PulseAudio, or PipeWire with
// its PulseAudio service) with a null sink,
// records the sink's monitor with the times the server says each frame was heard, and prints
// the underruns (silence in the recording that is not in the music) and how far the player's
// clock log stands from the recorded sound.
//
//   kesu-audioclock --music data/little.mp3 [--server pulseaudio|pipewire] [--keep FOLDER]
//                   [--limit SECONDS] -- COMMAND...
//   kesu-audioclock --music data/little.mp3 --from FOLDER
//
// The command runs with PULSE_SERVER naming the private server, SDL_AUDIODRIVER=pulseaudio
// and KESU_CLOCK_LOG naming the log to read back. --keep leaves the clock log, the recording
// and its timing reports in FOLDER; --from measures such a folder again without playing.
#include "platform/files/loadError.h"
#include "platform/sound/audio.h"
#include "platform/sound/audioRecorder.h"
#include "platform/sound/mp3Decoder.h"
#include "tools/audioclock/clockAnalysis.h"
#include "tools/audioclock/soundServer.h"

#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct Options {
    SoundServerKind server = SOUND_SERVER_PULSEAUDIO;
    std::string music;
    std::string keep;
    std::string from;
    double limitSeconds = 400.0;
    std::vector<std::string> command;
    bool help = false;
    bool version = false;
};

const char* const usageText =
    "usage: kesu-audioclock --music FILE [--server pulseaudio|pipewire] [--keep FOLDER] [--limit SECONDS] -- COMMAND...\n"
    "       kesu-audioclock --music FILE --from FOLDER\n"
    "       kesu-audioclock --help | --version\n"
    "Measures a player's clock against what a private sound server plays, version " KESU_VERSION ".\n"
    "  --music FILE        the music the player plays, to find in the recording\n"
    "  --server NAME       pulseaudio (the default) or pipewire, started privately with a null sink\n"
    "  --keep FOLDER       leave the clock log, the recording and its timing reports there\n"
    "                      (made when missing)\n"
    "  --limit SECONDS     end the command after this long (default 400)\n"
    "  --from FOLDER       measure a kept folder again, without playing\n"
    "  --help              this text\n"
    "  --version           the version\n"
    "The command runs with PULSE_SERVER naming the private server, SDL_AUDIODRIVER=pulseaudio and\n"
    "KESU_CLOCK_LOG naming the clock log it writes.\n";

int usage(const char* problem)
{
    std::fprintf(stderr, "kesu-audioclock: %s\n%s", problem, usageText);
    return 2;
}

bool parseOptions(int argc, char** argv, Options& options, std::string& problem)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "--version") {
            (arg == "--help" ? options.help : options.version) = true;
            return true;
        }
        if (arg == "--") {
            for (++i; i < argc; ++i) options.command.push_back(argv[i]);
            break;
        }
        if (i + 1 >= argc) {
            problem = arg + " needs a value";
            return false;
        }
        if (arg == "--music") {
            options.music = argv[++i];
        } else if (arg == "--server") {
            const std::string name = argv[++i];
            if (name != "pulseaudio" && name != "pipewire") {
                problem = "--server takes pulseaudio or pipewire";
                return false;
            }
            options.server = name == "pulseaudio" ? SOUND_SERVER_PULSEAUDIO : SOUND_SERVER_PIPEWIRE;
        } else if (arg == "--keep") {
            options.keep = argv[++i];
        } else if (arg == "--from") {
            options.from = argv[++i];
        } else if (arg == "--limit") {
            options.limitSeconds = std::atof(argv[++i]);
            if (options.limitSeconds <= 0) {
                problem = "--limit takes a number of seconds above 0";
                return false;
            }
        } else {
            problem = "unknown option " + arg;
            return false;
        }
    }
    if (options.music.empty()) problem = "--music is missing";
    else if (options.command.empty() == options.from.empty()) problem = "give either --from FOLDER or a command after --";
    return problem.empty();
}

double monotonicSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Runs the command to its end, or ends it after limitSeconds. Returns its exit status, or -1.
int runCommand(const Options& options, const SoundServer& server, const std::string& logPath)
{
    const pid_t child = fork();
    if (child < 0) return -1;
    if (child == 0) {
        setenv("PULSE_SERVER", server.address.c_str(), 1);
        setenv("SDL_AUDIODRIVER", "pulseaudio", 1);
        setenv("KESU_CLOCK_LOG", logPath.c_str(), 1);
        std::vector<char*> argv;
        for (const std::string& arg : options.command) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        std::fprintf(stderr, "kesu-audioclock: cannot run %s: %s\n", argv[0], std::strerror(errno));
        _exit(127);
    }
    const double start = monotonicSeconds();
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (monotonicSeconds() - start > options.limitSeconds) {
            std::fprintf(stderr, "kesu-audioclock: the command ran past %.0f s and was ended\n", options.limitSeconds);
            kill(child, SIGTERM);
            waitpid(child, &status, 0);
            return -1;
        }
        timespec pause{0, 100000000};
        nanosleep(&pause, nullptr);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void keepRecording(const std::string& folder, const RecordedSound& sound)
{
    std::ofstream raw(folder + "/recording.raw", std::ios::binary);
    raw.write(reinterpret_cast<const char*>(sound.pcm.data()), static_cast<std::streamsize>(sound.pcm.size() * 2));
    std::ofstream marks(folder + "/recording-marks.txt");
    char line[64];
    for (const RecordMark& mark : sound.marks) {
        std::snprintf(line, sizeof line, "%.3f %.6f\n", mark.frame, mark.monotonicSeconds);
        marks << line;
    }
}

bool readKept(const std::string& folder, RecordedSound& sound, std::string& problem)
{
    std::ifstream raw(folder + "/recording.raw", std::ios::binary);
    std::ifstream marks(folder + "/recording-marks.txt");
    if (!raw || !marks) {
        problem = folder + ": no recording.raw and recording-marks.txt to measure";
        return false;
    }
    raw.seekg(0, std::ios::end);
    sound.pcm.resize(static_cast<std::size_t>(raw.tellg()) / sizeof(std::int16_t));
    raw.seekg(0);
    raw.read(reinterpret_cast<char*>(sound.pcm.data()), static_cast<std::streamsize>(sound.pcm.size() * sizeof(std::int16_t)));
    RecordMark mark;
    while (marks >> mark.frame >> mark.monotonicSeconds) sound.marks.push_back(mark);
    return true;
}

void printOffsets(const char* what, const OffsetFigures& figures)
{
    std::printf("%s, %zu frames: median %+.1f ms, 95th percentile %+.1f ms, worst %+.1f ms\n", what, figures.count,
                figures.median * 1000.0, figures.percentile95 * 1000.0, figures.worst * 1000.0);
}

// Plays the command against a fresh server while recording; false when no measurement can
// be made (the reason is printed). `status` is the command's exit status.
bool recordRun(const Options& options, RecordedSound& sound, std::vector<ClockLogLine>& lines, int& status)
{
    std::string problem;
    SoundServer server;
    server.kind = options.server;
    if (!startSoundServer(server, problem)) {
        std::fprintf(stderr, "kesu-audioclock: no sound server: %s\n", problem.c_str());
        return false;
    }
    AudioRecorder* recorder = recorderStart(server.address, server.monitor, options.limitSeconds + 10.0, problem);
    if (!recorder) {
        std::fprintf(stderr, "kesu-audioclock: cannot record the sink: %s\n", problem.c_str());
        stopSoundServer(server);
        return false;
    }
    waitForShortBlocks(recorder);
    const std::string logPath = (options.keep.empty() ? server.folder : options.keep) + "/clock.log";
    status = runCommand(options, server, logPath);
    // The tail of the music still in the server's buffers.
    timespec pause{0, 500000000};
    nanosleep(&pause, nullptr);
    recorderStop(recorder, sound);
    const bool logRead = readClockLog(logPath, lines, problem);
    stopSoundServer(server);
    if (status != 0) std::fprintf(stderr, "kesu-audioclock: the command ended with status %d\n", status);
    if (!options.keep.empty()) keepRecording(options.keep, sound);
    if (!logRead) std::fprintf(stderr, "kesu-audioclock: %s\n", problem.c_str());
    return logRead;
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    std::string problem;
    if (!parseOptions(argc, argv, options, problem)) return usage(problem.c_str());
    if (options.help) {
        std::fputs(usageText, stdout);
        return 0;
    }
    if (options.version) {
        std::printf("kesu-audioclock %s\n", KESU_VERSION);
        return 0;
    }
    // The folder that keeps the results is made (or refused) before minutes of measuring.
    std::error_code folderError;
    if (!options.keep.empty() && !std::filesystem::is_directory(options.keep, folderError) &&
        !std::filesystem::create_directories(options.keep, folderError)) {
        std::fprintf(stderr, "kesu-audioclock: --keep %s: cannot make the folder: %s\n", options.keep.c_str(),
                     folderError.message().c_str());
        return 1;
    }

    std::vector<std::int16_t> music;
    LoadError error;
    if (!decodeMp3File(options.music, music, error)) {
        std::fprintf(stderr, "kesu-audioclock: %s\n", formatLoadError(error).c_str());
        return 1;
    }
    RecordedSound sound;
    std::vector<ClockLogLine> lines;
    int status = 0;
    if (options.from.empty()) {
        if (!recordRun(options, sound, lines, status)) return 1;
    } else if (!readKept(options.from, sound, problem) || !readClockLog(options.from + "/clock.log", lines, problem)) {
        std::fprintf(stderr, "kesu-audioclock: %s\n", problem.c_str());
        return 1;
    }

    HeardTimeline timeline;
    SoundAlignment alignment;
    if (!fitHeardTimeline(sound.marks, timeline, problem) || !alignRecording(music, sound.pcm, alignment, problem)) {
        std::fprintf(stderr, "kesu-audioclock: %s\n", problem.c_str());
        return 1;
    }
    std::printf("recorded %.2f s from the null sink's monitor, %u blocks lost; %zu timing reports of the server, "
                "99%% within %.2f ms of one line\n",
                static_cast<double>(sound.pcm.size()) / 2 / AUDIO_SAMPLE_RATE, sound.lostBlocks, sound.marks.size(),
                timeline.spread * 1000.0);
    std::printf("music heard from %.3f s to %.3f s of %.3f s (first sound to last)%s\n",
                static_cast<double>(alignment.recordingStart) / AUDIO_SAMPLE_RATE,
                static_cast<double>(alignment.heardUntil) / AUDIO_SAMPLE_RATE,
                static_cast<double>(alignment.musicEnd) / AUDIO_SAMPLE_RATE,
                alignment.framesLost ? "; the recording skips some of it" : "");
    std::int64_t silentFrames = 0;
    for (const Underrun& underrun : alignment.underruns) silentFrames += underrun.frames;
    std::printf("underruns: %zu (%.1f ms of inserted silence)\n", alignment.underruns.size(),
                static_cast<double>(silentFrames) * 1000.0 / AUDIO_SAMPLE_RATE);
    for (std::size_t i = 0; i < alignment.underruns.size() && i < 20; ++i)
        std::printf("  at %8.3f s of the music: %.1f ms\n", alignment.underruns[i].musicSeconds,
                    static_cast<double>(alignment.underruns[i].frames) * 1000.0 / AUDIO_SAMPLE_RATE);
    printOffsets("clock offset (the position read at each frame's start, against the sound heard then)",
                 offsetsFromSound(clockReadings(lines), alignment, timeline));
    // The frame-start clock's lag comes from the same run: its frame would have been drawn
    // for the position read, and shown at the same swap.
    printOffsets("picture lag, frame-start clock (each swap, less when the position read was heard)",
                 offsetsFromSound(pictureShowings(lines, PICTURE_FRAME_START), alignment, timeline));
    printOffsets("picture lag, predicted clock (each swap, less when the time drawn for was heard)",
                 offsetsFromSound(pictureShowings(lines, PICTURE_DRAWN), alignment, timeline));
    return status == 0 ? 0 : 1;
}
