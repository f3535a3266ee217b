#include "host/demoHost.h"

#include "host/playerControls.h"
#include "host/playerKeys.h"
#include "host/playerMessages.h"
#include "platform/display/frameLoop.h"
#include "platform/display/window.h"
#include "platform/files/loadError.h"
#include "platform/files/packArrival.h"
#include "platform/files/pictureSaver.h"
#include "platform/sound/audio.h"
#include "platform/system/console.h"
#include "platform/system/monotonicClock.h"
#include "platform/system/quitSignal.h"
#include "timeline/demoSchedule.h"
#include "timeline/demoTimeline.h"

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

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
        playerSay((quietFallback ? std::string("no configuration") : problem) +
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
    playerSay(problem + "; using the desktop's " + std::to_string(width) + " x " + std::to_string(height) +
              " and swap interval 1");
    return true;
}

// The music, decoded; a file that fails is said, and ends the run.
bool decodeMusic(DemoHost& host)
{
    LoadError error;
    if (!decodePlayerMusic(host.clock, host.files.dataFolder + musicFile, error)) {
        playerSay(formatLoadError(error));
        return false;
    }
    host.musicDecoded = true;
    return true;
}

// The files, the configuration and the music, decoded before the display changes, so a
// broken pack stops with the desktop untouched. Where the files arrive while the program runs,
// the music, the largest of them, is decoded once it is in, after the opening is loaded.
bool findFiles(DemoHost& host)
{
    host.files = findRunFiles(packFileNames());
    if (!host.files.note.empty()) playerSay(host.files.note);
    host.session.dataFolder = host.files.dataFolder;
    host.screen.screenshotFolder = host.files.screenshotFolder;
    platformUseDisplay(host.options.display);
    if (!readConfiguration(host)) return false;
    return platformFilesArriveLate() || decodeMusic(host);
}

// The window and its context, the wait screen on it and the swap interval.
bool openWindow(DemoHost& host)
{
    // Counting the monitors starts the video system once more: only when one is asked for.
    const int displays = host.options.display > 0 ? platformDisplayCount() : 1;
    if (host.options.display >= displays)
        playerSay("there is no monitor " + std::to_string(host.options.display) + " (there are " +
                  std::to_string(displays) + "); playing on the last");
    // On the desktop's own mode the picture is drawn at the desktop's size; without a display
    // the window creation below says so.
    PlayerScreen& screen = host.screen;
    screen.width = host.config.width;
    screen.height = host.config.height;
    if (host.options.screenMode == SCREEN_DESKTOP) platformDesktopMode(screen.width, screen.height);
    std::string folderProblem;
    if (host.files.installed && !makeParentFolder(host.files.logFile, folderProblem)) {
        playerSay(host.files.logFile + " cannot be created, starting without it: " + folderProblem);
        host.files.logFile.clear();
    }
    createRenderWindow(host.renderWindow, &screen.window, &host.deviceContext, screen.width, screen.height, 32, 16,
                       host.options.screenMode, host.files.logFile);
    if (!host.renderWindow.renderingContext) {
        // The first failed step is already on stderr; the later ones follow from it.
        playerSay("no OpenGL window could be created" +
                  (host.files.logFile.empty() ? std::string() : " (" + host.files.logFile + " lists the steps)") +
                  "; run kesu in a desktop session (X11 or Wayland), or make a video without a display with "
                  "kesu-capture");
        return false;
    }
    host.session.renderWindow = &host.renderWindow;
    // Where the window does not keep its picture from one frame to the next, the show keeps it
    // off screen from the start.
    if (!platformKeepsPicture()) drawShowOffscreen(screen.surface, screen.width, screen.height);
    LoadError error;
    if (!showWaitScreen(host.session, error)) {
        playerSay(formatLoadError(error));
        return false;
    }
    presentShow(screen.surface, screen.window);
    // A swap interval the user did not ask for is not worth a word when the driver has none.
    const int interval = host.config.swapInterval;
    if ((!host.renderWindow.wglSwapIntervalEXT || host.renderWindow.wglSwapIntervalEXT(interval) != 0) && host.configGiven)
        playerSay("the driver offers no swap interval " + std::to_string(interval) + " (" + platformLastError() +
                  "); frames are not paced");
    host.session.drawPath = host.options.immediateDraw ? DRAW_PATH_IMMEDIATE : DRAW_PATH_FAST;
    return true;
}

// One step of the loading; a failure is said, and ends the run.
bool loadStep(DemoHost& host)
{
    LoadError error;
    if (!loadDemoSessionStep(host.session, error)) {
        host.loadFailure = formatLoadError(error);
        playerSay(host.loadFailure);
        return false;
    }
    if (host.options.checkGl && !host.session.checkGl && demoLoadStagedFrom(host.session.load) >= 0.0f)
        enableGlCheck(host.session);
    return true;
}

// Loading steps for as long as the budget allows, at least one, each once its stage's files
// are in place; false when one failed.
bool loadFor(DemoHost& host, double budgetSeconds)
{
    const double began = platformMonotonicSeconds();
    do {
        if (host.session.load.stage >= platformStagesArrived()) return true;
        if (!loadStep(host)) return false;
    } while (!host.session.loaded && platformMonotonicSeconds() - began < budgetSeconds);
    return true;
}

// Behind the wait screen the loading goes on until the show can start: everything, unless
// the files arrive while it plays; then what the part it starts in needs (a bench needs
// everything).
bool readyToStart(const DemoHost& host)
{
    const DemoSession& session = host.session;
    if (session.loaded) return true;
    if (!platformFilesArriveLate() || host.options.bench) return false;
    return demoLoadStagedFrom(session.load) >= 0.0f && host.options.from + 0.5 < demoLoadedUntil(session.load);
}

// Where the files arrive while the show plays, its loading goes on between frames, once each
// frame went out, within a few milliseconds each (a step at least; bench/loadSteps times them,
// the longest some 5 ms natively), and with more room while the show is held for it.
constexpr double loadBudgetPlaying = 0.004;
constexpr double loadBudgetHeld = 0.030;

// The show's hooks into the player.
void wireShow(DemoHost& host)
{
    DemoDriver& driver = host.driver;
    DemoSession& session = host.session;
    PlayerScreen& screen = host.screen;
    TimeBar& bar = host.steering.bar;
    driver.pollEvent = platformPollEvent;
    driver.readClock = [&host](FrameClock& clock) {
        readPlayerClock(host.clock, clock);
        return true;
    };
    driver.drawTime = [&host](const FrameClock& clock) { return playerDrawTime(host.clock, clock); };
    driver.finishFrame = [&host, &screen, &bar](const FrameClock& clock) {
        presentFrame(screen, bar, clock.drawnTime);
        playerFrameShown(host.clock, clock);
        if (host.session.glCheck.error && !host.glErrorReported) {
            host.glErrorReported = true;
            playerSay(describeGlError(host.session.glCheck));
        }
        return true;
    };
    driver.stopMusic = [&host] { stopPlayerClock(host.clock); };
    driver.keyPressed = [&host](const PlatformEvent& event) { return takePlayerKey(host.player(), event); };
    driver.input = [&host](const PlatformEvent& event) {
        if (event.kind == PLATFORM_EVENT_COMMAND) return takePlayerCommand(host.player(), event);
        return takePointerEvent(host.player(), host.pointer, event, event.time > 0.0 ? event.time : platformMonotonicSeconds());
    };
    // Switched to or from the full screen while paused, the window takes its new size later.
    driver.showAgain = [&session, &screen, &bar] { presentFrame(screen, bar, session.demoTime); };
    driver.musicEnded = [&host] { return startNextPass(host.player()); };
    driver.resumed = [&host] { catchUpWithMusic(host.player()); };
    // Paused, the player draws only to show or hide the time bar over the picture shown.
    driver.idle = [&session, &screen, &bar] { presentBarChange(screen, bar, session.demoTime); };
}

// The output opened, a late start's history stepped (the frames before --from, so the first
// frame drawn is the one a run from 0 draws then), and the music started at --from. The
// output opens first: a server's stream then has a while to settle before the music starts.
void startMusic(DemoHost& host)
{
    stopKeepingMessages();
    openPlayerClock(host.clock, host.options.predictFrames, host.options.clockLogPath);
    if (host.options.from > 0.0) restartDemoSession(host.session, host.options.from);
    std::printf("kesu: playing at %d x %d%s%s; Escape quits, Space pauses\n", host.screen.width, host.screen.height,
                host.options.screenMode == SCREEN_WINDOW ? " in a window" : "",
                playerClockSilent(host.clock) ? ", silent" : "");
    std::fflush(stdout);
    wireShow(host);
    host.steering.looping = host.steering.bar.looping = host.options.loop;
    host.steering.volume = host.options.volume;
    applyPlayerVolume(host.player());
    startPlayerClock(host.clock, host.options.from);
    host.showStarted = true;
    // Paused from the start: the first frame is shown and the show waits for Space.
    if (host.options.paused) {
        takePlayerAction(host.player(), {ACTION_PAUSE});
        host.session.showWhilePaused = true;
    }
}

// A step of the start-up that went well moves the run on; one that failed, having said why,
// ends it.
bool startupStep(DemoHost& host, bool done, PlayerPhase next)
{
    host.phase = done ? next : PLAYER_OVER;
    return done;
}

} // namespace

bool beginPlayer(DemoHost& host, int argc, const char* const* argv, int& status)
{
    platformCatchQuitSignals();
    std::string problem;
    status = 0;
    if (!parsePlayerOptions(argc, argv, host.options, problem)) {
        playerSay(problem);
        std::fputs(playerUsage().c_str(), stderr);
        status = 2;
        return false;
    }
    if (host.options.help) {
        std::fputs(playerUsage().c_str(), stdout);
        return false;
    }
    if (host.options.version) {
        std::printf("kesu %s\n", KESU_VERSION);
        return false;
    }
    readPlayerEnvironment(host.options);
    host.session.quitRequested = platformQuitSignalled;
    return true;
}

bool stepPlayer(DemoHost& host)
{
    if (host.phase < PLAYER_SHOW && platformQuitSignalled()) host.phase = PLAYER_OVER;
    switch (host.phase) {
    case PLAYER_FILES:
        if (!platformPackFileArrived(waitScreenFile)) return true;
        return startupStep(host, findFiles(host), PLAYER_WINDOW);
    case PLAYER_WINDOW: return startupStep(host, openWindow(host), PLAYER_LOADING);
    case PLAYER_LOADING: {
        const bool loaded = loadFor(host, loadBudgetHeld);
        return startupStep(host, loaded, readyToStart(host) ? PLAYER_MUSIC : PLAYER_LOADING);
    }
    case PLAYER_MUSIC:
        if (!host.musicDecoded) {
            if (!platformPackFileArrived(musicFile)) return true;
            if (!decodeMusic(host)) return startupStep(host, false, PLAYER_OVER);
        }
        if (host.options.bench) {
            stopKeepingMessages();
            startPlayerBench(host.bench, host.session, host.options.from);
            host.benchStarted = true;
            return startupStep(host, true, PLAYER_BENCH);
        }
        // A browser lets the music start only after the page had a click or a key.
        if (!audioMayStart()) return true;
        startMusic(host);
        return startupStep(host, true, PLAYER_SHOW);
    case PLAYER_SHOW:
        if (!host.loadFailure.empty()) {
            stopPlayerClock(host.clock);
            host.phase = PLAYER_OVER;
            return false;
        }
        holdForFiles(host.player());
        // The pointer's waits end after the step's events are taken: a second click already
        // queued makes a double-click, however late the program takes it.
        if (stepDemoRun(host.session, host.driver)) {
            stepPointer(host.player(), host.pointer, platformMonotonicSeconds());
            publishPlayerState(host.player());
            return true;
        }
        host.phase = PLAYER_OVER;
        return false;
    case PLAYER_BENCH:
        if (stepPlayerBench(host.bench, host.session, host.screen)) return true;
        host.phase = PLAYER_OVER;
        return false;
    case PLAYER_OVER: break;
    }
    return false;
}

void loadBetweenFrames(DemoHost& host)
{
    if (host.phase == PLAYER_SHOW && !host.session.loaded && host.loadFailure.empty())
        loadFor(host, host.steering.hold.active ? loadBudgetHeld : loadBudgetPlaying);
}

bool playerWaiting(const DemoHost& host)
{
    return host.phase == PLAYER_SHOW && host.session.paused && !host.session.showWhilePaused;
}

int endPlayer(DemoHost& host)
{
    // A quit requested during the start-up ends the run as one requested later does.
    const bool started = host.showStarted || host.benchStarted;
    const bool quitEarly = !started && platformQuitSignalled();
    finishSavingPictures();
    if (host.showStarted || quitEarly)
        printPlayerReport(host.clock, host.screen.window ? platformRefreshRate(host.screen.window) : 0, host.steering.passes);
    // On a close request the show leaves the music playing; the output is closed below,
    // before the decoded music it reads from is freed.
    destroyRenderWindow(host.renderWindow, &host.screen.window, &host.deviceContext);
    closePlayerClock(host.clock);
    // With the window gone, so that a full-screen one cannot hide the message. A file that
    // failed while the show played ends it as one failing before the start does.
    if (!started && !quitEarly) platformReportStartupFailure(startupMessages());
    if (started && !host.loadFailure.empty()) platformReportStartupFailure(host.loadFailure + "\n");
    return (started || quitEarly) && host.loadFailure.empty() ? 0 : 1;
}

int runDemo(int argc, const char* const* argv)
{
    // The run outlives this call where the platform's own loop calls its steps.
    DemoHost* host = new DemoHost;
    int status = 0;
    if (!beginPlayer(*host, argc, argv, status)) {
        delete host;
        // A usage error where nobody reads stderr (a page, a program started without a console)
        // is said where it is seen.
        if (status != 0) platformReportStartupFailure(startupMessages());
        return status;
    }
    FrameLoop loop;
    loop.step = [](void* run) { return stepPlayer(*static_cast<DemoHost*>(run)); };
    loop.waiting = [](void* run) { return playerWaiting(*static_cast<DemoHost*>(run)); };
    loop.between = [](void* run) { loadBetweenFrames(*static_cast<DemoHost*>(run)); };
    loop.finish = [](void* run) {
        const int exitStatus = endPlayer(*static_cast<DemoHost*>(run));
        delete static_cast<DemoHost*>(run);
        return exitStatus;
    };
    loop.run = host;
    return platformRunFrames(loop);
}
