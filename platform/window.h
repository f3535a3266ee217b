// The window, display mode, GL context, events and message boxes, over SDL2. Every
// operation is one step that the host's window creation and release sequence names; the
// rest of the program sees only these neutral types. One video subsystem per process.
#pragma once

#include <cstdint>
#include <string>

struct PlatformWindow;    // opaque: the SDL window
struct PlatformContext;   // opaque: the GL context

struct PlatformDisplayMode {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;
    int refreshRate = 0;
    unsigned pixelFormat = 0;   // the library's own format code, kept for the mode change
    bool found = false;         // false: the display offers no such mode
};

enum PlatformEventKind {
    PLATFORM_EVENT_NONE,
    PLATFORM_EVENT_KEY_DOWN,
    PLATFORM_EVENT_KEY_UP,
    PLATFORM_EVENT_QUIT,      // the window's close request, or SIGTERM / SIGINT
    PLATFORM_EVENT_SHOWN,     // the window was uncovered or changed size: what it shows is to be shown again
    PLATFORM_EVENT_RESUMED,   // the program was not stepped for a while (a page in a background tab) as the music went on
    PLATFORM_EVENT_OTHER
};

// The keys the player reads, by the codes the window library gives them: printable keys are
// their ASCII character, lower case for letters (Escape 0x1B, Space 0x20, 'f'); the others
// lie above 255.
constexpr int PLATFORM_KEY_ESCAPE = 0x1B;
constexpr int PLATFORM_KEY_SPACE = 0x20;
constexpr int PLATFORM_KEY_RETURN = 0x0D;
constexpr int PLATFORM_KEY_RIGHT = 0x4000004F;
constexpr int PLATFORM_KEY_LEFT = 0x40000050;
constexpr int PLATFORM_KEY_DOWN = 0x40000051;
constexpr int PLATFORM_KEY_UP = 0x40000052;
constexpr int PLATFORM_KEY_HOME = 0x4000004A;
constexpr int PLATFORM_KEY_PAGE_UP = 0x4000004B;
constexpr int PLATFORM_KEY_PAGE_DOWN = 0x4000004E;
constexpr int PLATFORM_KEY_F11 = 0x40000044;
constexpr int PLATFORM_KEY_F12 = 0x40000045;

// Modifier keys held with a key.
constexpr int PLATFORM_MOD_SHIFT = 0x1;
constexpr int PLATFORM_MOD_CTRL = 0x2;
constexpr int PLATFORM_MOD_ALT = 0x4;

struct PlatformEvent {
    PlatformEventKind kind = PLATFORM_EVENT_NONE;
    int keyCode = 0;       // PLATFORM_KEY_*, or a printable key's character
    bool repeat = false;   // a key-down sent again by the keyboard's auto-repeat while the key is held
    int modifiers = 0;     // PLATFORM_MOD_* held with the key
};

// How a window covers the screen.
enum PlatformWindowKind {
    PLATFORM_WINDOW_FULLSCREEN,   // full screen in the given mode when found, else borderless at (0, 0)
    PLATFORM_WINDOW_DESKTOP,      // full screen at the desktop's own mode: no mode switch
    PLATFORM_WINDOW_NORMAL,       // an ordinary titled window, centred, no mode switch
    PLATFORM_WINDOW_OFFSCREEN     // on the offscreen driver
};

// The library's text for the last failure ("" when it has none).
std::string platformLastError();

bool platformInitVideo();
void platformQuitVideo();

// The monitor the next window goes on, its modes and its bounds are of: 0 is the first; one
// past the last stands for the last. Monitor 0 until said otherwise.
void platformUseDisplay(int index);
// How many monitors there are; 0 when there is no display.
int platformDisplayCount();

// The desktop's current mode of the chosen display; false when there is no display.
bool platformDesktopMode(int& width, int& height);

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
// A number naming the context current on this thread, 0 when none is. Each context gets
// its own, never reused by a later context, so what was recorded in one context (a display
// list) is never replayed in another that happens to live at the same address.
std::uint64_t platformCurrentContextId();

bool platformShowWindow(PlatformWindow* window);
bool platformRaiseWindow(PlatformWindow* window);
// Drops a full-screen mode, so the desktop's own mode is back.
void platformLeaveFullscreen(PlatformWindow* window);

// Whether the window keeps what was drawn from one frame to the next (a desktop's back
// buffer does; a browser's canvas is cleared after each frame it shows).
bool platformKeepsPicture();

// Size of the GL drawable in pixels (larger than the window on HiDPI screens).
void platformDrawableSize(PlatformWindow* window, int& width, int& height);

// 0 on success; -1 when the driver has no swap-interval control.
int platformSetSwapInterval(int interval);
void platformSwapBuffers(PlatformWindow* window);

// Between a window and the full screen at the desktop's mode, on the monitor the window is on.
bool platformSetFullscreen(PlatformWindow* window, bool fullscreen);
bool platformIsFullscreen(PlatformWindow* window);

void platformShowCursor(bool visible);
// Keeps the screen saver and display power-down off while true.
void platformKeepDisplayAwake(bool awake);

// Takes one pending event; false when none is pending.
bool platformPollEvent(PlatformEvent& event);
// Waits up to timeoutMilliseconds for an event to be pending, without taking it.
void platformWaitForEvent(int timeoutMilliseconds);

// Refresh rate in Hz of the display the window is on; 0 when the display does not say.
int platformRefreshRate(PlatformWindow* window);

// A modal box with an OK button; falls back to stderr when no box can be shown.
void platformMessageBox(const char* caption, const char* text);

// Offscreen GL: a hidden window and context on the offscreen video driver (EGL pbuffer on
// Mesa), made current, with the requested frame buffer. For tests, benchmarks and the
// capture tool. The drawable is width x height.
struct PlatformOffscreen {
    PlatformWindow* window = nullptr;
    PlatformContext* context = nullptr;
};
bool platformCreateOffscreen(int width, int height, PlatformOffscreen& offscreen, std::string& error);
void platformDestroyOffscreen(PlatformOffscreen& offscreen);
