// The seam between the music's clock (audio.cpp) and the outputs that play it, for the audio
// files of platform/ only. Each backend fills one AudioBackend table and keeps its own record
// in AudioOutput::backendData; what every backend shares lives in AudioOutput: the PCM, the
// report of what is heard (written by the backend's feeding thread, read by the clock without
// a lock), the counts of what went wrong, and the clock's own state on the caller's thread.
#pragma once

#include "platform/sound/audio.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

struct AudioReport {
    double heardBytes = 0.0;        // PCM bytes played out at `monotonicSeconds`
    double monotonicSeconds = 0.0;  // platformMonotonicSeconds() when that held
    bool playing = false;           // the heard position advances in real time from there
    std::uint64_t handedBytes = 0;  // PCM bytes (music, then silence) handed to the output
};

// A sequence lock with one writer at a time (the feeding thread, or the caller's thread while
// it holds the backend's lock), so the feeder never waits on the clock and the clock only
// retries a read that overlapped a write.
class AudioReportSlot {
public:
    void publish(const AudioReport& report);
    // False before the first report, and when every try overlapped a write (a writer
    // preempted half-way); the clock then goes on with what it had.
    bool read(AudioReport& report) const;
    // The latest report, for a writer.
    AudioReport last() const;

private:
    std::atomic<std::uint32_t> sequence{0};   // odd while a report is being written; 0 until the first
    std::atomic<double> heardBytes{0.0};
    std::atomic<double> monotonicSeconds{0.0};
    std::atomic<bool> playing{false};
    std::atomic<std::uint64_t> handedBytes{0};
};

// One output's operations. Every operation but open is called with the output opened.
struct AudioBackend {
    const char* name;
    // Whether the environment lets this backend be tried.
    bool (*wanted)();
    // Opens the output, paused and silent; false with the reason in `problem`, nothing held.
    bool (*open)(AudioOutput& output, std::string& problem);
    // Plays output.pcm from startByte, or holds there while output.paused, dropping what is
    // queued. Reports from before this call are no longer read by the clock.
    void (*start)(AudioOutput& output, std::uint64_t startByte);
    // output.paused has changed.
    void (*pause)(AudioOutput& output);
    // Silence from now on, until the next start.
    void (*stop)(AudioOutput& output);
    void (*close)(AudioOutput& output);
    // Seconds over which the clock takes in what a report says: 0 for reports that are exact,
    // more for reports that come in uneven bursts.
    double followSeconds;
    // Publishes what is heard now, for an output with no thread of its own to do it; null
    // where the output's own thread publishes.
    void (*report)(AudioOutput& output);
    // output.level has changed; null where the output reads it as it feeds.
    void (*volume)(AudioOutput& output);
};

// The backends of this system, in the order they are tried; the last, silence, always opens.
const AudioBackend* const* audioBackends();

extern const AudioBackend serverBackend;   // a sound server's stream (not on Windows)
extern const AudioBackend deviceBackend;   // SDL's audio device
extern const AudioBackend silentBackend;   // nothing played, the clock on the monotonic clock
extern const AudioBackend webAudioBackend; // a browser's Web Audio

struct AudioOutput {
    const AudioBackend* backend = nullptr;
    void* backendData = nullptr;   // the backend's own record, made by its open
    AudioNotice notice;            // called on the backend's thread
    const std::vector<std::int16_t>* pcm = nullptr;
    // The one place the pause is held: set on the caller's thread before the backend's start
    // and pause are called, read by the backends on theirs.
    std::atomic<bool> paused{false};
    // The level (audioSetVolume), likewise set on the caller's thread and read on the backend's.
    std::atomic<double> level{1.0};

    AudioReportSlot report;
    std::atomic<std::uint32_t> underruns{0};
    std::atomic<std::uint32_t> dropouts{0};
    std::atomic<double> droppedSeconds{0.0};
    std::atomic<double> silentSeconds{0.0};   // silences that ended
    std::atomic<double> silentSince{-1.0};    // when the silence under way began; -1: none

    // The clock, on the caller's thread.
    std::uint64_t lastPosition = 0;   // the position last returned
    double followedBytes = 0.0;       // the followed clock, in bytes
    double followedSeconds = 0.0;     // monotonic clock when it was last advanced
    bool following = false;           // followedBytes holds a playing clock
    double reportsFrom = 0.0;         // reports made before this are stale (a resume, a restart)
    bool stopped = false;
    double pausedAt = 0.0;
    double pausedSeconds = 0.0;       // pauses that ended
};

// Fills `size` bytes (a multiple of 4) with the music from byte `from`, and silence past its
// end. Returns from + size.
std::uint64_t audioCopyMusic(const AudioOutput& output, std::uint64_t from, unsigned char* data, std::size_t size);

// The position the last report gives for `now`, at the nominal rate while it plays. For the
// writer of the reports.
double audioHeardAt(const AudioOutput& output, double now);

// The wall clock stands in for the music while nothing plays it (the silent output, a lost
// server): from fromBytes at `now` on, at the nominal rate unless the output is paused, as if
// the music were heard. Called again after each start and pause.
void audioStandIn(AudioOutput& output, double fromBytes, double now);

// A silence that began at silentSince ends now: it joins silentSeconds.
void audioEndSilence(AudioOutput& output, double now);

// "12.34 s" for a byte position.
std::string audioMusicTime(double bytes);
