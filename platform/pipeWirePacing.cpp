#include "platform/pipeWirePacing.h"

#include "platform/audio.h"

#include <algorithm>

namespace {

constexpr double paceWindowSeconds = 2.0;
// A read index that falls this far below its lowest stand has missed a graph cycle. Only
// checked once the reports have had this long to find the lowest stand.
constexpr double dropoutMarginBytes = 0.0015 * AUDIO_BYTES_PER_SECOND;
constexpr double paceSettleSeconds = 1.0;

} // namespace

double pacedReadIndex(PipeWirePacing& pacing, std::uint64_t readIndex, double seconds)
{
    if (pacing.playingSince < 0.0) pacing.playingSince = seconds;
    const double pace = static_cast<double>(readIndex) - seconds * AUDIO_BYTES_PER_SECOND;
    while (!pacing.paces.empty() && pacing.paces.front().first < seconds - paceWindowSeconds) pacing.paces.pop_front();
    double lowest = pace;
    for (const auto& entry : pacing.paces) lowest = std::min(lowest, entry.second);
    if (!pacing.paces.empty() && pace < lowest - dropoutMarginBytes && seconds - pacing.playingSince > paceSettleSeconds) {
        // One report so low may be one answered late; two in a row are a read index that fell
        // behind for good.
        if (!pacing.lowPace) {
            pacing.lowPace = true;
            return lowest + seconds * AUDIO_BYTES_PER_SECOND;
        }
        ++pacing.dropouts;
        pacing.droppedBytes += lowest - pace;
        pacing.paces.clear();
        lowest = pace;
    }
    pacing.lowPace = false;
    pacing.paces.emplace_back(seconds, pace);
    return lowest + seconds * AUDIO_BYTES_PER_SECOND;
}

void restartPacing(PipeWirePacing& pacing)
{
    pacing.paces.clear();
    pacing.playingSince = -1.0;
    pacing.lowPace = false;
}
