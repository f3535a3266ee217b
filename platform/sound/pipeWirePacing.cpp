#include "platform/sound/pipeWirePacing.h"

#include "platform/sound/audio.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr double paceWindowSeconds = 2.0;
// A read index that falls this far below its lowest stand has missed a graph cycle. Only
// checked once the reports have had this long to find the lowest stand. The same margin keeps
// a report's timing noise from moving a carried stand by a whole quantum.
constexpr double dropoutMarginBytes = 0.0015 * AUDIO_BYTES_PER_SECOND;
constexpr double paceSettleSeconds = 1.0;
// How long reports stand below the stand before they are judged by the typical report of that
// time: 0.1 s at a quantum of 1024 frames, longer at smaller ones (a quantum ahead weighs the
// same then), 0.4 s at most. Meanwhile what is heard keeps to the stand.
constexpr double judgeSeconds = 0.1;
constexpr double judgeSecondsMost = 0.4;
// How long a stand carried over a stop holds: by then the reports, 17 ms apart against a
// cycle of another length, have come near the end of some cycle.
constexpr double carriedStandSeconds = 0.25;

// The lowest stands, bar the lowest fifth: a few late reports among them do not move it.
double lowStand(std::vector<double>& values)
{
    const auto fifth = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 5);
    std::nth_element(values.begin(), fifth, values.end());
    return *fifth;
}

// The low stand of the reports since the first held back, against that of the window before:
// the same on time, however late a few of them, and a quantum lower after a missed cycle. (Not
// the typical report: against a timer the reports fall at a few places in the cycle, and which
// of them holds the middle changes from one stretch to the next.) A dropout moves the stand
// down by the cycles missed, whole quanta where the quantum is known, into lastStand.
bool judgeDropout(PipeWirePacing& pacing, double seconds)
{
    std::vector<double> since, before;
    for (const auto& entry : pacing.recent)
        if (entry.first >= pacing.heldSince) since.push_back(entry.second);
    for (const auto& entry : pacing.paces)
        if (entry.first < pacing.heldSince) before.push_back(entry.second);
    pacing.heldSince = -1.0;
    if (before.empty() || since.empty()) return false;
    const double fallen = lowStand(before) - lowStand(since);
    const double quantum = pacing.quantumBytes > 0.0 ? pacing.quantumBytes : 2.0 * dropoutMarginBytes;
    if (fallen < quantum / 2) return false;
    const double missed = pacing.quantumBytes > 0.0 ? std::round(fallen / pacing.quantumBytes) * pacing.quantumBytes : fallen;
    ++pacing.dropouts;
    pacing.droppedBytes += missed;
    pacing.lastStand = pacing.heldStand - missed;
    pacing.paces.clear();
    pacing.paces.emplace_back(seconds, pacing.lastStand);
    return true;
}

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
    while (!pacing.recent.empty() && pacing.recent.front().first < seconds - judgeSecondsMost) pacing.recent.pop_front();
    pacing.recent.emplace_back(seconds, pace);
    const bool earlier = !pacing.paces.empty();
    double stand = earlier ? pacing.paces.front().second : pace;   // the lowest stand before this report
    for (const auto& entry : pacing.paces) stand = std::min(stand, entry.second);
    const bool low = earlier && pace < stand - dropoutMarginBytes && seconds - pacing.playingSince > paceSettleSeconds;
    if (low && pacing.heldSince < 0.0) {
        // Held back from the stand: late, or the first of a read index that fell behind.
        pacing.heldSince = seconds;
        pacing.heldStand = stand;
    }
    if (pacing.heldSince >= 0.0) {
        const double judgeAfter = std::min(
            judgeSecondsMost, judgeSeconds * std::max(1.0, pacing.quantumBytes > 0.0 ? 4096.0 / pacing.quantumBytes : 1.0));
        // Until judged, nothing below the stand of before is taken in: after a missed cycle,
        // the reports just below it would walk the stand down a little at a time.
        if (seconds - pacing.heldSince < judgeAfter) {
            if (pace < pacing.heldStand) return stand + seconds * AUDIO_BYTES_PER_SECOND;
        } else if (judgeDropout(pacing, seconds)) {
            stand = pacing.lastStand;
        } else if (low) {
            pacing.heldSince = seconds;
            pacing.heldStand = stand;
            return stand + seconds * AUDIO_BYTES_PER_SECOND;
        }
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
    pacing.recent.clear();
    pacing.heldSince = -1.0;
    pacing.lastReadIndex = static_cast<double>(readIndex);
}

void restartPacing(PipeWirePacing& pacing)
{
    stopPacing(pacing, 0);
    pacing.lastReadIndex = -1.0;
}
