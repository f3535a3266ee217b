#include "host/demoHost.h"

#include "host/config.h"
#include "host/playerOptions.h"
#include "platform/audio.h"
#include "platform/console.h"
#include "platform/fileLookup.h"
#include "platform/loadError.h"
#include "platform/monotonicClock.h"
#include "platform/renderWindow.h"
#include "platform/window.h"
#include "timeline/demoSchedule.h"
#include "timeline/demoSession.h"
#include "timeline/framePrediction.h"
#include "timeline/runReport.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>


namespace {

const char* const musicFile = "little.mp3";

// What the start-up said, for a message box where no console shows it; collected on the main
// thread until the music's own thread may report too.
std::string startupMessages;
bool collectingStartup = true;

void report(const std::string& text)
{
    std::fprintf(stderr, "kesu: %s\n", text.c_str());
    if (collectingStartup) startupMessages += text + "\n";
}

// KESU_CLOCK_LOG=FILE: one line per frame, "SWAP POSITION DRAWN": CLOCK_MONOTONIC seconds
// when the frame's swap returned, the music position in seconds read at the frame's start,
// and the time the frame was drawn for. Lines gather in a stdio buffer sized for a whole run,
// so no frame waits on the disk.
struct ClockLog {
    FILE* file = nullptr;
    std::vector<char> buffer;
};

// What the player holds for the whole run besides the session: the window, the music and the
// times its frames were shown, for the report at the end.
struct DemoHost {
    PlayerOptions options;
    RunFiles files;
    PlatformWindow* windowHandle = nullptr;
    bool deviceContext = false;
    RenderWindow renderWindow;
    DemoSession session;
    std::vector<std::int16_t> music;
    AudioOutput* musicStream = nullptr;
    bool glErrorReported = false;
    // Wall-clock seconds with paused time taken out: when the music started and when each
    // frame's swap returned. Reserved up front so the frame path does not allocate.
    double startSeconds = 0.0;
    double pausedSince = 0.0;
    double pausedSeconds = 0.0;
    std::vector<double> shownSeconds;
    ClockLog clockLog;
    // What each frame is drawn for: the position read at its start plus the time it takes to
    // be shown (KESU_CLOCK=frame-start: the position read alone).
    FramePrediction prediction;
    float readTime = 0.0f;
};

// The frame-rate report's clock: wall time less the time spent paused.
double playedSeconds(const DemoHost& host) { return platformSeconds() - host.pausedSeconds; }

void openClockLog(ClockLog& log)
{
    const char* path = std::getenv("KESU_CLOCK_LOG");
    if (!path || !*path) return;
    log.file = std::fopen(path, "w");
    if (!log.file) {
        report(std::string(path) + ": cannot write the clock log (" + std::strerror(errno) + "); playing without it");
        return;
    }
    // About 30 bytes a line: room for 173 s at over 700 frames per second before a flush.
    log.buffer.resize(4u << 20);
    std::setvbuf(log.file, log.buffer.data(), _IOFBF, log.buffer.size());
}

void logSwap(ClockLog& log, double swapSeconds, float readTime, float drawnTime)
{
    if (!log.file) return;
    std::fprintf(log.file, "%.6f %.6f %.6f\n", swapSeconds, static_cast<double>(readTime), static_cast<double>(drawnTime));
}

void closeClockLog(ClockLog& log)
{
    if (!log.file) return;
    if (std::fclose(log.file) != 0) report(std::string("the clock log is incomplete: ") + std::strerror(errno));
    log.file = nullptr;
}

bool readConfiguration(DemoHost& host, DemoConfig& config)
{
    std::string problem;
    const std::string& path = host.files.configFile;
    // Installed, a user who never wrote a configuration gets the desktop as it is, without a
    // word: a first start from the menu is not a mistake.
    const bool quietFallback = host.files.installed && (path.empty() || !std::filesystem::exists(path));
    if (!quietFallback && readConfig(path, config, problem) == CONFIG_READ) return true;
    int width = 0, height = 0;
    if (!platformDesktopMode(width, height)) {
        report((quietFallback ? std::string("no configuration") : problem) +
               "; and no display to take the screen size from: " + platformLastError());
        return false;
    }
    config.width = width;
    config.height = height;
    config.swapInterval = 1;
    if (quietFallback) {
        if (host.options.screenMode == SCREEN_SWITCH_MODE) host.options.screenMode = SCREEN_DESKTOP;
        return true;
    }
    report(problem + "; using the desktop's " + std::to_string(width) + " x " + std::to_string(height) +
           " and swap interval 1");
    return true;
}

// Closes the output, first saying what went wrong with the sound: each time the server ran
// out of music or skipped it is a click the pictures do not show, and while it was away the
// music was silent.
void closeAudio(DemoHost& host)
{
    if (!host.musicStream) return;
    const AudioTrouble trouble = audioTrouble(host.musicStream);
    if (trouble.underruns > 0)
        report("the sound server ran out of music " + std::to_string(trouble.underruns) +
               " times during the run (heard as clicks); the machine was too busy to feed it");
    if (trouble.dropouts > 0) {
        char text[200];
        std::snprintf(text, sizeof text,
                      "the sound server skipped the music %u times during the run (%.1f ms of silence in all, heard "
                      "as clicks); it was too busy to serve it",
                      trouble.dropouts, trouble.droppedSeconds * 1000.0);
        report(text);
    }
    if (trouble.silentSeconds > 0.0) {
        char text[120];
        std::snprintf(text, sizeof text, "the music was silent for %.1f s of the run while the sound server was away",
                      trouble.silentSeconds);
        report(text);
    }
    audioClose(host.musicStream);
    host.musicStream = nullptr;
}

void releaseAudio(DemoHost& host)
{
    audioStop(host.musicStream);
    closeAudio(host);
    host.music.clear();
    host.music.shrink_to_fit();
}

// Start-up up to the first frame; false when the run cannot start.
bool startDemo(DemoHost& host)
{
    host.files = findRunFiles();
    host.session.dataFolder = host.files.dataFolder;
    DemoConfig config;
    if (!readConfiguration(host, config)) return false;

    // The music is decoded before the display changes, so a broken pack stops with the
    // desktop untouched.
    LoadError error;
    if (!decodeMp3File(host.files.dataFolder + musicFile, host.music, error)) {
        report(formatLoadError(error));
        return false;
    }

    // On the desktop's own mode the picture is drawn at the desktop's size; without a display
    // the window creation below says so.
    int width = config.width, height = config.height;
    if (host.options.screenMode == SCREEN_DESKTOP) platformDesktopMode(width, height);
    std::string folderProblem;
    if (host.files.installed && !makeParentFolder(host.files.logFile, folderProblem)) {
        report(host.files.logFile + " cannot be created, starting without it: " + folderProblem);
        host.files.logFile.clear();
    }
    createRenderWindow(host.renderWindow, &host.windowHandle, &host.deviceContext, width, height, 32, 16,
                       host.options.screenMode, host.files.logFile);
    if (!host.renderWindow.renderingContext) {
        // The first failed step is already on stderr; the later ones follow from it.
        report("no OpenGL window could be created" +
               (host.files.logFile.empty() ? std::string() : " (" + host.files.logFile + " lists the steps)") +
               "; run kesu in a desktop session (X11 or Wayland), or make a video without a display with "
               "kesu-capture");
        return false;
    }

    host.session.renderWindow = &host.renderWindow;
    if (!showWaitScreen(host.session, error)) {
        report(formatLoadError(error));
        return false;
    }
    platformSwapBuffers(host.windowHandle);

    if (!host.renderWindow.wglSwapIntervalEXT || host.renderWindow.wglSwapIntervalEXT(config.swapInterval) != 0)
        report("the driver offers no swap interval " + std::to_string(config.swapInterval) + " (" + platformLastError() +
               "); frames are not paced");

    if (!loadDemoSession(host.session, error)) {
        report(formatLoadError(error));
        return false;
    }

    std::string audioMessage;
    collectingStartup = false;
    host.musicStream = audioOpen(audioMessage, [](const std::string& text) { report(text); });
    if (!audioMessage.empty()) report(audioMessage);
    // With KESU_CHECK_GL set, the first GL error of the run is reported with its draw and clock.
    const char* checkGl = std::getenv("KESU_CHECK_GL");
    if (checkGl && *checkGl && std::strcmp(checkGl, "0") != 0) enableGlCheck(host.session);
    // A late start: the history up to --from is stepped behind the wait screen, then the music
    // starts there, so the first frame drawn is the one a run from 0 draws at that time.
    std::uint32_t startByte = 0;
    if (host.options.from > 0.0) {
        stepHistoryBefore(host.session, host.options.from);
        startByte = static_cast<std::uint32_t>(std::llround(host.options.from * AUDIO_SAMPLE_RATE)) *
                    (AUDIO_BYTES_PER_SECOND / AUDIO_SAMPLE_RATE);
    }
    std::printf("kesu: playing at %d x %d%s%s; Escape quits, Space pauses\n", width, height,
                host.options.screenMode == SCREEN_WINDOW ? " in a window" : "",
                audioIsSilent(host.musicStream) ? ", silent" : "");
    std::fflush(stdout);
    // Room for a thousand frames a second over the whole run, so the frame path never allocates.
    host.shownSeconds.reserve(static_cast<std::size_t>(demoLength * 1000.0f));
    openClockLog(host.clockLog);
    const char* clockChoice = std::getenv("KESU_CLOCK");
    host.prediction.enabled = !(clockChoice && std::strcmp(clockChoice, "frame-start") == 0);
    restartPrediction(host.prediction);
    audioPlay(host.musicStream, &host.music, startByte);
    host.startSeconds = playedSeconds(host);
    return true;
}

void runMainLoop(DemoHost& host)
{
    DemoDriver driver;
    driver.pollEvent = platformPollEvent;
    driver.waitEvent = [](PlatformEvent& event) { return platformWaitEvent(event, 50); };
    driver.readClock = [&host](float& demoTime) {
        const std::uint32_t position = audioPosition(host.musicStream);
        demoTime = static_cast<float>(position / static_cast<double>(AUDIO_BYTES_PER_SECOND));
        host.readTime = demoTime;
        return true;
    };
    driver.drawTime = [&host](float readTime) {
        return predictFrameTime(host.prediction, readTime, platformMonotonicSeconds(), demoLength);
    };
    driver.finishFrame = [&host] {
        platformSwapBuffers(host.windowHandle);
        const double shown = platformMonotonicSeconds();
        frameShown(host.prediction, shown);
        if (host.shownSeconds.size() < host.shownSeconds.capacity()) host.shownSeconds.push_back(playedSeconds(host));
        logSwap(host.clockLog, shown, host.readTime, host.session.demoTime);
        if (host.session.glCheck.error && !host.glErrorReported) {
            host.glErrorReported = true;
            report(describeGlError(host.session.glCheck));
        }
        return true;
    };
    driver.stopMusic = [&host] { releaseAudio(host); };
    driver.pauseMusic = [&host](bool paused) {
        audioPause(host.musicStream, paused);
        if (paused) {
            host.pausedSince = platformSeconds();
        } else {
            host.pausedSeconds += platformSeconds() - host.pausedSince;
            restartPrediction(host.prediction);
        }
    };
    runDemoLoop(host.session, driver);
    const RunReport runReport =
        summarizeRun(host.shownSeconds, host.startSeconds, platformRefreshRate(host.windowHandle));
    std::printf("kesu: %s\n", describeRunReport(runReport).c_str());
    std::fflush(stdout);
    // On a close request the loop leaves the music playing; the device is still closed
    // below, before the decoded music it reads from is freed.
}

} // namespace

int runDemo(int argc, const char* const* argv)
{
    DemoHost host;
    std::string problem;
    if (!parsePlayerOptions(argc, argv, host.options, problem)) {
        report(problem);
        std::fputs(playerUsage().c_str(), stderr);
        return 2;
    }
    if (host.options.help) {
        std::fputs(playerUsage().c_str(), stdout);
        return 0;
    }
    if (host.options.version) {
        std::printf("kesu %s\n", KESU_VERSION);
        return 0;
    }
    const bool started = startDemo(host);
    if (started) runMainLoop(host);
    closeClockLog(host.clockLog);
    destroyRenderWindow(host.renderWindow, &host.windowHandle, &host.deviceContext);
    closeAudio(host);
    // With the window gone, so that a full-screen one cannot hide the message.
    if (!started) platformReportStartupFailure(startupMessages);
    return started ? 0 : 1;
}
