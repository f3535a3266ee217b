// The output of last resort: nothing is played and the clock runs on the monotonic clock from
// where the music starts, as if it were heard.
#include "platform/audioOutput.h"

#include "platform/monotonicClock.h"

namespace {

bool alwaysWanted() { return true; }

bool openSilent(AudioOutput&, std::string&) { return true; }

void startSilent(AudioOutput& output, std::uint64_t startByte)
{
    audioPublishWallClock(output, static_cast<double>(startByte), platformMonotonicSeconds(), !output.paused);
}

void pauseSilent(AudioOutput& output, bool paused)
{
    audioPublishWallClock(output, static_cast<double>(output.lastPosition), platformMonotonicSeconds(), !paused);
}

void stopSilent(AudioOutput&) {}
void closeSilent(AudioOutput&) {}

} // namespace

const AudioBackend silentBackend = {"silence", alwaysWanted, openSilent, startSilent, pauseSilent, stopSilent, closeSilent, 0.0};
