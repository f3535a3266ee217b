// In a browser: Web Audio, or silence where the browser has none. Sound may start once the
// page had its click or key.
#include "platform/sound/audioOutput.h"

#include "platform/display/webPage.h"

const AudioBackend* const* audioBackends()
{
    static const AudioBackend* const backends[] = {&webAudioBackend, &silentBackend, nullptr};
    return backends;
}

// Until then the page shows its prompt for one.
bool audioMayStart()
{
    if (webSoundUnlocked()) return true;
    webAskForGesture();
    return false;
}
