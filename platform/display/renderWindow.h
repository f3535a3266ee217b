// The host record shared with the loaders and the renderers: the GL context, the screen
// size, the texture loaders' pending image and the extension entry points. The player creates
// it once with createRenderWindow and owns it for the whole run; tools, benches, fuzzers and
// tests make theirs with createOffscreenRenderWindow. It sits below every layer that reads it.
#pragma once

#include "platform/display/window.h"

#include <cstdint>
#include <string>

// The picture being assembled for one texture: rows top first, no padding. The texture
// loaders fill it; it lives here because the record below holds the pending one.
struct TextureImage {
    std::uint8_t alpha = 0;            // 1: R, G, B, A per pixel; 0: R, G, B
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint8_t* pixels = nullptr;    // owned; null when the image is empty
    std::uint32_t textureName = 0;     // a TextureId once uploaded
};

using ActiveTextureProc = void (*)(unsigned int textureUnit);
using MultiTexCoord2fvProc = void (*)(unsigned int textureUnit, const float* coordinates);
using SwapIntervalProc = int (*)(int interval);

struct RenderWindow {
    PlatformContext* renderingContext = nullptr;   // null when no context is held
    bool instance = false;                          // the video subsystem is up (stands in for the module's window class)
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint8_t colourBits = 0;
    TextureImage pendingImage;
    TextureImage* currentImage = &pendingImage;     // the image the loaders fill next
    // Null when the driver lacks the extension; users check before calling.
    ActiveTextureProc glActiveTextureARB = nullptr;
    MultiTexCoord2fvProc glMultiTexCoord2fvARB = nullptr;
    SwapIntervalProc wglSwapIntervalEXT = nullptr;

    RenderWindow() = default;
    RenderWindow(const RenderWindow&) = delete;
    RenderWindow& operator=(const RenderWindow&) = delete;
};

// How the player's window covers the screen.
enum ScreenMode {
    SCREEN_SWITCH_MODE,   // the display switches to width x height and the window covers it
    SCREEN_DESKTOP,       // full screen at the desktop's own mode, no switch (width x height are the desktop's)
    SCREEN_WINDOW         // a titled window of width x height next to the others, no switch
};

// Changes the display mode, opens the window, creates and binds the context, fetches the
// entry points and sets the viewport. On the desktop (renderWindowDesktop.cpp) each step is
// logged to logPath ("kesu.log" in a run folder; "" logs nothing); where no mode change is
// asked for (SCREEN_DESKTOP, SCREEN_WINDOW) the mode-change step logs "OK". Creation carries
// on past a failed step, as the log shows; only the first failed step is reported on stderr,
// since the later ones follow from it. In a browser the page's canvas is the window and
// nothing is logged. The caller checks renderingContext afterwards.
void createRenderWindow(RenderWindow& renderWindow, PlatformWindow** windowHandle, bool* deviceContext,
                        int width, int height, std::uint8_t colourBits, std::uint8_t depthBits,
                        ScreenMode screenMode = SCREEN_SWITCH_MODE, const std::string& logPath = "kesu.log");

// Restores the display mode and the cursor and releases what is held, clearing each handle
// it releases, so a second pass releases nothing twice. Failed releases show a
// "SHUTDOWN ERROR" message box.
void destroyRenderWindow(RenderWindow& renderWindow, PlatformWindow** windowHandle, bool* deviceContext);

// For the platforms' own creation files: the record filled for the context just made current
// (its entry points, its size, no pending image), and the viewport covering the drawable.
void startRenderWindow(RenderWindow& renderWindow, int width, int height, std::uint8_t colourBits,
                       int drawableWidth, int drawableHeight);

// The desktop's offscreen window and context.
struct PlatformOffscreen {
    PlatformWindow* window = nullptr;
    PlatformContext* context = nullptr;
};

// An offscreen window and context of width x height (the offscreen driver, EGL pbuffer on
// Mesa), made current, with the record filled as createRenderWindow fills it and the
// viewport covering the drawable. For tools, benches, fuzzers and tests, on the desktop.
bool createOffscreenRenderWindow(int width, int height, RenderWindow& renderWindow, PlatformOffscreen& offscreen,
                                 std::string& error);
void destroyOffscreenRenderWindow(RenderWindow& renderWindow, PlatformOffscreen& offscreen);
