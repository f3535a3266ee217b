// Measures a recording of the music, as the sound server played it, against the decoded
// music and against the player's clock: where the server ran dry (silence that is not in the
// music), and how far the clock the pictures were drawn for stood from the sound being heard.
// Pure functions over samples and times; no audio library.
#pragma once

#include "platform/sound/audioRecorder.h"

#include <cstdint>
#include <string>
#include <vector>

// One line of the player's clock log: the frame's swap returned at swapSeconds
// (CLOCK_MONOTONIC), the music position read at the frame's start was `position` seconds and
// the frame was drawn for `drawn` seconds of music.
struct ClockLogLine {
    double swapSeconds = 0.0;
    double position = 0.0;
    double drawn = 0.0;
    double readSeconds = -1.0;   // when the position was read; -1 in an older log that does not say
};

// Reads "SWAP POSITION DRAWN READ" lines (an older player's "SWAP POSITION DRAWN", or
// "SWAP POSITION": drawn for the position read); false with the file, line number and what
// was wrong.
bool readClockLog(const std::string& path, std::vector<ClockLogLine>& lines, std::string& problem);

// The clock said `position` seconds of music at `readSeconds` (CLOCK_MONOTONIC).
struct ClockSample {
    double readSeconds = 0.0;
    double position = 0.0;
};

// When each position was read: its READ field; in an older log, which does not say, the
// previous frame's swap (the player reads its clock right after it), so the first line has
// no sample there.
std::vector<ClockSample> clockReadings(const std::vector<ClockLogLine>& lines);
// The frames as shown: each at its own swap, with the time it was drawn for, or with the
// position read at its start: what the frame-start clock would have shown at that swap.
enum PictureClock { PICTURE_DRAWN, PICTURE_FRAME_START };
std::vector<ClockSample> pictureShowings(const std::vector<ClockLogLine>& lines, PictureClock clock = PICTURE_DRAWN);

// Silence the server played because the stream ran dry: `frames` of it where the music
// sounds, after the music had reached `musicSeconds`.
struct Underrun {
    double musicSeconds = 0.0;
    std::int64_t frames = 0;
};

// The recording laid over the music: from music frame `musicFrame` on (until the next
// piece), recorded frame = music frame + shift.
struct AlignedPiece {
    std::int64_t musicFrame = 0;
    std::int64_t shift = 0;
};

struct SoundAlignment {
    std::vector<AlignedPiece> pieces;
    std::vector<Underrun> underruns;
    int breaks = 0;                     // places the recording jumps in the music without silence
    std::int64_t framesLost = 0;        // music the recording skips, at underruns and breaks
    std::int64_t musicStart = 0;        // first and one past the last frame of music that is not silent
    std::int64_t musicEnd = 0;
    std::int64_t recordingStart = 0;    // the music frame the recording's first sound is
    std::int64_t heardUntil = 0;        // one past the last music frame the recording holds
};

// Follows the recording through the music frame by frame. Both are interleaved stereo at
// 44100 Hz; the recording must hold the music sample for sample (a null sink at full volume
// in the music's format does). False, naming the recorded second, where it does not. A gap
// that falls inside a silence of the music shows only where that silence ends, so it is
// placed there; one inside the music's own silence that only lengthens it is not seen.
bool alignRecording(const std::vector<std::int16_t>& music, const std::vector<std::int16_t>& recorded,
                    SoundAlignment& alignment, std::string& problem);

// When each recorded frame was heard: seconds = frame / 44100 + an offset that follows the
// server's timing reports, as the median of the reports in each half second of recording,
// interpolated between them. A sink's clock may gain on the nominal rate (a null sink that
// renders short blocks rounds each one to whole microseconds and gains up to a few hundred
// parts per million), so no single line fits a whole run. 99 in 100 reports lie within
// `spread` of their half second's median (their timing noise).
struct HeardTimeline {
    std::vector<double> offsets;   // per half second of recording, from its first frame on
    double spread = 0.0;
};
bool fitHeardTimeline(const std::vector<RecordMark>& marks, HeardTimeline& timeline, std::string& problem);

// CLOCK_MONOTONIC seconds at which music frame `musicFrame` (fractional) was heard.
double heardSeconds(const SoundAlignment& alignment, const HeardTimeline& timeline, double musicFrame);
// The same for a frame of the recording, and back: the recorded frame heard at `seconds`.
double recordedFrameSeconds(const HeardTimeline& timeline, double recordedFrame);
double recordedFrameAt(const HeardTimeline& timeline, double seconds);

// The first recorded frame from `fromRecorded` on where the music from `musicFrame` on sounds
// sample for sample for at least `frames` frames; -1 when it does not.
std::int64_t findMusicInRecording(const std::vector<std::int16_t>& music, const std::vector<std::int16_t>& recorded,
                                  std::int64_t musicFrame, std::int64_t frames, std::int64_t fromRecorded = 0);

// Each sample's time less the time its position was heard, over the samples whose position
// lies in the recorded music between its first and last sound: positive when the clock is behind the
// sound. Median, 95th percentile and the largest in size, in seconds.
struct OffsetFigures {
    std::size_t count = 0;
    double median = 0.0;
    double percentile95 = 0.0;
    double worst = 0.0;
};
OffsetFigures offsetsFromSound(const std::vector<ClockSample>& samples, const SoundAlignment& alignment,
                               const HeardTimeline& timeline);
