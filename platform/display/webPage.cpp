#include "platform/display/webPage.h"

#include <emscripten.h>

namespace {

EM_JS(void, pageMessage, (const char* text), {
    if (typeof KesuPage !== "undefined") KesuPage.message(UTF8ToString(text));
});

EM_JS(int, soundUnlocked, (), { return typeof KesuPage !== "undefined" && KesuPage.soundUnlocked() ? 1 : 0; });

EM_JS(void, unlockSound, (), {
    if (typeof KesuPage !== "undefined") KesuPage.unlockSound();
});

EM_JS(void, askForGesture, (), {
    if (typeof KesuPage !== "undefined") KesuPage.askForGesture();
});

EM_JS(void, runEnded, (int status), {
    if (typeof KesuPage !== "undefined") KesuPage.runEnded(status);
});

EM_JS(void, download, (const char* name, const void* bytes, int size), {
    if (typeof KesuPage !== "undefined") KesuPage.download(UTF8ToString(name), HEAPU8.slice(bytes, bytes + size));
});

EM_JS(void, setFullscreen, (int on), {
    if (typeof KesuPage !== "undefined") KesuPage.setFullscreen(on !== 0);
});

EM_JS(int, isFullscreen, (), { return document.fullscreenElement ? 1 : 0; });

EM_JS(double, pixelRatio, (), { return window.devicePixelRatio || 1; });

} // namespace

void webPageMessage(const std::string& text) { pageMessage(text.c_str()); }
bool webSoundUnlocked() { return soundUnlocked() != 0; }
void webUnlockSound() { unlockSound(); }
void webAskForGesture() { askForGesture(); }
void webPageRunEnded(int exitStatus) { runEnded(exitStatus); }

void webPageDownload(const std::string& name, const void* bytes, std::size_t size)
{
    download(name.c_str(), bytes, static_cast<int>(size));
}

void webSetFullscreen(bool fullscreen) { setFullscreen(fullscreen ? 1 : 0); }
bool webIsFullscreen() { return isFullscreen() != 0; }
double webPixelRatio() { return pixelRatio(); }
