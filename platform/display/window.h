// The window every platform has once it is open: its drawable, the swap, the full screen, the
// cursor, events and keys, message boxes, and the screen it goes on. The rest of the program
// sees only these neutral types. How a window is opened is the platform's own: on the desktop
// the steps of desktopWindow.h, which the start-up log records; in a browser the page's canvas.
#pragma once

#include <cstdint>
#include <string>

struct PlatformWindow;    // opaque: the platform's window
struct PlatformContext;   // opaque: the GL context

enum PlatformEventKind {
    PLATFORM_EVENT_NONE,
    PLATFORM_EVENT_KEY_DOWN,
    PLATFORM_EVENT_KEY_UP,
    PLATFORM_EVENT_QUIT,      // the window's close request, or SIGTERM / SIGINT
    PLATFORM_EVENT_SHOWN,     // the window was uncovered or changed size: what it shows is to be shown again
    PLATFORM_EVENT_RESUMED,   // the program was not stepped for a while (a page in a background tab) as the music went on
    PLATFORM_EVENT_POINTER_MOVE,   // the mouse moved over the window
    PLATFORM_EVENT_POINTER_DOWN,   // a mouse button was pressed over the window
    PLATFORM_EVENT_POINTER_UP,     // and let go
    PLATFORM_EVENT_COMMAND,   // a control beside the window's keys and mouse asks for something (the page's buttons)
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
// The keyboard's media keys, where the system hands them to the window rather than to its
// media controls.
constexpr int PLATFORM_KEY_MEDIA_PLAY = 0x40000105;
constexpr int PLATFORM_KEY_MEDIA_NEXT = 0x40000102;
constexpr int PLATFORM_KEY_MEDIA_PREVIOUS = 0x40000103;
constexpr int PLATFORM_KEY_MEDIA_STOP = 0x40000104;
constexpr int PLATFORM_KEY_MEDIA_MUTE = 0x40000106;
constexpr int PLATFORM_KEY_VOLUME_MUTE = 0x4000007F;
constexpr int PLATFORM_KEY_VOLUME_UP = 0x40000080;
constexpr int PLATFORM_KEY_VOLUME_DOWN = 0x40000081;

// What a control asks of the player (PLATFORM_EVENT_COMMAND), with the event's value where it
// takes one.
enum PlatformCommand {
    PLATFORM_COMMAND_PLAY,
    PLATFORM_COMMAND_PAUSE,
    PLATFORM_COMMAND_PLAY_PAUSE,
    PLATFORM_COMMAND_SEEK_TO,      // value: seconds
    PLATFORM_COMMAND_SEEK_BY,      // value: seconds on, negative back
    PLATFORM_COMMAND_NEXT,         // the next part
    PLATFORM_COMMAND_PREVIOUS,     // the part playing's start, or the one before
    PLATFORM_COMMAND_STOP,         // the end of the run
    PLATFORM_COMMAND_SET_VOLUME,   // value: the level, 0 to 1
    PLATFORM_COMMAND_MUTE,         // muted or not
    PLATFORM_COMMAND_FULL_SCREEN,  // between the window and the full screen
    PLATFORM_COMMAND_RAISE         // the window brought to the front
};

// Modifier keys held with a key.
constexpr int PLATFORM_MOD_SHIFT = 0x1;
constexpr int PLATFORM_MOD_CTRL = 0x2;
constexpr int PLATFORM_MOD_ALT = 0x4;

struct PlatformEvent {
    PlatformEventKind kind = PLATFORM_EVENT_NONE;
    int keyCode = 0;       // PLATFORM_KEY_*, or a printable key's character
    bool repeat = false;   // a key-down sent again by the keyboard's auto-repeat while the key is held
    int modifiers = 0;     // PLATFORM_MOD_* held with the key
    // The mouse: where it is over the window's drawable, in its pixels from the upper left, and
    // the button, 1 the primary. A move with pointerPlaced only says where the pointer is: the
    // pointer came into the window or left it, or the window opened, moved or changed size under
    // it a moment ago, and the window system tells where the still pointer now lies in it.
    double x = 0.0, y = 0.0;
    int button = 0;
    bool pointerPlaced = false;
    // A control's command and its value.
    PlatformCommand command = PLATFORM_COMMAND_PLAY_PAUSE;
    double value = 0.0;
    // When the event happened, in platformMonotonicSeconds' seconds: a busy program takes its
    // events late, and a double-click is told by when its clicks came, not when they were taken.
    double time = 0.0;
};

// The library's text for the last failure ("" when it has none).
std::string platformLastError();

// The monitor the window goes on, its modes and its bounds are of: 0 is the first; one past the
// last stands for the last. Monitor 0 until said otherwise; a browser has one, the page.
void platformUseDisplay(int index);
// How many monitors there are; 0 when there is no display.
int platformDisplayCount();

// The desktop's current mode of the chosen display (in a browser, the page's size); false when
// there is no display.
bool platformDesktopMode(int& width, int& height);

// A number naming the context current on this thread, 0 when none is. Each context gets
// its own, never reused by a later context, so what was recorded in one context (a display
// list) is never replayed in another that happens to live at the same address.
std::uint64_t platformCurrentContextId();

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
// The window brought to the front of the others, where the system lets a program do that.
bool platformRaiseWindow(PlatformWindow* window);
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
