// The sound-server output where the system has no PulseAudio protocol (Windows): no server
// ever answers, so the music plays through SDL's own output.
#include "platform/audioPulse.h"

#include "platform/audioReport.h"

pa_context* pulseConnect(pa_threaded_mainloop*, const char*, std::string& message)
{
    message = "this system has no PulseAudio server";
    return nullptr;
}

double pulseMonotonicSeconds(const struct timeval&) { return 0.0; }

PulseOutput* pulseOpen(std::string& message, PulseNotice)
{
    message = "this system has no PulseAudio server";
    return nullptr;
}

void pulsePlay(PulseOutput*, const std::vector<std::int16_t>*, std::uint32_t) {}
void pulsePause(PulseOutput*, bool) {}

const AudioReportSlot& pulseReport(const PulseOutput*)
{
    static const AudioReportSlot none;
    return none;
}

PulseCounts pulseCounts(const PulseOutput*) { return PulseCounts{}; }
void pulseStop(PulseOutput*) {}
void pulseClose(PulseOutput*) {}
