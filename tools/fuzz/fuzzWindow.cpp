#include "tools/fuzz/fuzzWindow.h"

#include "platform/display/renderWindow.h"

#include <cstdio>
#include <cstdlib>
#include <string>

RenderWindow& fuzzRenderWindow(const char* target, int width, int height)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    setenv("LP_NUM_THREADS", "0", 0);
    static PlatformOffscreen offscreen;
    static RenderWindow window;
    std::string error;
    if (!createOffscreenRenderWindow(width, height, window, offscreen, error)) {
        std::fprintf(stderr, "%s: no GL context: %s\n", target, error.c_str());
        std::exit(1);
    }
    return window;
}
