// Where the show draws when the window may not be the show's size: from the first switch to
// the full screen on, the show goes on drawing at its own size into a picture kept off
// screen (a framebuffer object with depth and stencil), which each frame is scaled onto the
// window, keeping its aspect, the rest black (in a window of the show's size, copied as it
// is). The picture the show keeps from frame to frame lives there, so switching either way
// loses none of it, whenever the window system gets round to resizing the window. Needs a
// current GL context with framebuffer objects; without them the full screen shows the show
// unscaled in its lower left corner.
#pragma once

#include <cstdint>

struct PlatformWindow;

struct ShowSurface {
    bool offscreen = false;     // frames are drawn into the kept picture, not the window
    unsigned framebuffer = 0;
    unsigned colour = 0;
    unsigned depthStencil = 0;
    int width = 0;              // the show's size
    int height = 0;
};

// From now on the show draws at its own size into its picture kept off screen; false (and the
// show on the window) without framebuffer objects.
bool drawShowOffscreen(ShowSurface& surface, int showWidth, int showHeight);

// Between the window and the full screen on the monitor the window is on, the show's
// picture carried over. False when the window system refuses.
bool toggleFullScreen(ShowSurface& surface, PlatformWindow* window, int showWidth, int showHeight);

// Where the show's picture lies on a drawable of that size, in its pixels from the lower left:
// scaled to fit in the middle once the show draws off screen, else at its own size in the
// lower left corner.
struct ShowArea {
    int x = 0, y = 0, width = 0, height = 0;
};
ShowArea showArea(const ShowSurface& surface, int drawableWidth, int drawableHeight, int showWidth, int showHeight);

// Shows the frame drawn: scaled onto the screen first when the show draws off screen, then
// the swap; the show draws into its picture again afterwards.
void presentShow(ShowSurface& surface, PlatformWindow* window);

// The picture the show drew last, as the screen shows it before any scaling: the show's own
// framebuffer once it draws off screen, the window's back buffer before. width x height RGBA
// pixels, rows bottom first.
void readShowPicture(const ShowSurface& surface, int width, int height, std::uint8_t* pixels);
