// Records a PulseAudio source, such as a sink's monitor, as 44100 Hz stereo signed 16-bit
// PCM into memory, with the CLOCK_MONOTONIC times at which the recorded frames were heard,
// for measuring what a player sends to the server against what it shows. Used by the
// measurement tool and the sound-server test, not by the demo.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Frame `frame` of the recording (a fractional frame count from its start) left the sink at
// `monotonicSeconds`: for a monitor, the server's account of the monitored sink's latency is
// taken off, since a monitor receives each block when the sink renders it, ahead of playing.
struct RecordMark {
    double frame = 0.0;
    double monotonicSeconds = 0.0;
};

struct RecordedSound {
    std::vector<std::int16_t> pcm;   // interleaved left, right
    std::vector<RecordMark> marks;   // one per timing report of the server, in time order
    std::uint32_t lostBlocks = 0;    // holes the server reported or blocks dropped for want of room
};

struct AudioRecorder;   // opaque

// Connects to `server` (a PulseAudio server string; empty: PULSE_SERVER or the default) and
// records `source` at 44100 Hz stereo 16-bit, keeping at most maxSeconds. Null when the
// server or the source cannot be reached, with the reason in `message`.
AudioRecorder* recorderStart(const std::string& server, const std::string& source, double maxSeconds,
                             std::string& message);
// The frames recorded so far.
std::size_t recorderFrames(AudioRecorder* recorder);
// Stops, hands over everything recorded and frees the recorder.
void recorderStop(AudioRecorder* recorder, RecordedSound& sound);
