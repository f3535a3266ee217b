// In a browser: Web Audio, or silence where the browser has none. Sound may start once the
// page had its click or key, and the browser has decoded the music.
#include "platform/sound/audioOutput.h"

#include "platform/display/webPage.h"

#include <emscripten.h>

namespace {

// The browser decodes on its own time (platform/web/sound.js), the music's first seconds first;
// a browser without Web Audio plays in silence.
EM_JS(int, musicDecoded, (), { return !KesuAudio.open() || KesuAudio.playable() ? 1 : 0; });

} // namespace

const AudioBackend* const* audioBackends()
{
    static const AudioBackend* const backends[] = {&webAudioBackend, &silentBackend, nullptr};
    return backends;
}

// Until then the page shows its prompt for one.
bool audioMayStart()
{
    if (!webSoundUnlocked()) {
        webAskForGesture();
        return false;
    }
    return musicDecoded() != 0;
}
