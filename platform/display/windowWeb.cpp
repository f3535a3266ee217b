// The window in a browser: the page's canvas and its WebGL 2 context, keys, the mouse, the
// page's controls, the full screen and the page's visibility, as window.h has them (a lost
// context is the page's to handle: it starts again at the music's moment). The page sizes the
// canvas; its drawing buffer follows its size on the screen in device pixels, up to 2560 x
// 1920 (the browser scales that up). Keys arrive with the codes SDL gives them on the
// desktop. The first key unlocks the sound and is taken for nothing else; the mouse and the
// page's buttons come from the page (kesuPointer, kesuCommand), which keeps the first click
// and every touch to itself.
#include "platform/display/renderWindow.h"
#include "platform/display/window.h"

#include "platform/display/glContext.h"
#include "platform/display/webPage.h"

#include <emscripten.h>
#include <emscripten/html5.h>

#include <GL/gl.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>

namespace {

const char* const canvas = "#canvas";

std::deque<PlatformEvent> events;
EMSCRIPTEN_WEBGL_CONTEXT_HANDLE webGl = 0;
std::uint64_t contextId = 0;
std::string lastError;
// The one window there is; a pointer to it stands for it.
int theWindow = 0;

// The largest drawing buffer: a 4:3 picture at 2560 x 1920 is sharp on any screen at hand,
// and one larger costs the software renderers most.
constexpr double largestWidth = 2560.0, largestHeight = 1920.0;

// The drawing buffer the size the canvas takes on the screen, in device pixels, scaled down
// to fit the largest.
void fitDrawingBuffer()
{
    double cssWidth = 0.0, cssHeight = 0.0;
    emscripten_get_element_css_size(canvas, &cssWidth, &cssHeight);
    double ratio = webPixelRatio();
    if (cssWidth > 0.0 && cssHeight > 0.0)
        ratio = std::min({ratio, largestWidth / cssWidth, largestHeight / cssHeight});
    const int width = std::max(1, static_cast<int>(std::lround(cssWidth * ratio)));
    const int height = std::max(1, static_cast<int>(std::lround(cssHeight * ratio)));
    int now[2] = {0, 0};
    emscripten_get_canvas_element_size(canvas, &now[0], &now[1]);
    if (now[0] != width || now[1] != height) emscripten_set_canvas_element_size(canvas, width, height);
}

// The desktop's key codes: printable keys as their character, lower case for letters; the
// others by name.
int keyCodeOf(const EmscriptenKeyboardEvent& key)
{
    struct Named {
        const char* name;
        int code;
    };
    static const Named named[] = {
        {"Escape", PLATFORM_KEY_ESCAPE},     {"Enter", PLATFORM_KEY_RETURN},        {"ArrowRight", PLATFORM_KEY_RIGHT},
        {"ArrowLeft", PLATFORM_KEY_LEFT},    {"ArrowDown", PLATFORM_KEY_DOWN},      {"ArrowUp", PLATFORM_KEY_UP},
        {"Home", PLATFORM_KEY_HOME},         {"PageUp", PLATFORM_KEY_PAGE_UP},      {"PageDown", PLATFORM_KEY_PAGE_DOWN},
        {"F11", PLATFORM_KEY_F11},           {"F12", PLATFORM_KEY_F12},             {" ", PLATFORM_KEY_SPACE},
    };
    for (const Named& entry : named) {
        if (std::strcmp(key.key, entry.name) == 0) return entry.code;
    }
    if (key.key[0] != '\0' && key.key[1] == '\0') return std::tolower(static_cast<unsigned char>(key.key[0]));
    return 0;
}

EM_BOOL onKey(int eventType, const EmscriptenKeyboardEvent* key, void*)
{
    // The browser's own shortcuts stay the browser's.
    if (key->ctrlKey || key->metaKey) return EM_FALSE;
    if (!webSoundUnlocked()) {
        if (eventType == EMSCRIPTEN_EVENT_KEYDOWN) webUnlockSound();
        return EM_TRUE;
    }
    const int code = keyCodeOf(*key);
    if (code == 0 || code == PLATFORM_KEY_F11 || code == PLATFORM_KEY_F12) return EM_FALSE;
    PlatformEvent event;
    event.kind = eventType == EMSCRIPTEN_EVENT_KEYDOWN ? PLATFORM_EVENT_KEY_DOWN : PLATFORM_EVENT_KEY_UP;
    event.keyCode = code;
    event.repeat = key->repeat != 0;
    event.modifiers = (key->shiftKey ? PLATFORM_MOD_SHIFT : 0) | (key->altKey ? PLATFORM_MOD_ALT : 0);
    events.push_back(event);
    return EM_TRUE;
}

EM_BOOL onResize(int, const EmscriptenUiEvent*, void*)
{
    fitDrawingBuffer();
    PlatformEvent event;
    event.kind = PLATFORM_EVENT_SHOWN;
    events.push_back(event);
    return EM_FALSE;
}

// Back in front after the page was hidden: no frame was drawn meanwhile, the music went on.
EM_BOOL onVisibility(int, const EmscriptenVisibilityChangeEvent* change, void*)
{
    if (!change->hidden) {
        PlatformEvent event;
        event.kind = PLATFORM_EVENT_RESUMED;
        events.push_back(event);
    }
    return EM_FALSE;
}

EM_JS(void, showPointer, (int visible), {
    const element = document.getElementById("canvas");
    if (element) element.style.cursor = visible ? "" : "none";
});

EM_JS(void, keepAwake, (int awake), {
    if (typeof KesuPage !== "undefined") KesuPage.keepAwake(awake !== 0);
});

} // namespace

// The page's mouse over the canvas (kind 0 a move, 1 a press, 2 a release), at CSS pixels from
// its upper left, at the event's time (the performance clock's milliseconds); `placed`: the
// canvas moved or changed size under a still pointer.
extern "C" EMSCRIPTEN_KEEPALIVE void kesuPointer(int kind, double x, double y, int button, int placed, double time)
{
    double cssWidth = 0.0, cssHeight = 0.0;
    emscripten_get_element_css_size(canvas, &cssWidth, &cssHeight);
    int width = 0, height = 0;
    emscripten_get_canvas_element_size(canvas, &width, &height);
    PlatformEvent event;
    event.kind = kind == 0 ? PLATFORM_EVENT_POINTER_MOVE : kind == 1 ? PLATFORM_EVENT_POINTER_DOWN : PLATFORM_EVENT_POINTER_UP;
    event.x = cssWidth > 0.0 ? x * width / cssWidth : x;
    event.y = cssHeight > 0.0 ? y * height / cssHeight : y;
    event.button = button;
    event.pointerPlaced = placed != 0;
    event.time = time / 1000.0;
    events.push_back(event);
}

// One of the page's buttons (PlatformCommand).
extern "C" EMSCRIPTEN_KEEPALIVE void kesuCommand(int command, double value)
{
    if (command < PLATFORM_COMMAND_PLAY || command > PLATFORM_COMMAND_RAISE) return;
    PlatformEvent event;
    event.kind = PLATFORM_EVENT_COMMAND;
    event.command = static_cast<PlatformCommand>(command);
    event.value = value;
    events.push_back(event);
}

std::string platformLastError() { return lastError; }

void platformUseDisplay(int) {}
int platformDisplayCount() { return 1; }

// The page is the desktop: its size is the canvas's.
bool platformDesktopMode(int& width, int& height)
{
    fitDrawingBuffer();
    return emscripten_get_canvas_element_size(canvas, &width, &height) == EMSCRIPTEN_RESULT_SUCCESS;
}

std::uint64_t platformCurrentContextId() { return webGl > 0 ? contextId : 0; }

// The canvas is the window, whatever the size and screen mode asked: the events are taken from
// the page, and its WebGL 2 context is made with a stencil (the grass scene's mask needs one).
void createRenderWindow(RenderWindow& renderWindow, PlatformWindow** windowHandle, bool* deviceContext, int width,
                        int height, std::uint8_t colourBits, std::uint8_t, ScreenMode, const std::string&)
{
    emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, onKey);
    emscripten_set_keyup_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, onKey);
    emscripten_set_resize_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_FALSE, onResize);
    emscripten_set_visibilitychange_callback(nullptr, EM_FALSE, onVisibility);
    fitDrawingBuffer();
    renderWindow.instance = true;
    *windowHandle = reinterpret_cast<PlatformWindow*>(&theWindow);
    *deviceContext = true;
    EmscriptenWebGLContextAttributes attributes;
    emscripten_webgl_init_context_attributes(&attributes);
    attributes.majorVersion = 2;
    attributes.minorVersion = 0;
    attributes.alpha = EM_FALSE;
    attributes.depth = EM_TRUE;
    attributes.stencil = EM_TRUE;
    attributes.antialias = EM_FALSE;
    attributes.preserveDrawingBuffer = EM_FALSE;
    webGl = emscripten_webgl_create_context(canvas, &attributes);
    if (webGl <= 0) {
        webGl = 0;
        std::fprintf(stderr, "kesu: this browser offers no WebGL 2\n");
        return;
    }
    emscripten_webgl_make_context_current(webGl);
    int drawableWidth = 0, drawableHeight = 0;
    emscripten_get_canvas_element_size(canvas, &drawableWidth, &drawableHeight);
    std::string problem;
    if (!platformRequestGlContext() || !platformStartGl(drawableWidth, drawableHeight, problem)) {
        std::fprintf(stderr, "kesu: %s\n", problem.c_str());
        emscripten_webgl_destroy_context(webGl);
        webGl = 0;
        return;
    }
    ++contextId;
    platformShowCursor(false);
    platformKeepDisplayAwake(true);
    renderWindow.renderingContext = reinterpret_cast<PlatformContext*>(static_cast<std::intptr_t>(webGl));
    startRenderWindow(renderWindow, width, height, colourBits, drawableWidth, drawableHeight);
}

void destroyRenderWindow(RenderWindow& renderWindow, PlatformWindow** windowHandle, bool* deviceContext)
{
    platformKeepDisplayAwake(false);
    platformShowCursor(true);
    if (webGl > 0) emscripten_webgl_destroy_context(webGl);
    webGl = 0;
    renderWindow.renderingContext = nullptr;
    renderWindow.instance = false;
    *windowHandle = nullptr;
    *deviceContext = false;
}

void platformDrawableSize(PlatformWindow*, int& width, int& height)
{
    emscripten_get_canvas_element_size(canvas, &width, &height);
}

bool platformKeepsPicture() { return false; }

// The browser paces frames itself, one per display frame.
int platformSetSwapInterval(int) { return 0; }

// The browser shows the drawing buffer once the animation frame returns; what is gathered goes
// to it now.
void platformSwapBuffers(PlatformWindow*) { glFlush(); }

bool platformSetFullscreen(PlatformWindow*, bool fullscreen)
{
    webSetFullscreen(fullscreen);
    return true;
}

bool platformIsFullscreen(PlatformWindow*) { return webIsFullscreen(); }

void platformShowCursor(bool visible) { showPointer(visible ? 1 : 0); }

// A page cannot bring its window to the front.
bool platformRaiseWindow(PlatformWindow*) { return false; }

// The Screen Wake Lock, taken again each time the page comes back to the front.
void platformKeepDisplayAwake(bool awake) { keepAwake(awake ? 1 : 0); }

bool platformPollEvent(PlatformEvent& event)
{
    if (events.empty()) return false;
    event = events.front();
    events.pop_front();
    return true;
}

void platformWaitForEvent(int) {}

int platformRefreshRate(PlatformWindow*) { return 0; }

void platformMessageBox(const char* caption, const char* text)
{
    std::fprintf(stderr, "%s: %s\n", caption, text);
    webPageMessage(text);
}
