// Linux: a sound server's stream first (PulseAudio, or PipeWire's PulseAudio service), whose
// reports say what is heard; then SDL's device; then silence.
#include "platform/sound/audioOutput.h"

const AudioBackend* const* audioBackends()
{
    static const AudioBackend* const backends[] = {&serverBackend, &deviceBackend, &silentBackend, nullptr};
    return backends;
}

bool audioMayStart() { return true; }
