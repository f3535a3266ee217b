// How a window and its GL context are opened and closed on the desktop, over SDL2: every
// operation is one step of the start-up sequence that the start-up log records (display/
// renderWindowDesktop.cpp), or of its release. And the offscreen window and context that the
// tools, benches and tests draw in. One video subsystem per process.
#pragma once

#include "platform/display/renderWindow.h"
#include "platform/display/window.h"

#include <string>

struct PlatformDisplayMode {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;
    int refreshRate = 0;
    unsigned pixelFormat = 0;   // the library's own format code, kept for the mode change
    bool found = false;         // false: the display offers no such mode
};

// How a window covers the screen.
enum PlatformWindowKind {
    PLATFORM_WINDOW_FULLSCREEN,   // full screen in the given mode when found, else borderless at (0, 0)
    PLATFORM_WINDOW_DESKTOP,      // full screen at the desktop's own mode: no mode switch
    PLATFORM_WINDOW_NORMAL,       // an ordinary titled window, centred, no mode switch
    PLATFORM_WINDOW_OFFSCREEN     // on the offscreen driver
};

bool platformInitVideo();
void platformQuitVideo();

// Looks for a mode of exactly width x height with bitsPerPixel bits among the modes the
// chosen display offers.
PlatformDisplayMode platformFindDisplayMode(int width, int height, int bitsPerPixel);

// The chosen display's rectangle.
bool platformDisplayBounds(int& x, int& y, int& width, int& height);

// Frame-buffer requests for the next window: double buffer, RGBA with at least
// alphaBits of alpha, depth and stencil sizes, and the context the program draws with
// (glContext.h). They must be made before the window exists.
bool platformRequestFramebuffer(int colourBits, int alphaBits, int depthBits, int stencilBits);

// A window of the given size, hidden until platformShowWindow, of the given kind (the mode
// is used by PLATFORM_WINDOW_FULLSCREEN only). Losing the keyboard focus never minimises it
// nor gives the display back its desktop mode: the demo keeps drawing.
PlatformWindow* platformCreateWindow(const char* title, int width, int height, const PlatformDisplayMode& mode,
                                     PlatformWindowKind kind);
void platformDestroyWindow(PlatformWindow* window);

// The display the window lives on; false when the window has none.
bool platformWindowDisplay(PlatformWindow* window);
// True when the window's surface has a pixel format.
bool platformWindowPixelFormat(PlatformWindow* window);

PlatformContext* platformCreateContext(PlatformWindow* window);
// With a null context, releases the current one.
bool platformMakeCurrent(PlatformWindow* window, PlatformContext* context);
void platformDeleteContext(PlatformContext* context);

bool platformShowWindow(PlatformWindow* window);
// Drops a full-screen mode, so the desktop's own mode is back.
void platformLeaveFullscreen(PlatformWindow* window);

// Offscreen GL (PlatformOffscreen, renderWindow.h): a hidden window and context on the
// offscreen video driver (EGL pbuffer on Mesa), made current, with the requested frame buffer.
// For tests, benchmarks and the capture tool. The drawable is width x height.
bool platformCreateOffscreen(int width, int height, PlatformOffscreen& offscreen, std::string& error);
void platformDestroyOffscreen(PlatformOffscreen& offscreen);
