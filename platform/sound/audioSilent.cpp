// The output of last resort: nothing is played and the wall clock stands in for the music from
// where it starts, as for a sound server that is away.
#include "platform/sound/audioOutput.h"

#include "platform/system/monotonicClock.h"

namespace {

bool alwaysWanted() { return true; }

bool openSilent(AudioOutput&, std::string&) { return true; }

void startSilent(AudioOutput& output, std::uint64_t startByte)
{
    audioStandIn(output, static_cast<double>(startByte), platformMonotonicSeconds());
}

void pauseSilent(AudioOutput& output)
{
    audioStandIn(output, static_cast<double>(output.lastPosition), platformMonotonicSeconds());
}

void stopSilent(AudioOutput&) {}
void closeSilent(AudioOutput&) {}

} // namespace

const AudioBackend silentBackend = {"silence", alwaysWanted, openSilent, startSilent, pauseSilent, stopSilent, closeSilent, 0.0, nullptr, nullptr};
