// The player's bench (--bench): instead of playing, every frame of the 60 fps grid from
// --from to the end is drawn back to back in the player's own window and timed, from the
// frame's composition until the GL has finished it, grouped by the effects drawing; then the
// capture tool's bench table. A display's frame rate caps a played run, so a run cannot
// measure what a frame costs; this can, on the player's own GL (a browser's WebGL included).
// The frames go out a batch at a time, so a window system or a page is answered between.
#pragma once

#include "timeline/frameTimings.h"

#include <cstdint>
#include <vector>

struct DemoSession;
struct PlayerScreen;

struct PlayerBench {
    std::int64_t nextFrame = 0;   // on the 60 fps grid
    std::int64_t endFrame = 0;    // the first grid frame at or past the end of the music
    std::int64_t firstFrame = 0;
    std::vector<TimingWindow> windows;
    std::vector<double> all;
};

// From the frame at `from` on; the session's history stepped to it.
void startPlayerBench(PlayerBench& bench, DemoSession& session, double from);
// Draws and times frames for about a tenth of a second and shows the last one. False once
// every frame is timed, the table printed; or when Escape or a close request ended it early.
bool stepPlayerBench(PlayerBench& bench, DemoSession& session, PlayerScreen& screen);
