#include "platform/pipeWirePacing.h"

#include "platform/audio.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double paceWindowSeconds = 2.0;
// A read index that falls this far below its lowest stand has missed a graph cycle. Only
// checked once the reports have had this long to find the lowest stand. The same margin keeps
// a report's timing noise from moving a carried stand by a whole quantum.
constexpr double dropoutMarginBytes = 0.0015 * AUDIO_BYTES_PER_SECOND;
constexpr double paceSettleSeconds = 1.0;
// How long reports must stand low, with none clearly above the stand, to be a dropout: four
// cycles at 1024 frames, seventeen at 256. Meanwhile what is heard keeps to the old stand.
constexpr double dropoutConfirmSeconds = 0.1;
// How long a stand carried over a stop holds: by then the reports, 17 ms apart against a
// cycle of another length, have come near the end of some cycle.
constexpr double carriedStandSeconds = 0.25;

} // namespace

double pacedReadIndex(PipeWirePacing& pacing, std::uint64_t readIndex, double seconds)
{
    const double index = static_cast<double>(readIndex);
    const double step = pacing.lastReadIndex >= 0.0 && index > pacing.lastReadIndex ? index - pacing.lastReadIndex : 0.0;
    if (step > 0.0) pacing.quantumBytes = pacing.quantumBytes > 0.0 ? std::min(pacing.quantumBytes, step) : step;
    pacing.lastReadIndex = index;
    const double pace = index - seconds * AUDIO_BYTES_PER_SECOND;
    if (pacing.playingSince < 0.0) {
        pacing.playingSince = seconds;
        // Right at the start the read index stands up to a quantum ahead of what is heard:
        // where the last stand's place in the cycle is known, by what that place says;
        // otherwise by the move it just made. The first report mostly comes right after a
        // move, so one that seems to come in the last quarter of a cycle is taken as just
        // moved (a late report or the stand's own noise): the clock waits rather than runs
        // ahead. The carried stand gives way to the reports' own soon.
        double ahead = -1.0;
        if (pacing.standKnown && pacing.quantumBytes > 0.0) {
            ahead = std::fmod(pace - pacing.lastStand, pacing.quantumBytes);
            if (ahead < 0.0) ahead += pacing.quantumBytes;
            if (ahead < pacing.quantumBytes / 4) ahead += pacing.quantumBytes;
        } else if (step > 0.0) {
            ahead = step;
        }
        if (ahead >= 0.0) pacing.paces.emplace_back(seconds - paceWindowSeconds + carriedStandSeconds, pace - ahead);
    }
    while (!pacing.paces.empty() && pacing.paces.front().first < seconds - paceWindowSeconds) pacing.paces.pop_front();
    const bool earlier = !pacing.paces.empty();
    double stand = earlier ? pacing.paces.front().second : pace;   // the lowest stand before this report
    for (const auto& entry : pacing.paces) stand = std::min(stand, entry.second);
    if (earlier && pace < stand - dropoutMarginBytes && seconds - pacing.playingSince > paceSettleSeconds) {
        if (pacing.lowSince < 0.0) pacing.lowSince = seconds;
        ++pacing.lowReports;
        if (pacing.lowReports < 2 || seconds - pacing.lowSince < dropoutConfirmSeconds)
            return stand + seconds * AUDIO_BYTES_PER_SECOND;
        // The stand falls by the cycles missed: whole quanta, where the quantum is known.
        const double missed = pacing.quantumBytes > 0.0
                                  ? (std::floor((stand - pace) / pacing.quantumBytes) + 1.0) * pacing.quantumBytes
                                  : stand - pace;
        ++pacing.dropouts;
        pacing.droppedBytes += missed;
        pacing.paces.clear();
        stand -= missed;
        pacing.paces.emplace_back(seconds, stand);
    }
    // A report clearly above the stand is on time, in the same cycles: the low ones were late.
    if (pace > stand + dropoutMarginBytes || pacing.lowReports >= 2) {
        pacing.lowSince = -1.0;
        pacing.lowReports = 0;
    }
    stand = std::min(stand, pace);
    pacing.paces.emplace_back(seconds, pace);
    pacing.lastStand = stand;
    pacing.standKnown = true;
    return stand + seconds * AUDIO_BYTES_PER_SECOND;
}

void stopPacing(PipeWirePacing& pacing, std::uint64_t readIndex)
{
    pacing.paces.clear();
    pacing.playingSince = -1.0;
    pacing.lowSince = -1.0;
    pacing.lowReports = 0;
    pacing.lastReadIndex = static_cast<double>(readIndex);
}

void restartPacing(PipeWirePacing& pacing)
{
    stopPacing(pacing, 0);
    pacing.lastReadIndex = -1.0;
}
