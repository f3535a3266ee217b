// The time a frame is drawn for. The music position is read when the frame starts, but the
// frame is seen only once it is drawn and swapped; drawn for the position read, every picture
// would trail its sound by that long. The prediction adds the time that usually passes from
// the read to the swap's return, learned from the last frames, so each picture shows the
// moment at which it appears. No GL, no clock of its own: callers hand it the times.
#pragma once

#include <array>
#include <cstddef>

struct FramePrediction {
    // The delays of the last frames, from reading the clock to the swap's return, in seconds.
    std::array<double, 15> recentDelays{};
    std::size_t delayCount = 0;       // how many of recentDelays hold a delay
    std::size_t nextDelay = 0;        // where the next one goes
    float lastDrawn = 0.0f;           // the time the last frame was drawn for
    bool exact = true;                // the next frame is drawn for its read time, without a delay
    bool lastExact = false;           // so was the frame drawn last: its delay is not learnt
    float standingAt = -1.0f;         // the read time the music stands at since a restart; -1 once it moved
    bool enabled = true;              // false: every frame is drawn for its read time (the frame-start clock)
};

// The longest delay the prediction adds: three frames at 60 Hz. A frame that takes longer is
// late whatever it shows, and predicting further would make the picture jump ahead of a
// sound that has not yet come.
constexpr double framePredictionMaxDelay = 0.05;

// The delays learnt before one is added: a single slow frame (the first draw of a part
// compiles what it draws) is not taken for the usual.
constexpr std::size_t framePredictionLearnt = 3;

// The delay the prediction adds now: the median of the recent delays, within 0 and the
// largest; 0 before framePredictionLearnt frames were shown.
double predictedDelay(const FramePrediction& prediction);

// The time to draw the frame for, given the position read at its start (seconds of music):
// read + the predicted delay (read alone after a restart until the music moves, or when
// disabled), never before the last frame's time and never past end.
float predictFrameTime(FramePrediction& prediction, float readTime, float end);

// The frame whose clock was read at readSeconds was shown (its swap returned) at
// shownSeconds: its delay joins the recent ones, unless it was drawn exactly after a restart,
// while the music had not moved yet: such delays hold one-off work (the first draws of a start
// compile and upload, the sound starts); learnt, they would put the next frames ahead of their
// sound by that long.
void frameShown(FramePrediction& prediction, double readSeconds, double shownSeconds);

// The next frame is drawn exactly for its read time: at a start, a late start and a resume,
// where the music starts from a standstill. The frame after it predicts again. With
// `fromTime` (a seek, a loop), frames may also go back to that time.
void restartPrediction(FramePrediction& prediction);
void restartPrediction(FramePrediction& prediction, float fromTime);
