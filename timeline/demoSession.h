// One run of the demo around the frame composer, shared by the player, the capture tool and
// the bench: the wait screen, asset loading in steps and the run's GL state, the GL check,
// and the run's step, which handles the pending events and draws at most one frame each time
// it is called. The step is handed its clock, its event source and what finishes a frame (a
// swap, a readback), so every program runs the same start-up, frame step and end time, whether
// its own loop calls it or the platform's. Needs a current GL context; one session per
// process, since the timeline's scenes and the effects' state are the process's own.
#pragma once

#include "platform/display/window.h"
#include "render/drawPath.h"
#include "timeline/captureClock.h"
#include "timeline/demoTimeline.h"
#include "timeline/showHistory.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct LoadError;
struct RenderWindow;

// The first GL error met after a draw, with what was drawn and the clock of that frame.
struct GlCheckResult {
    unsigned error = 0;          // GL_NO_ERROR until an error is met
    std::string drawName;
    float demoTime = 0.0f;
};

enum DemoRunEnd {
    DEMO_RUN_ESCAPE,       // Escape was down after a frame
    DEMO_RUN_CLOSED,       // a close request (the music is left to the caller)
    DEMO_RUN_MUSIC_END,    // a frame at demoLength or later was drawn
    DEMO_RUN_CLOCK_END,    // the clock had no frame left
    DEMO_RUN_FAILED        // finishFrame failed
};

struct DemoSession {
    RenderWindow* renderWindow = nullptr;
    std::string dataFolder = "data/";   // the pack's folder, ending with the separator
    float demoTime = 0.0f;       // clock of the current frame, seconds of music
    float previousTime = 0.0f;   // clock of the frame before; 0.0 for the first frame
    std::int64_t framesComposed = 0;
    std::uint8_t keyDown[256] = {};   // 1 while the key with that code (below 256) is down
    bool paused = false;              // no frame is composed; the driver's keys set it
    bool showWhilePaused = false;     // one frame is composed and finished while paused (after a seek)
    DemoRunEnd runEnd = DEMO_RUN_CLOCK_END;   // how the run ended, once its step said so
    bool checkGl = false;             // set by enableGlCheck
    GlCheckResult glCheck;
    // Asked between the parts of long steps (loading, a late start's history); true ends them
    // early, with quit set.
    std::function<bool()> quitRequested;
    bool quit = false;
    DrawPath drawPath = DRAW_PATH_FAST;   // what the loading records the meshes for
    DemoLoad load;
    bool loaded = false;   // every step of the loading taken and the run's GL state set
    // The wait screen's picture, kept for the opening to build on again after a restart, and
    // the snapshots restarts start from.
    unsigned waitScreenTexture = 0;
    ShowHistory history;
};

// Loads "w8scr.jpg" from the data folder, clears the colour buffer and draws the picture as a band in the
// lower left. The caller presents it; it stays on screen until the first frame is swapped.
bool showWaitScreen(DemoSession& session, LoadError& error);

// The next step of the loading (demoTimeline.h) on the session's draw path; after
// the last, the GL state the run relies on is set and session.loaded. The wait screen shows
// meanwhile. False, with the error, when a file fails.
bool loadDemoSessionStep(DemoSession& session, LoadError& error);
// Every step on the given draw path: loads every scene and texture, hands each effect its
// part, and sets the GL state the run relies on. False, with the error, when a file fails;
// false with session.quit set when a quit was requested before a step.
bool loadDemoSession(DemoSession& session, LoadError& error, DrawPath path = DRAW_PATH_FAST);

// From now on glGetError is read after the closing sequence and after each effect draw; the
// first error is kept in session.glCheck, later ones are ignored.
void enableGlCheck(DemoSession& session);
// Reads glGetError once, as after a draw named drawName at the session's clock.
void checkGlNow(DemoSession& session, const char* drawName);
// "GL error 0x0500 after drawBlobOrbit at 57.000 s".
std::string describeGlError(const GlCheckResult& check);

// What a frame does. FRAME_DRAW composes it into the back buffer; FRAME_STEP advances only
// what it carries into the next (showHistory.h) and makes no GL call, for frames that are
// not shown, such as those before a late start.
enum FrameWork {
    FRAME_DRAW,
    FRAME_STEP,
};

// One frame at demoTime: previousTime takes the clock of the frame before, then the frame is
// drawn or stepped.
void stepDemoFrame(DemoSession& session, float demoTime, FrameWork work = FRAME_DRAW);

// Which frames of a run must be drawn so that every frame it shows is the frame a run that
// draws them all shows, and which need only their history stepped. times are the run's clocks
// in order from its first frame, shown marks the frames it shows (same length). Drawn are the
// shown frames; before each, the frames its picture builds on (back through the windows that
// keep the picture of the frame before, to the last frame that clears or covers it); and the
// last frame before it of every window that drew, since the GL state a window's draws leave
// behind (a depth function, a clear colour) lasts until that window draws again. Needs no GL.
std::vector<bool> planDrawnFrames(const std::vector<float>& times, const std::vector<bool>& shown);
// The same for the steps of the capture clock, whose steps with an output index are shown.
std::vector<bool> planDrawnSteps(const std::vector<ClockStep>& steps);

// Starts the loaded session again at startTime, in place, as the player does at a late start,
// a seek and a loop: nothing is read again. The show's history is put back from the nearest
// snapshot at or before startTime's frame on the 60 fps grid a capture steps (taking the
// snapshots on the way where no restart has been before) and stepped on that grid to
// startTime, so the particles and the beat are those of a run from 0. Of the frames a
// capture starting there draws (planDrawnFrames), those that set the GL state earlier
// windows leave are drawn; of those the picture at startTime builds on, in the windows that
// keep their picture, only the last keptFramesDrawn, over the wait screen in the opening: the
// rest of that picture may differ until the show covers it. Nothing is swapped. Returns the
// clock of the start frame, which the caller composes next. A quit requested meanwhile stops
// it with session.quit set.
constexpr int keptFramesDrawn = 12;
float restartDemoSession(DemoSession& session, double startTime);

// One frame's clock: the position read at its start, and the time it is drawn for.
struct FrameClock {
    float readTime = 0.0f;     // seconds of music
    double readSeconds = 0.0;  // monotonic seconds when it was read; 0 for a clock not in real time
    float drawnTime = 0.0f;    // seconds of music
};

// What a run is driven by. Null members do nothing (pollEvent: no event ever pending).
struct DemoDriver {
    // Takes one pending event; false when none is pending.
    std::function<bool(PlatformEvent& event)> pollEvent;
    // For runDemoLoop, between steps while paused: waits a while for an event to come,
    // without taking it.
    std::function<void()> waitForEvent;
    // Reads the clock of the next frame (readTime, readSeconds); false when the clock has no
    // frame left (a capture's span is done).
    std::function<bool(FrameClock& clock)> readClock;
    // The time the frame read at that clock is drawn for (the player draws for when the frame
    // will be seen). Null: the clock read.
    std::function<float(const FrameClock& clock)> drawTime;
    // Asked after each clock read: false for a frame that is only stepped (FRAME_STEP), which
    // is then neither finished nor checked for the end of the run. Null: every frame is drawn.
    std::function<bool()> drawsFrame;
    // Shows the composed frame (the swap; a capture reads it back first); false stops the
    // run as failed.
    std::function<bool(const FrameClock& clock)> finishFrame;
    // Releases the music, on the Escape and end-of-music paths only, after the last swap.
    std::function<void()> stopMusic;
    // Every key pressed but Escape (auto-repeats included), taken as it comes, paused or not;
    // false ends the run as Escape does (a seek past the end of the music).
    std::function<bool(const PlatformEvent& event)> keyPressed;
    // Every mouse move, press and release over the window, and every control's command, paused
    // or not; false ends the run as a key's does.
    std::function<bool(const PlatformEvent& event)> input;
    // The clock read has reached demoLength and that frame is finished: true goes on (the
    // show starts again), false or null ends the run.
    std::function<bool()> musicEnded;
    // While paused, once a step.
    std::function<void()> idle;
    // While paused, when the window was uncovered or resized: the picture shown again.
    std::function<void()> showAgain;
    // The run was not stepped for a while as the music went on (a page in a background tab):
    // the show is brought to the music's moment, as a seek brings it.
    std::function<void()> resumed;
};

// One step of the run: every pending event is handled, then the clock is read and the frame
// for the time to draw it for is composed and finished; while paused no frame is composed or
// finished (but the one showWhilePaused asks for), so the last frame stays on screen and
// nothing advances, and the idle work has its turn instead. Never waits. A close request
// ends the run at once; Escape held down and the clock read reaching demoLength end it after
// that frame is finished, and Escape while paused at once; then the music is stopped. The
// window uncovered or resized while paused has its picture shown again. Other keys go to
// keyPressed. False once the run has ended, with session.runEnd saying how; not called again
// after that.
bool stepDemoRun(DemoSession& session, const DemoDriver& driver);

// The main loop: steps the run until it ends, waiting for an event between steps while
// paused, and says how it ended.
DemoRunEnd runDemoLoop(DemoSession& session, const DemoDriver& driver);
