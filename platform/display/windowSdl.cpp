#include "platform/display/desktopWindow.h"
#include "platform/display/window.h"

#include "platform/display/glContext.h"
#include "platform/system/mediaControls.h"
#include "platform/system/monotonicClock.h"
#include "platform/system/quitSignal.h"

#include <SDL.h>

#include <GL/gl.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define KESU_PIN_GL_DRIVER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KESU_PIN_GL_DRIVER 1
#endif
#endif

#ifdef KESU_PIN_GL_DRIVER
#include <dlfcn.h>
#include <link.h>
#include <cstring>
#endif

namespace {

// The number of each context this process created and has not deleted.
struct ContextId {
    SDL_GLContext context;
    std::uint64_t id;
};
std::vector<ContextId> contextIds;
std::uint64_t lastContextId = 0;

#ifdef KESU_PIN_GL_DRIVER
// Under LeakSanitizer: the GL driver's own allocations outlive the unloading of the driver
// when the video subsystem shuts down, and are then reported without a module to suppress
// them by. Keeping the driver's libraries loaded until exit lets the suppression file name them.
int pinDriverModule(dl_phdr_info* info, size_t, void*)
{
    static const char* const driverParts[] = {"_dri.so", "libEGL_mesa", "libGLX_mesa", "libgallium", "libLLVM", "libglapi"};
    if (!info->dlpi_name || !*info->dlpi_name) return 0;
    for (const char* part : driverParts) {
        if (std::strstr(info->dlpi_name, part)) {
            dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
            break;
        }
    }
    return 0;
}

void pinGlDriver() { dl_iterate_phdr(pinDriverModule, nullptr); }
#else
void pinGlDriver() {}
#endif

SDL_Window* sdlWindow(PlatformWindow* window) { return reinterpret_cast<SDL_Window*>(window); }

static_assert(PLATFORM_KEY_RIGHT == SDLK_RIGHT && PLATFORM_KEY_LEFT == SDLK_LEFT && PLATFORM_KEY_DOWN == SDLK_DOWN &&
                  PLATFORM_KEY_UP == SDLK_UP && PLATFORM_KEY_HOME == SDLK_HOME && PLATFORM_KEY_PAGE_UP == SDLK_PAGEUP &&
                  PLATFORM_KEY_PAGE_DOWN == SDLK_PAGEDOWN && PLATFORM_KEY_F11 == SDLK_F11 && PLATFORM_KEY_F12 == SDLK_F12 &&
                  PLATFORM_KEY_RETURN == SDLK_RETURN && PLATFORM_KEY_ESCAPE == SDLK_ESCAPE && PLATFORM_KEY_SPACE == SDLK_SPACE,
              "the key codes are SDL's");

int modifiersOf(Uint16 mod)
{
    return ((mod & KMOD_SHIFT) ? PLATFORM_MOD_SHIFT : 0) | ((mod & KMOD_CTRL) ? PLATFORM_MOD_CTRL : 0) |
           ((mod & KMOD_ALT) ? PLATFORM_MOD_ALT : 0);
}

bool isThirtyTwoBit(Uint32 format)
{
    return SDL_BYTESPERPIXEL(format) * 8 == 32 || SDL_BITSPERPIXEL(format) == 32;
}

} // namespace

std::string platformLastError() { return SDL_GetError(); }

bool platformInitVideo()
{
    const char* const noDisplay =
        "no display found (set DISPLAY or WAYLAND_DISPLAY, or SDL_VIDEODRIVER=offscreen to run headless)";
    // Without any of these there is nothing to connect to; asking SDL anyway only adds the
    // display libraries' own complaints to the one message that matters.
    if (!SDL_getenv("SDL_VIDEODRIVER") && !SDL_getenv("DISPLAY") && !SDL_getenv("WAYLAND_DISPLAY")) {
        SDL_SetError("%s", noDisplay);
        return false;
    }
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
    // SDL falls back to its headless drivers when no display can be reached. The player
    // then has no screen: only an explicit SDL_VIDEODRIVER (tests, capture) selects them.
    const char* driver = SDL_GetCurrentVideoDriver();
    const char* requested = SDL_getenv("SDL_VIDEODRIVER");
    const bool headless = driver && (SDL_strcmp(driver, "offscreen") == 0 || SDL_strcmp(driver, "dummy") == 0);
    if (headless && !(requested && SDL_strcasecmp(requested, driver) == 0)) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        SDL_SetError("%s", noDisplay);
        return false;
    }
    return true;
}

void platformQuitVideo() { SDL_QuitSubSystem(SDL_INIT_VIDEO); }

namespace {

// The monitor the window and its modes are on; one past the last is taken as the last.
int chosenDisplay = 0;

int displayIndex()
{
    const int count = SDL_GetNumVideoDisplays();
    return count > 0 ? std::min(chosenDisplay, count - 1) : 0;
}

} // namespace

void platformUseDisplay(int index) { chosenDisplay = std::max(0, index); }

int platformDisplayCount()
{
    bool startedHere = false;
    if (!SDL_WasInit(SDL_INIT_VIDEO)) {
        if (!platformInitVideo()) return 0;
        startedHere = true;
    }
    const int count = std::max(0, SDL_GetNumVideoDisplays());
    if (startedHere) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return count;
}

bool platformDesktopMode(int& width, int& height)
{
    bool startedHere = false;
    if (!SDL_WasInit(SDL_INIT_VIDEO)) {
        if (!platformInitVideo()) return false;
        startedHere = true;
    }
    SDL_DisplayMode mode;
    const bool ok = SDL_GetDesktopDisplayMode(displayIndex(), &mode) == 0;
    if (ok) {
        width = mode.w;
        height = mode.h;
    }
    if (startedHere) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return ok;
}

PlatformDisplayMode platformFindDisplayMode(int width, int height, int bitsPerPixel)
{
    PlatformDisplayMode result;
    const int display = displayIndex();
    const int count = SDL_GetNumDisplayModes(display);
    // The desktop's own mode is a candidate too: some drivers list no modes besides it.
    for (int i = -1; i < count; ++i) {
        SDL_DisplayMode mode{};
        if ((i < 0 ? SDL_GetDesktopDisplayMode(display, &mode) : SDL_GetDisplayMode(display, i, &mode)) != 0) continue;
        const bool bitsMatch = bitsPerPixel == 32 ? isThirtyTwoBit(mode.format)
                                                  : static_cast<int>(SDL_BITSPERPIXEL(mode.format)) == bitsPerPixel;
        if (mode.w == width && mode.h == height && bitsMatch) {
            // Modes come sorted by refresh rate, highest first: keep the first match.
            result.width = mode.w;
            result.height = mode.h;
            result.bitsPerPixel = bitsPerPixel;
            result.refreshRate = mode.refresh_rate;
            result.pixelFormat = mode.format;
            result.found = true;
            return result;
        }
    }
    SDL_SetError("the display offers no %dx%d mode with %d bits per pixel", width, height, bitsPerPixel);
    return result;
}

bool platformDisplayBounds(int& x, int& y, int& width, int& height)
{
    SDL_Rect rect;
    if (SDL_GetDisplayBounds(displayIndex(), &rect) != 0) return false;
    x = rect.x;
    y = rect.y;
    width = rect.w;
    height = rect.h;
    return true;
}

bool platformRequestFramebuffer(int colourBits, int alphaBits, int depthBits, int stencilBits)
{
    const int channelBits = colourBits >= 24 ? 8 : 5;
    bool ok = true;
    ok &= SDL_GL_SetAttribute(SDL_GL_RED_SIZE, channelBits) == 0;
    ok &= SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, channelBits) == 0;
    ok &= SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, channelBits) == 0;
    ok &= SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, alphaBits) == 0;
    ok &= SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, depthBits) == 0;
    ok &= SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, stencilBits) == 0;
    ok &= SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1) == 0;
    ok &= platformRequestGlContext();
    return ok;
}

PlatformWindow* platformCreateWindow(const char* title, int width, int height, const PlatformDisplayMode& mode,
                                     PlatformWindowKind kind)
{
    // SDL would start its video subsystem here on its own, probing for displays again.
    if (!SDL_WasInit(SDL_INIT_VIDEO)) {
        SDL_SetError("the video subsystem is not running");
        return nullptr;
    }
    // By default SDL minimises a full-screen window and restores the desktop mode when it
    // loses the focus; the demo is meant to keep playing where it is.
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_ALLOW_HIGHDPI;
    const int display = displayIndex();
    int x = 0, y = 0;
    switch (kind) {
    case PLATFORM_WINDOW_FULLSCREEN:
        flags |= mode.found ? SDL_WINDOW_FULLSCREEN : SDL_WINDOW_BORDERLESS;
        if (display > 0) x = y = SDL_WINDOWPOS_UNDEFINED_DISPLAY(display);
        break;
    case PLATFORM_WINDOW_DESKTOP:
        flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
        if (display > 0) x = y = SDL_WINDOWPOS_UNDEFINED_DISPLAY(display);
        break;
    case PLATFORM_WINDOW_NORMAL: x = y = SDL_WINDOWPOS_CENTERED_DISPLAY(display); break;
    case PLATFORM_WINDOW_OFFSCREEN: break;
    }
    SDL_Window* window = SDL_CreateWindow(title, x, y, width, height, flags);
    if (window && mode.found && kind == PLATFORM_WINDOW_FULLSCREEN) {
        SDL_DisplayMode wanted{};
        wanted.w = mode.width;
        wanted.h = mode.height;
        wanted.format = mode.pixelFormat;
        wanted.refresh_rate = mode.refreshRate;
        SDL_SetWindowDisplayMode(window, &wanted);
    }
    return reinterpret_cast<PlatformWindow*>(window);
}

void platformDestroyWindow(PlatformWindow* window)
{
    if (window) SDL_DestroyWindow(sdlWindow(window));
}

bool platformWindowDisplay(PlatformWindow* window)
{
    if (!window) {
        SDL_SetError("no window");
        return false;
    }
    return SDL_GetWindowDisplayIndex(sdlWindow(window)) >= 0;
}

bool platformWindowPixelFormat(PlatformWindow* window)
{
    if (!window) {
        SDL_SetError("no window");
        return false;
    }
    return SDL_GetWindowPixelFormat(sdlWindow(window)) != SDL_PIXELFORMAT_UNKNOWN;
}

PlatformContext* platformCreateContext(PlatformWindow* window)
{
    if (!window) {
        SDL_SetError("no window");
        return nullptr;
    }
    SDL_GLContext context = SDL_GL_CreateContext(sdlWindow(window));
    if (!context) return nullptr;
    int width = 0, height = 0;
    SDL_GL_GetDrawableSize(sdlWindow(window), &width, &height);
    std::string problem;
    if (!platformStartGl(width, height, problem)) {
        SDL_GL_DeleteContext(context);
        SDL_SetError("%s", problem.c_str());
        return nullptr;
    }
    pinGlDriver();
    contextIds.push_back({context, ++lastContextId});
    return reinterpret_cast<PlatformContext*>(context);
}

bool platformMakeCurrent(PlatformWindow* window, PlatformContext* context)
{
    if (context && !window) {
        SDL_SetError("no window");
        return false;
    }
    return SDL_GL_MakeCurrent(sdlWindow(window), reinterpret_cast<SDL_GLContext>(context)) == 0;
}

void platformDeleteContext(PlatformContext* context)
{
    if (!context) return;
    SDL_GL_DeleteContext(reinterpret_cast<SDL_GLContext>(context));
    for (std::size_t i = 0; i < contextIds.size(); ++i) {
        if (contextIds[i].context == reinterpret_cast<SDL_GLContext>(context)) {
            contextIds.erase(contextIds.begin() + static_cast<std::ptrdiff_t>(i));
            break;
        }
    }
}

std::uint64_t platformCurrentContextId()
{
    const SDL_GLContext current = SDL_GL_GetCurrentContext();
    if (!current) return 0;
    for (const ContextId& entry : contextIds) {
        if (entry.context == current) return entry.id;
    }
    return 0;
}

bool platformShowWindow(PlatformWindow* window)
{
    if (!window) {
        SDL_SetError("no window");
        return false;
    }
    SDL_ShowWindow(sdlWindow(window));
    return (SDL_GetWindowFlags(sdlWindow(window)) & SDL_WINDOW_SHOWN) != 0;
}

bool platformRaiseWindow(PlatformWindow* window)
{
    if (!window) {
        SDL_SetError("no window");
        return false;
    }
    SDL_RaiseWindow(sdlWindow(window));
    return true;
}

void platformLeaveFullscreen(PlatformWindow* window)
{
    if (window) SDL_SetWindowFullscreen(sdlWindow(window), 0);
}

void platformDrawableSize(PlatformWindow* window, int& width, int& height)
{
    width = 0;
    height = 0;
    if (window) SDL_GL_GetDrawableSize(sdlWindow(window), &width, &height);
}

bool platformKeepsPicture() { return true; }

int platformSetSwapInterval(int interval) { return SDL_GL_SetSwapInterval(interval) == 0 ? 0 : -1; }

void platformSwapBuffers(PlatformWindow* window)
{
    if (!window) return;
    // The GL layer holds the frame's last vertices until a state change or a flush; the swap
    // goes past it. On the offscreen driver the drawable is a pbuffer, whose swap is a no-op:
    // without a flush the software rasteriser queues every frame's work until the context
    // goes away. A flush hands the frame to the rasteriser without waiting for it, so the next
    // frame is built while this one is filled (the rasteriser holds back when too many are
    // queued).
    glFlush();
    SDL_GL_SwapWindow(sdlWindow(window));
}

bool platformSetFullscreen(PlatformWindow* window, bool fullscreen)
{
    return window && SDL_SetWindowFullscreen(sdlWindow(window), fullscreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) == 0;
}

bool platformIsFullscreen(PlatformWindow* window)
{
    return window && (SDL_GetWindowFlags(sdlWindow(window)) & (SDL_WINDOW_FULLSCREEN | SDL_WINDOW_FULLSCREEN_DESKTOP)) != 0;
}

void platformShowCursor(bool visible)
{
    if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
}

void platformKeepDisplayAwake(bool awake)
{
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return;
    if (awake)
        SDL_DisableScreenSaver();
    else
        SDL_EnableScreenSaver();
}

namespace {

// Pointer events that only say where the still pointer lies. The window system reports the
// pointer as it comes into the window and as it leaves (SDL tells these as moves, right after
// its "entered" and right before its "left"), and as the window opens, moves or changes size
// under it, over some events as each part of the change arrives. A busy program may take
// those in batches some hundreds of milliseconds apart: the window's changes are counted by
// SDL's event times (milliseconds), for a second after each.
struct PointerReports {
    bool entered = false;    // the event before was "entered"
    Uint32 changedAt = 0;    // the window's last change; 0: none yet
    bool placed = false;     // a pointer event came already
};
PointerReports reports;
constexpr Uint32 placingMilliseconds = 1000;

// The event after the one taken, if one is waiting.
bool nextEventIs(Uint32 type, Uint8 windowEvent)
{
    SDL_Event next;
    return SDL_PeepEvents(&next, 1, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 1 && next.type == type &&
           (type != SDL_WINDOWEVENT || next.window.event == windowEvent);
}

// A point of a window, in its coordinates, in its drawable's pixels (more on a HiDPI screen).
void placePointer(Uint32 windowId, int x, int y, Uint32 timestamp, PlatformEvent& event)
{
    event.x = x;
    event.y = y;
    SDL_Window* window = SDL_GetWindowFromID(windowId);
    int width = 0, height = 0, drawableWidth = 0, drawableHeight = 0;
    if (window) {
        SDL_GetWindowSize(window, &width, &height);
        SDL_GL_GetDrawableSize(window, &drawableWidth, &drawableHeight);
    }
    if (width > 0 && height > 0) {
        event.x = static_cast<double>(x) * drawableWidth / width;
        event.y = static_cast<double>(y) * drawableHeight / height;
    }
    const bool crossing = reports.entered || nextEventIs(SDL_WINDOWEVENT, SDL_WINDOWEVENT_LEAVE);
    const bool settling = reports.changedAt != 0 && timestamp - reports.changedAt < placingMilliseconds;
    event.pointerPlaced = !reports.placed || crossing || settling;
    reports.placed = true;
}

void takeWindowChange(const SDL_WindowEvent& change)
{
    switch (change.event) {
    case SDL_WINDOWEVENT_SHOWN:
    case SDL_WINDOWEVENT_MOVED:
    case SDL_WINDOWEVENT_RESIZED:
    case SDL_WINDOWEVENT_SIZE_CHANGED: reports.changedAt = std::max<Uint32>(change.timestamp, 1); break;
    default: break;
    }
}

void translateEvent(const SDL_Event& sdlEvent, PlatformEvent& event)
{
    event = PlatformEvent{};
    const bool entered = sdlEvent.type == SDL_WINDOWEVENT && sdlEvent.window.event == SDL_WINDOWEVENT_ENTER;
    // SDL's event times are milliseconds of its own clock: placed on the monotonic clock by how
    // long ago the event came.
    const Uint32 ago = SDL_GetTicks() - sdlEvent.common.timestamp;
    event.time = platformMonotonicSeconds() - (ago < 60000 ? ago : 0) / 1000.0;
    switch (sdlEvent.type) {
    case SDL_QUIT:
        event.kind = PLATFORM_EVENT_QUIT;
        break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        event.kind = sdlEvent.type == SDL_KEYDOWN ? PLATFORM_EVENT_KEY_DOWN : PLATFORM_EVENT_KEY_UP;
        event.keyCode = static_cast<int>(sdlEvent.key.keysym.sym);
        event.repeat = sdlEvent.key.repeat != 0;
        event.modifiers = modifiersOf(sdlEvent.key.keysym.mod);
        break;
    case SDL_MOUSEMOTION:
        event.kind = PLATFORM_EVENT_POINTER_MOVE;
        placePointer(sdlEvent.motion.windowID, sdlEvent.motion.x, sdlEvent.motion.y, sdlEvent.motion.timestamp, event);
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        event.kind = sdlEvent.type == SDL_MOUSEBUTTONDOWN ? PLATFORM_EVENT_POINTER_DOWN : PLATFORM_EVENT_POINTER_UP;
        event.button = sdlEvent.button.button;
        placePointer(sdlEvent.button.windowID, sdlEvent.button.x, sdlEvent.button.y, sdlEvent.button.timestamp, event);
        break;
    case SDL_WINDOWEVENT:
        takeWindowChange(sdlEvent.window);
        event.kind = sdlEvent.window.event == SDL_WINDOWEVENT_EXPOSED || sdlEvent.window.event == SDL_WINDOWEVENT_SIZE_CHANGED
                         ? PLATFORM_EVENT_SHOWN
                         : PLATFORM_EVENT_OTHER;
        break;
    default:
        event.kind = PLATFORM_EVENT_OTHER;
        break;
    }
    reports.entered = entered;
}

} // namespace

bool platformPollEvent(PlatformEvent& event)
{
    if (platformQuitSignalled()) {
        event = PlatformEvent{};
        event.kind = PLATFORM_EVENT_QUIT;
        return true;
    }
    if (platformTakeMediaEvent(event)) return true;
    SDL_Event sdlEvent;
    if (!SDL_PollEvent(&sdlEvent)) return false;
    translateEvent(sdlEvent, event);
    return true;
}

void platformWaitForEvent(int timeoutMilliseconds)
{
    if (!platformQuitSignalled()) SDL_WaitEventTimeout(nullptr, timeoutMilliseconds);
}

int platformRefreshRate(PlatformWindow* window)
{
    SDL_DisplayMode mode{};
    if (!window || SDL_GetWindowDisplayMode(sdlWindow(window), &mode) != 0) return 0;
    return mode.refresh_rate;
}

void platformMessageBox(const char* caption, const char* text)
{
    std::fprintf(stderr, "%s: %s\n", caption, text);
    // Headless drivers have no message boxes; the line on stderr above stands in for them.
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver && (SDL_strcmp(driver, "offscreen") == 0 || SDL_strcmp(driver, "dummy") == 0)) return;
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, caption, text, nullptr);
}

bool platformCreateOffscreen(int width, int height, PlatformOffscreen& offscreen, std::string& error)
{
    SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "offscreen", SDL_HINT_OVERRIDE);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        error = std::string("cannot start the offscreen video driver: ") + SDL_GetError();
        return false;
    }
    if (!platformRequestFramebuffer(32, 8, 16, 8)) {
        error = std::string("cannot request the frame buffer: ") + SDL_GetError();
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }
    PlatformDisplayMode noMode;
    offscreen.window = platformCreateWindow("Kesu Tamrick", width, height, noMode, PLATFORM_WINDOW_OFFSCREEN);
    if (!offscreen.window) {
        error = std::string("cannot create the offscreen window: ") + SDL_GetError();
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }
    offscreen.context = platformCreateContext(offscreen.window);
    if (!offscreen.context) {
        error = std::string("cannot create an offscreen GL context: ") + SDL_GetError();
        platformDestroyWindow(offscreen.window);
        offscreen.window = nullptr;
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }
    if (!platformMakeCurrent(offscreen.window, offscreen.context)) {
        error = std::string("cannot make the offscreen GL context current: ") + SDL_GetError();
        platformDestroyOffscreen(offscreen);
        return false;
    }
    return true;
}

void platformDestroyOffscreen(PlatformOffscreen& offscreen)
{
    if (offscreen.context) {
        SDL_GL_MakeCurrent(sdlWindow(offscreen.window), nullptr);
        platformDeleteContext(offscreen.context);
    }
    platformDestroyWindow(offscreen.window);
    offscreen = PlatformOffscreen{};
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}
