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
    bool looping = false;      // "LOOP" on the bar
    double pointedTime = -1.0; // >= 0: the time under the pointer dragging along the bar, shown instead
    int volume = -1;           // >= 0: the level in percent, shown while the bar shows
    bool muted = false;        // "MUTED" in the level's place
    bool changed = false;      // what the bar shows changed since the frame shown last went out
    // The pixels the bar covers, kept while it is drawn.
    std::vector<std::uint8_t> under;
    int x = 0, y = 0, width = 0, height = 0;
    bool covering = false;   // the back buffer holds the bar over the kept pixels
};

// "1:23.4 / 2:53".
std::string timeBarText(double seconds, double length);

// Where the bar lies over a picture of that size, in its pixels from the lower left.
struct TimeBarLayout {
    float scale = 1.0f;   // the font's pixel
    int margin = 0;
    int height = 0;       // the bar covers the picture's rows below this
    float lineLeft = 0.0f, lineRight = 0.0f;   // the progress line's ends: 0 s and the length
};
TimeBarLayout timeBarLayout(int pictureWidth, int pictureHeight);
// The time at x along the progress line, held to the show.
double timeBarTimeAt(const TimeBarLayout& layout, double x);

// Shows the bar for 1.5 s from now; the level is taken off it.
void flashTimeBar(TimeBar& bar, double now);
// Keeps the bar showing until `until` at least, as it shows.
void holdTimeBar(TimeBar& bar, double until);
// Shows the bar with the level on it, for 1.5 s from now.
void flashTimeBarVolume(TimeBar& bar, double now, int volume, bool muted);
bool timeBarVisible(const TimeBar& bar, double now);

// Keeps the pixels under the bar and draws it over the picture of pictureWidth x
// pictureHeight, for the show at time t.
void drawTimeBar(TimeBar& bar, double t, int pictureWidth, int pictureHeight);
// Puts the kept pixels back; does nothing when the bar is not in the back buffer.
void removeTimeBar(TimeBar& bar);
