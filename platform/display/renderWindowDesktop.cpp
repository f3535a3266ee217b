#include "platform/display/desktopWindow.h"
#include "platform/display/renderWindow.h"

#include <cstdio>

// The start-up log keeps the eleven labels of the classic window-creation sequence. Each
// label is written by the SDL step that plays that role here:
//   "Registering The Window Class: "  SDL's video subsystem starts
//   "ChangeDisplaySettings: "         the display offers width x height at 32 bits (the mode
//                                     the full-screen window switches to); OK at once when
//                                     the window asks for no mode change
//   "AdjustWindowRectEx: "            the display's rectangle is known (a borderless window
//                                     needs no frame adjustment)
//   "CreateWindowEx: "                SDL_CreateWindow, titled "Kesu Tamrick"
//   "GetDC: "                         the window is attached to a display
//   "ChoosePixelFormat: "             the frame-buffer requests (double buffer, RGBA with
//                                     alpha, depth 16, stencil 1), which SDL takes before
//                                     the window is created
//   "SetPixelFormat: "                the window's surface has a pixel format
//   "wglCreateContext: "              SDL_GL_CreateContext
//   "wglMakeCurrent: "                SDL_GL_MakeCurrent
//   "ShowWindow: "                    SDL_ShowWindow, and the window is shown
//   "SetForegroundWindow: "           SDL_RaiseWindow
// The log closes at the first failure; later steps still run and write nothing more.

namespace {

const char* const logOk = "OK\n";

const char* const logFailure = "fAiLUre\n";

struct StartupLog {
    FILE* file = nullptr;
    bool failureReported = false;

    // Writes the label and the result while the log is open; closes it at a failure.
    void step(const char* label, bool ok)
    {
        if (!ok && !failureReported) {
            std::fprintf(stderr, "kesu: %sfailed: %s\n", label, platformLastError().c_str());
            failureReported = true;
        }
        if (!file) return;
        std::fputs(label, file);
        std::fputs(ok ? logOk : logFailure, file);
        if (!ok) close();
    }

    void close()
    {
        if (file) std::fclose(file);
        file = nullptr;
    }
};

} // namespace

void createRenderWindow(RenderWindow& renderWindow, PlatformWindow** windowHandle, bool* deviceContext,
                        int width, int height, std::uint8_t colourBits, std::uint8_t depthBits, ScreenMode screenMode,
                        const std::string& logPath)
{
    StartupLog log;
    if (!logPath.empty()) {
        log.file = std::fopen(logPath.c_str(), "wb");
        // Without a log the start-up goes on; the steps still report failures on stderr.
        if (!log.file) std::perror(("kesu: " + logPath + " cannot be created, starting without it").c_str());
    }

    log.step("Registering The Window Class: ", renderWindow.instance = platformInitVideo());

    PlatformDisplayMode mode;
    if (screenMode == SCREEN_SWITCH_MODE) mode = platformFindDisplayMode(width, height, colourBits);
    log.step("ChangeDisplaySettings: ", screenMode != SCREEN_SWITCH_MODE || mode.found);

    platformShowCursor(false);

    int displayX = 0, displayY = 0, displayWidth = 0, displayHeight = 0;
    log.step("AdjustWindowRectEx: ", platformDisplayBounds(displayX, displayY, displayWidth, displayHeight));

    const bool framebufferRequested = platformRequestFramebuffer(colourBits, 1, depthBits, 1);
    const PlatformWindowKind kind = screenMode == SCREEN_WINDOW    ? PLATFORM_WINDOW_NORMAL
                                    : screenMode == SCREEN_DESKTOP ? PLATFORM_WINDOW_DESKTOP
                                                                   : PLATFORM_WINDOW_FULLSCREEN;
    *windowHandle = platformCreateWindow("Kesu Tamrick", width, height, mode, kind);
    log.step("CreateWindowEx: ", *windowHandle != nullptr);
    if (!*windowHandle) destroyRenderWindow(renderWindow, windowHandle, deviceContext);

    *deviceContext = platformWindowDisplay(*windowHandle);
    log.step("GetDC: ", *deviceContext);
    if (!*deviceContext) destroyRenderWindow(renderWindow, windowHandle, deviceContext);

    log.step("ChoosePixelFormat: ", framebufferRequested);
    if (!framebufferRequested) destroyRenderWindow(renderWindow, windowHandle, deviceContext);

    const bool pixelFormat = platformWindowPixelFormat(*windowHandle);
    log.step("SetPixelFormat: ", pixelFormat);
    if (!pixelFormat) destroyRenderWindow(renderWindow, windowHandle, deviceContext);

    renderWindow.renderingContext = platformCreateContext(*windowHandle);
    log.step("wglCreateContext: ", renderWindow.renderingContext != nullptr);
    if (!renderWindow.renderingContext) destroyRenderWindow(renderWindow, windowHandle, deviceContext);

    const bool current = renderWindow.renderingContext && platformMakeCurrent(*windowHandle, renderWindow.renderingContext);
    log.step("wglMakeCurrent: ", current);
    if (!current) destroyRenderWindow(renderWindow, windowHandle, deviceContext);

    log.step("ShowWindow: ", platformShowWindow(*windowHandle));
    log.step("SetForegroundWindow: ", platformRaiseWindow(*windowHandle));
    platformKeepDisplayAwake(true);

    if (renderWindow.renderingContext) {
        // The drawable may be larger than the window on HiDPI screens; the viewport covers it all.
        int drawableWidth = width, drawableHeight = height;
        platformDrawableSize(*windowHandle, drawableWidth, drawableHeight);
        if (drawableWidth <= 0 || drawableHeight <= 0) {
            drawableWidth = width;
            drawableHeight = height;
        }
        startRenderWindow(renderWindow, width, height, colourBits, drawableWidth, drawableHeight);
    } else {
        renderWindow.pendingImage = TextureImage{};
        renderWindow.currentImage = &renderWindow.pendingImage;
        renderWindow.width = width;
        renderWindow.height = height;
        renderWindow.colourBits = colourBits;
    }
    log.close();
}

bool createOffscreenRenderWindow(int width, int height, RenderWindow& renderWindow, PlatformOffscreen& offscreen,
                                 std::string& error)
{
    if (!platformCreateOffscreen(width, height, offscreen, error)) return false;
    renderWindow.renderingContext = offscreen.context;
    renderWindow.instance = true;
    startRenderWindow(renderWindow, width, height, 32, width, height);
    return true;
}

void destroyOffscreenRenderWindow(RenderWindow& renderWindow, PlatformOffscreen& offscreen)
{
    platformDestroyOffscreen(offscreen);
    renderWindow.renderingContext = nullptr;
    renderWindow.instance = false;
}

void destroyRenderWindow(RenderWindow& renderWindow, PlatformWindow** windowHandle, bool* deviceContext)
{
    platformLeaveFullscreen(*windowHandle);
    platformShowCursor(true);

    if (renderWindow.renderingContext) {
        if (!platformMakeCurrent(*windowHandle, nullptr)) platformMessageBox("SHUTDOWN ERROR", "Release Of DC And RC Failed.");
        platformDeleteContext(renderWindow.renderingContext);
        renderWindow.renderingContext = nullptr;
    }
    // The window's tie to its display ends with the window; nothing can fail here.
    *deviceContext = false;
    if (*windowHandle) {
        platformDestroyWindow(*windowHandle);
        *windowHandle = nullptr;
    }
    if (renderWindow.instance) {
        platformKeepDisplayAwake(false);
        platformQuitVideo();
        renderWindow.instance = false;
    }
}
