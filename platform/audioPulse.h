// The music's stream on a PulseAudio server (or PipeWire's PulseAudio service), used by the
// audio adapter whenever such a server answers. Owns a threaded main loop whose thread feeds
// the stream from the decoded PCM in memory and publishes what the server says is being heard;
// the caller's thread only reads that, so neither thread ever waits on the other. When the
// server goes away mid-run, the same thread keeps the clock going and connects again.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class AudioReportSlot;
struct PulseOutput;   // opaque
struct pa_context;
struct pa_threaded_mainloop;
struct timeval;

// Told what happens to the sound during the run (the server went away, came back), once
// each time, on the output's own thread.
using PulseNotice = std::function<void(const std::string& text)>;

// Connects a context on a started threaded main loop whose lock the caller holds, to
// `server` (null: PULSE_SERVER or the user's default; a server is never started). Null when
// no server answers within 3 s, with the reason in `message`.
pa_context* pulseConnect(pa_threaded_mainloop* loop, const char* server, std::string& message);
// The CLOCK_MONOTONIC time of a timestamp the server gives on the real-time clock.
double pulseMonotonicSeconds(const struct timeval& timestamp);

// Connects to the server (PULSE_SERVER or the user's default; never starts one) and sets up a
// paused stream. Null when no server answers or it refuses the stream, with the reason in
// `message`.
PulseOutput* pulseOpen(std::string& message, PulseNotice notice = nullptr);
// Starts playing `pcm` from its first byte; after the music the stream goes on with silence.
void pulsePlay(PulseOutput* output, const std::vector<std::int16_t>* pcm, std::uint32_t startByte);
// Corks (true) or uncorks the stream: the server keeps what is queued and plays on from there.
void pulsePause(PulseOutput* output, bool paused);
// What the server says is being heard, refreshed by the feeding thread at every refill and
// every timing report of the server; while the server is away, the clock going on from
// where the music was.
const AudioReportSlot& pulseReport(const PulseOutput* output);

struct PulseCounts {
    std::uint32_t underruns = 0;    // the server found the stream empty while it played
    std::uint32_t dropouts = 0;     // cycles the server skipped the stream without saying so (PipeWire)
    double droppedSeconds = 0.0;    // the silence those left
    double silentSeconds = 0.0;     // the server was away
};
PulseCounts pulseCounts(const PulseOutput* output);

// Silences the stream at once: buffered music is dropped, nothing more is fed.
void pulseStop(PulseOutput* output);
void pulseClose(PulseOutput* output);
