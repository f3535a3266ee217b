// The capture tool's bench: every frame of the span timed from composition through
// glFinish and grouped by the effects that draw it (the schedule's windows where they
// overlap), then reading a frame back, PNG and H.264 encoding (at each --quality, with the
// size a whole demo would take) measured apart.
#pragma once

struct CaptureOptions;
struct DemoSession;
struct PlatformOffscreen;

// Prints the table on stdout; contextMs and loadMs are the start-up's two parts.
bool benchRun(const CaptureOptions& options, DemoSession& session, PlatformOffscreen& offscreen, double contextMs,
              double loadMs);
