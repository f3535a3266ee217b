// What is heard of a stream on PipeWire's PulseAudio service, from the read index the server
// reports. The service moves the read index a whole processing quantum at a time, as the graph
// takes the quantum to play it: between two moves the read index stands a part of a quantum
// ahead of what is heard, and just before a move exactly at it. Over the reports of the last
// two seconds, the read index's lowest stand against the nominal rate is what is heard. A read
// index that stays below that stand has missed a graph cycle, a dropout the service does not
// signal; a few reports stamped late stand below it too, but the typical report of the next
// cycles does not. When the stream stops and plays again (a pause, a flush) the stand moves by
// whole quanta, since the graph's cycle goes on meanwhile: the last stand, moved to the new
// read index by whole quanta, holds until the reports find it again. Pure arithmetic on the
// reports it is fed, so it can be checked on scripted ones.
#pragma once

#include <cstdint>
#include <deque>
#include <utility>

struct PipeWirePacing {
    // (seconds, read index less the nominal rate's bytes at those seconds) of recent reports.
    std::deque<std::pair<double, double>> paces;
    double playingSince = -1.0;   // when the stream last began to play; -1 while it does not
    std::deque<std::pair<double, double>> recent;   // every report's pace of the last 0.4 s
    double heldSince = -1.0;      // when a report was first held back below the stand; -1 while none is
    double heldStand = 0.0;       // the stand then
    double lastReadIndex = -1.0;  // -1 before the first report
    double quantumBytes = 0.0;    // the smallest move of the read index seen; 0 before one
    double lastStand = 0.0;       // the lowest stand last found
    bool standKnown = false;
    std::uint32_t dropouts = 0;   // graph cycles the stream missed, since the record was made
    double droppedBytes = 0.0;    // the silence those left
};

// A report while the stream plays: the read index, in bytes, at `seconds` (monotonic).
// Returns the read index of what is heard then.
double pacedReadIndex(PipeWirePacing& pacing, std::uint64_t readIndex, double seconds);

// A report while the stream does not play (corked, flushed, filling up again): the stands
// seen so far no longer hold but for their place in the graph's cycle.
void stopPacing(PipeWirePacing& pacing, std::uint64_t readIndex);

// The stream underran, was flushed or was made anew: as stopPacing, and the read index may
// have moved. The counts stay.
void restartPacing(PipeWirePacing& pacing);
