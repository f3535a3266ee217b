// The capture tool's run: the demo session's loop driven by a planned clock sequence on an
// offscreen context, with a progress line on stderr. Every capture mode and the bench run
// through here.
#pragma once

#include "timeline/captureClock.h"

#include <functional>
#include <vector>

struct DemoSession;
struct PlatformOffscreen;

// Hooks around each planned frame; null members do nothing.
struct CaptureHooks {
    // Before the frame is composed (the bench starts its timer here).
    std::function<void(const ClockStep& step)> beforeFrame;
    // After a frame with an output index is composed, before the swap, while its pixels are
    // still in the back buffer; false stops the run as failed.
    std::function<bool(const ClockStep& step)> onOutput;
};

// Takes every step in order through the session's loop. Steps with an output index are drawn
// and so are the steps their pictures and GL state depend on (planDrawnFrames); the others
// only step the history, unless drawEveryFrame is set. Swaps after each drawn step. Stops
// with a message at the first GL error when the session checks GL. False when a hook or the
// GL check failed.
bool runCaptureSteps(DemoSession& session, const std::vector<ClockStep>& steps, PlatformOffscreen& offscreen,
                     const CaptureHooks& hooks, bool drawEveryFrame);
