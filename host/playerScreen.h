// What the player puts on the screen: the window, the show's surface, and each frame as it
// goes out, with a screenshot taken first when one was asked for and the time bar drawn over
// it and taken out again after the swap, so the picture the show builds on never holds it.
// Needs the window's GL context current.
#pragma once

#include "host/showSurface.h"

#include <string>

struct PlatformWindow;
struct TimeBar;

struct PlayerScreen {
    PlatformWindow* window = nullptr;
    int width = 0, height = 0;      // the size the show is drawn at
    ShowSurface surface;
    std::string screenshotFolder;   // ends with the separator
    bool screenshotAsked = false;   // taken from the next frame that goes out
    bool barOnScreen = false;       // the frame shown last went out with the time bar
};

// The frame drawn for showSeconds goes out, the bar over it while it is visible.
void presentFrame(PlayerScreen& screen, TimeBar& bar, double showSeconds);

// While paused: the picture shown again when the bar has come, gone or changed since it went out.
void presentBarChange(PlayerScreen& screen, TimeBar& bar, double showSeconds);

// Where a point of the window's drawable (pixels from its upper left) falls on the show's
// picture, in the picture's pixels from its lower left; false outside the picture.
bool pictureAt(const PlayerScreen& screen, double drawableX, double drawableY, double& pictureX, double& pictureY);

// Between the window and the full screen; false (and said) when the window system refuses.
void switchFullScreen(PlayerScreen& screen);
