// The player's time bar: the time as "1:23.4 / 2:53", the part's name and a bar with the
// parts marked, over the bottom of the picture, in the project's own bitmap font. The show
// builds frames on the picture left in the back buffer, so the bar never stays there: the
// pixels under it are kept before it is drawn and put back after the swap. Needs a current
// GL context; leaves the GL state as it found it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TimeBar {
    double shownUntil = 0.0;   // monotonic seconds; the bar shows while now is before this
    bool alwaysOn = false;
    // The pixels the bar covers, kept while it is drawn.
    std::vector<std::uint8_t> under;
    int x = 0, y = 0, width = 0, height = 0;
    bool covering = false;   // the back buffer holds the bar over the kept pixels
};

// "1:23.4 / 2:53".
std::string timeBarText(double seconds, double length);

// Shows the bar for 1.5 s from now.
void flashTimeBar(TimeBar& bar, double now);
bool timeBarVisible(const TimeBar& bar, double now);

// Keeps the pixels under the bar and draws it over the picture of pictureWidth x
// pictureHeight, for the show at time t; "LOOP" on it while the show loops.
void drawTimeBar(TimeBar& bar, double t, bool looping, int pictureWidth, int pictureHeight);
// Puts the kept pixels back; does nothing when the bar is not in the back buffer.
void removeTimeBar(TimeBar& bar);
