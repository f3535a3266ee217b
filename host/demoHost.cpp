#include "host/demoHost.h"

#include "host/config.h"
#include "host/framePrediction.h"
#include "host/playerOptions.h"
#include "host/showSurface.h"
#include "host/timeBar.h"
#include "platform/audio.h"
#include "platform/console.h"
#include "platform/fileLookup.h"
#include "platform/loadError.h"
#include "platform/monotonicClock.h"
#include "platform/mp3Decoder.h"
#include "platform/pngWriter.h"
#include "platform/quitSignal.h"
#include "platform/renderWindow.h"
#include "platform/window.h"
#include "timeline/captureClock.h"
#include "timeline/demoSchedule.h"
#include "timeline/demoSession.h"
#include "timeline/runReport.h"

#include <GL/gl.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <thread>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// What the start-up said, for a message box where no console shows it; collected on the main
// thread until the music's own thread may report too.
std::string startupMessages;
bool collectingStartup = true;

void report(const std::string& text)
{
    std::fprintf(stderr, "kesu: %s\n", text.c_str());
    if (collectingStartup) startupMessages += text + "\n";
}

// KESU_CLOCK_LOG=FILE: one line per frame, "SWAP POSITION DRAWN READ": the monotonic seconds
// when the frame's swap returned, the music position in seconds read at the frame's start,
// the time the frame was drawn for, and the monotonic seconds when the position was read.
// Lines gather in a stdio buffer sized for a whole run, so no frame waits on the disk.
struct ClockLog {
    FILE* file = nullptr;
    std::vector<char> buffer;
};

// What the player holds for the whole run besides the session: the window, the music and the
// times its frames were shown, for the report at the end.
struct DemoHost {
    PlayerOptions options;
    RunFiles files;
    DemoConfig config;
    bool configGiven = true;     // false: installed without a configuration of the user's
    int width = 0, height = 0;   // the size drawn at
    PlatformWindow* windowHandle = nullptr;
    bool deviceContext = false;
    RenderWindow renderWindow;
    DemoSession session;
    std::vector<std::int16_t> music;
    AudioOutput* musicStream = nullptr;
    bool glErrorReported = false;
    // Monotonic seconds with paused time taken out: when the music started and when each
    // frame's swap returned. Reserved up front so the frame path does not allocate.
    double startSeconds = 0.0;
    std::vector<double> shownSeconds;
    ClockLog clockLog;
    // What each frame is drawn for: the position read at its start plus the time it takes to
    // be shown (or the position read alone, without frame prediction).
    FramePrediction prediction;
    TimeBar timeBar;
    ShowSurface surface;
    bool looping = false;
    int passes = 1;               // times the show started, a loop's restarts included
    bool screenshotAsked = false;
    std::vector<std::thread> screenshotWriters;
};

// The frame-rate report's clock: monotonic time less the time spent paused.
double playedSeconds(const DemoHost& host) { return platformMonotonicSeconds() - audioPausedSeconds(host.musicStream); }

void openClockLog(ClockLog& log, const std::string& path)
{
    if (path.empty()) return;
    log.file = std::fopen(path.c_str(), "w");
    if (!log.file) {
        report(path + ": cannot write the clock log (" + std::strerror(errno) + "); playing without it");
        return;
    }
    // About 40 bytes a line: room for 173 s at over 500 frames per second before a flush.
    log.buffer.resize(4u << 20);
    std::setvbuf(log.file, log.buffer.data(), _IOFBF, log.buffer.size());
}

void logSwap(ClockLog& log, double swapSeconds, const FrameClock& clock)
{
    if (!log.file) return;
    std::fprintf(log.file, "%.6f %.6f %.6f %.6f\n", swapSeconds, static_cast<double>(clock.readTime),
                 static_cast<double>(clock.drawnTime), clock.readSeconds);
}

void closeClockLog(ClockLog& log)
{
    if (!log.file) return;
    if (std::fclose(log.file) != 0) report(std::string("the clock log is incomplete: ") + std::strerror(errno));
    log.file = nullptr;
}

bool readConfiguration(DemoHost& host)
{
    std::string problem;
    const std::string& path = host.files.configFile;
    // Installed, a user who never wrote a configuration gets the desktop as it is, without a
    // word: a first start from the menu is not a mistake.
    const bool quietFallback = host.files.installed && (path.empty() || !std::filesystem::exists(path));
    if (!quietFallback && readConfig(path, host.config, problem) == CONFIG_READ) return true;
    int width = 0, height = 0;
    if (!platformDesktopMode(width, height)) {
        report((quietFallback ? std::string("no configuration") : problem) +
               "; and no display to take the screen size from: " + platformLastError());
        return false;
    }
    host.config.width = width;
    host.config.height = height;
    host.config.swapInterval = 1;
    if (quietFallback) {
        if (host.options.screenMode == SCREEN_SWITCH_MODE) host.options.screenMode = SCREEN_DESKTOP;
        host.configGiven = false;
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

// The files, the configuration and the music, decoded before the display changes, so a
// broken pack stops with the desktop untouched.
bool findFiles(DemoHost& host)
{
    host.files = findRunFiles(packFileNames());
    if (!host.files.note.empty()) report(host.files.note);
    host.session.dataFolder = host.files.dataFolder;
    platformUseDisplay(host.options.display);
    if (!readConfiguration(host)) return false;
    LoadError error;
    if (!decodeMp3File(host.files.dataFolder + musicFile, host.music, error)) {
        report(formatLoadError(error));
        return false;
    }
    return true;
}

// The music's byte at seconds: round(seconds x 44100) frames of 4 bytes.
std::uint32_t musicByteAt(double seconds)
{
    return static_cast<std::uint32_t>(audioSampleOfTime(seconds)) * AUDIO_BYTES_PER_FRAME;
}

// The window and its context, the wait screen on it and the swap interval.
bool openWindow(DemoHost& host)
{
    // Counting the monitors starts the video system once more: only when one is asked for.
    const int displays = host.options.display > 0 ? platformDisplayCount() : 1;
    if (host.options.display >= displays)
        report("there is no monitor " + std::to_string(host.options.display) + " (there are " + std::to_string(displays) +
               "); playing on the last");
    // On the desktop's own mode the picture is drawn at the desktop's size; without a display
    // the window creation below says so.
    host.width = host.config.width;
    host.height = host.config.height;
    if (host.options.screenMode == SCREEN_DESKTOP) platformDesktopMode(host.width, host.height);
    std::string folderProblem;
    if (host.files.installed && !makeParentFolder(host.files.logFile, folderProblem)) {
        report(host.files.logFile + " cannot be created, starting without it: " + folderProblem);
        host.files.logFile.clear();
    }
    createRenderWindow(host.renderWindow, &host.windowHandle, &host.deviceContext, host.width, host.height, 32, 16,
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
    LoadError error;
    if (!showWaitScreen(host.session, error)) {
        report(formatLoadError(error));
        return false;
    }
    platformSwapBuffers(host.windowHandle);
    // A swap interval the user did not ask for is not worth a word when the driver has none.
    const int interval = host.config.swapInterval;
    if ((!host.renderWindow.wglSwapIntervalEXT || host.renderWindow.wglSwapIntervalEXT(interval) != 0) && host.configGiven)
        report("the driver offers no swap interval " + std::to_string(interval) + " (" + platformLastError() +
               "); frames are not paced");
    return true;
}

// Every scene and picture, behind the wait screen.
bool loadSession(DemoHost& host)
{
    LoadError error;
    if (!loadDemoSession(host.session, error, host.options.immediateDraw ? DRAW_PATH_IMMEDIATE : DRAW_PATH_FAST)) {
        if (!host.session.quit) report(formatLoadError(error));
        return false;
    }
    if (host.options.checkGl) enableGlCheck(host.session);
    return true;
}

// The output opened, a late start's history stepped (the frames before --from, so the first
// frame drawn is the one a run from 0 draws then), and the music started at --from. The
// output opens first: a server's stream then has a while to settle before the music starts.
void startMusic(DemoHost& host)
{
    std::string audioMessage;
    collectingStartup = false;
    host.musicStream = audioOpen(audioMessage, [](const std::string& text) { report(text); });
    if (!audioMessage.empty()) report(audioMessage);
    if (host.options.from > 0.0) restartDemoSession(host.session, host.options.from);
    std::printf("kesu: playing at %d x %d%s%s; Escape quits, Space pauses\n", host.width, host.height,
                host.options.screenMode == SCREEN_WINDOW ? " in a window" : "",
                audioIsSilent(host.musicStream) ? ", silent" : "");
    std::fflush(stdout);
    // Room for a thousand frames a second over the whole run, so the frame path never allocates.
    host.shownSeconds.reserve(static_cast<std::size_t>(demoLength * 1000.0f));
    openClockLog(host.clockLog, host.options.clockLogPath);
    host.prediction.enabled = host.options.predictFrames;
    restartPrediction(host.prediction);
    audioPlay(host.musicStream, &host.music, musicByteAt(host.options.from));
    host.startSeconds = playedSeconds(host);
}

void printRunReport(const DemoHost& host)
{
    const RunReport runReport =
        summarizeRun(host.shownSeconds, host.startSeconds, host.windowHandle ? platformRefreshRate(host.windowHandle) : 0);
    std::string passes;
    if (host.passes > 1) passes = "; the show started " + std::to_string(host.passes) + " times (looping)";
    std::printf("kesu: %s%s\n", describeRunReport(runReport).c_str(), passes.c_str());
    std::fflush(stdout);
}

// Starts the show again at t, music and picture together: the session restarted in place,
// the music restarted at t's byte with what is queued thrown away, the next frame drawn for
// t exactly; while paused the frame of t is shown at once. A time at or past the end ends the
// run, or starts the next pass when looping. False when the run ends.
bool seekTo(DemoHost& host, double t)
{
    if (t >= demoLength) {
        if (!host.looping) return false;
        t = 0.0;
        ++host.passes;
    }
    t = std::max(0.0, t);
    removeTimeBar(host.timeBar);
    const float start = restartDemoSession(host.session, t);
    audioRestart(host.musicStream, musicByteAt(t));
    restartPrediction(host.prediction, start);
    host.session.showWhilePaused = host.session.paused;
    flashTimeBar(host.timeBar, platformMonotonicSeconds());
    return true;
}

// The part whose start Page Up goes to: the one playing, or the one before when the part
// playing started less than a second ago.
int previousPart(double t)
{
    const int part = showPartAt(t);
    return part > 0 && t - showParts[part].start < 1.0 ? part - 1 : part;
}

// The picture of the frame shown, read now, written to a PNG on a thread of its own so that
// neither the music nor the next frames wait for the disk. Named after the show's time and
// the date: kesu-tamrick-1m23.45s-20261207-221530.png.
void takeScreenshot(DemoHost& host, double showSeconds)
{
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(host.width) * static_cast<std::size_t>(host.height) * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, host.width, host.height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    const std::time_t now = std::time(nullptr);
    char date[32];
    std::strftime(date, sizeof date, "%Y%m%d-%H%M%S", std::localtime(&now));
    const int minutes = static_cast<int>(showSeconds) / 60;
    char name[96];
    std::snprintf(name, sizeof name, "kesu-tamrick-%dm%05.2fs-%s.png", minutes, showSeconds - minutes * 60, date);
    const std::string folder = host.files.screenshotFolder;
    const int width = host.width, height = host.height;
    host.screenshotWriters.emplace_back([folder, name = std::string(name), pixels = std::move(pixels), width, height]() mutable {
        // The screen shows no alpha; the show leaves some of it below 255, which would make
        // the file see-through.
        for (std::size_t i = 3; i < pixels.size(); i += 4) pixels[i] = 255;
        std::string problem;
        std::string path = folder + name;
        if (!makeParentFolder(path, problem) ||
            !writePng(path, pixels.data(), width, height, true, problem)) {
            report("the screenshot could not be saved: " + (problem.empty() ? path : problem));
            return;
        }
        report("screenshot saved: " + path);
    });
}

// Finishes a frame as it is seen: the screenshot asked for read before the time bar is
// drawn over the picture, the swap, and the bar taken out of the back buffer again.
void presentFrame(DemoHost& host, double showSeconds)
{
    if (host.screenshotAsked) {
        host.screenshotAsked = false;
        takeScreenshot(host, showSeconds);
    }
    if (timeBarVisible(host.timeBar, platformMonotonicSeconds())) {
        host.timeBar.looping = host.looping;
        drawTimeBar(host.timeBar, showSeconds, host.width, host.height);
    }
    presentShow(host.surface, host.windowHandle);
    removeTimeBar(host.timeBar);
}

// The keys a video player has; false ends the run (a seek past the end).
bool takeKey(DemoHost& host, const PlatformEvent& event)
{
    const double now = audioPosition(host.musicStream) / static_cast<double>(AUDIO_BYTES_PER_SECOND);
    switch (event.keyCode) {
    case PLATFORM_KEY_LEFT: return seekTo(host, now - 5.0);
    case PLATFORM_KEY_RIGHT: return seekTo(host, now + 5.0);
    case PLATFORM_KEY_DOWN: return seekTo(host, now - 30.0);
    case PLATFORM_KEY_UP: return seekTo(host, now + 30.0);
    case PLATFORM_KEY_HOME: return seekTo(host, 0.0);
    case PLATFORM_KEY_PAGE_UP: return seekTo(host, showParts[previousPart(now)].start);
    case PLATFORM_KEY_PAGE_DOWN: {
        const int next = showPartAt(now) + 1;
        return seekTo(host, next < showPartCount ? showParts[next].start : demoLength);
    }
    case 's':
    case PLATFORM_KEY_F12:
        if (!event.repeat) {
            host.screenshotAsked = true;
            // Paused, the picture in the back buffer is the one shown.
            if (host.session.paused) presentFrame(host, host.session.demoTime);
        }
        return true;
    case 'f':
    case PLATFORM_KEY_F11:
    case PLATFORM_KEY_RETURN:
        if (event.repeat || (event.keyCode == PLATFORM_KEY_RETURN && !(event.modifiers & PLATFORM_MOD_ALT))) return true;
        if (!toggleFullScreen(host.surface, host.windowHandle, host.width, host.height))
            report("the window cannot switch between window and full screen: " + platformLastError());
        // Paused, the picture is shown again in its new place.
        if (host.session.paused) presentFrame(host, host.session.demoTime);
        return true;
    case 'l':
        if (!event.repeat) {
            host.looping = !host.looping;
            flashTimeBar(host.timeBar, platformMonotonicSeconds());
        }
        return true;
    case 'o':
        if (!event.repeat) host.timeBar.alwaysOn = !host.timeBar.alwaysOn;
        return true;
    default: return true;
    }
}

void runMainLoop(DemoHost& host)
{
    DemoDriver driver;
    driver.pollEvent = platformPollEvent;
    driver.waitEvent = [](PlatformEvent& event) { return platformWaitEvent(event, 50); };
    driver.readClock = [&host](FrameClock& clock) {
        clock.readSeconds = platformMonotonicSeconds();
        clock.readTime = static_cast<float>(audioPosition(host.musicStream) / static_cast<double>(AUDIO_BYTES_PER_SECOND));
        return true;
    };
    driver.drawTime = [&host](const FrameClock& clock) { return predictFrameTime(host.prediction, clock.readTime, demoLength); };
    driver.finishFrame = [&host](const FrameClock& clock) {
        presentFrame(host, clock.drawnTime);
        const double shown = platformMonotonicSeconds();
        frameShown(host.prediction, clock.readSeconds, shown);
        if (host.shownSeconds.size() < host.shownSeconds.capacity()) host.shownSeconds.push_back(playedSeconds(host));
        logSwap(host.clockLog, shown, clock);
        if (host.session.glCheck.error && !host.glErrorReported) {
            host.glErrorReported = true;
            report(describeGlError(host.session.glCheck));
        }
        return true;
    };
    driver.stopMusic = [&host] { releaseAudio(host); };
    driver.pauseMusic = [&host](bool paused) {
        audioPause(host.musicStream, paused);
        if (!paused) restartPrediction(host.prediction);
        flashTimeBar(host.timeBar, platformMonotonicSeconds());
        if (paused) presentFrame(host, host.session.demoTime);
    };
    driver.keyPressed = [&host](const PlatformEvent& event) { return takeKey(host, event); };
    // Switched to or from the full screen while paused, the window takes its new size later.
    driver.showAgain = [&host] { presentFrame(host, host.session.demoTime); };
    driver.musicEnded = [&host] { return host.looping && seekTo(host, demoLength); };
    // Paused, the player draws only to show or hide the time bar over the picture shown.
    bool barShown = false;
    driver.idle = [&host, &barShown] {
        const bool visible = timeBarVisible(host.timeBar, platformMonotonicSeconds());
        if (visible != barShown) presentFrame(host, host.session.demoTime);
        barShown = visible;
    };
    host.looping = host.options.loop;
    runDemoLoop(host.session, driver);
    for (std::thread& writer : host.screenshotWriters) writer.join();
    printRunReport(host);
    // On a close request the loop leaves the music playing; the device is still closed
    // below, before the decoded music it reads from is freed.
}

} // namespace

int runDemo(int argc, const char* const* argv)
{
    platformCatchQuitSignals();
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
    readPlayerEnvironment(host.options);
    host.session.quitRequested = platformQuitSignalled;
    const bool started = findFiles(host) && !platformQuitSignalled() && openWindow(host) && loadSession(host);
    // A quit requested while loading ends the run as one requested later does.
    const bool quitEarly = !started && platformQuitSignalled();
    if (started) {
        startMusic(host);
        runMainLoop(host);
    } else if (quitEarly) {
        printRunReport(host);
    }
    closeClockLog(host.clockLog);
    destroyRenderWindow(host.renderWindow, &host.windowHandle, &host.deviceContext);
    closeAudio(host);
    // With the window gone, so that a full-screen one cannot hide the message.
    if (!started && !quitEarly) platformReportStartupFailure(startupMessages);
    return started || quitEarly ? 0 : 1;
}
