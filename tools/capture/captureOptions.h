// The capture tool's command line: which frames to compose and where they go. Parsing only;
// every refusal is printed as "kesu-capture: ..." before anything is opened.
#pragma once

#include "timeline/captureClock.h"
#include "tools/capture/videoEncoder.h"
#include "timeline/demoSchedule.h"

#include <cstdio>
#include <string>
#include <vector>

// What the run produces: nothing but the GL check over the whole demo, PNGs of picked times,
// a PNG sequence, an MP4, a contact sheet, or frame timings.
enum CaptureMode { CAPTURE_CHECK, CAPTURE_PICKS, CAPTURE_SEQUENCE, CAPTURE_VIDEO, CAPTURE_SHEET, CAPTURE_BENCH, CAPTURE_SOUND };

struct CaptureOptions {
    CaptureMode mode = CAPTURE_CHECK;
    int width = 1280;
    int height = 720;
    bool sizeGiven = false;
    FrameRate rate;
    double from = 0.0;
    double to = demoLength;
    bool spanGiven = false;
    std::vector<double> times;
    std::string out;
    std::string sheetPath;
    int count = 12;
    bool countGiven = false;
    bool bench = false;
    bool checkGl = false;
    bool immediateDraw = false;   // KESU_IMMEDIATE: the immediate draw path
    // Draw the frames before the span that the span's pictures do not depend on, instead of
    // only stepping them: slower, and the picture to compare a late start against.
    bool drawEveryFrame = false;
    VideoQuality quality = VIDEO_NORMAL;
    bool qualityGiven = false;
    bool help = false;       // --help: print the usage on stdout and stop
    bool version = false;    // --version: print the name and version and stop
};

// Reads the arguments and the environment's switches; false, with the problem printed, on a
// usage error (exit status 2).
bool parseCaptureOptions(int argc, char** argv, CaptureOptions& options);

void printCaptureUsage(std::FILE* stream);

// Prints "kesu-capture: message" on stderr; returns false so callers can `return captureFail(...)`.
bool captureFail(const std::string& message);

// True when text ends with tail, ignoring the case of text (tail is lower case).
bool endsWithLower(const std::string& text, const std::string& tail);
