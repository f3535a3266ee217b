// The player's clock: the decoded music played on the sound output, whose heard position is
// the show's time; the frame prediction on top of it; the frames' showing times with paused
// time taken out, for the report at the end; the clock log; and what went wrong with the
// sound. The one place that turns the music's bytes into seconds.
#pragma once

#include "host/framePrediction.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct AudioOutput;
struct FrameClock;
struct LoadError;

struct PlayerClock {
    std::vector<std::int16_t> music;   // decoded, 44100 Hz stereo
    AudioOutput* output = nullptr;
    FramePrediction prediction;
    // Seconds on the report's clock (monotonic, paused time taken out): when the music
    // started and when each frame's swap returned. Reserved up front, so the frame path does
    // not allocate.
    double startSeconds = 0.0;
    std::vector<double> shownSeconds;
    // KESU_CLOCK_LOG=FILE: one line per frame, "SWAP POSITION DRAWN READ": the monotonic
    // seconds when the frame's swap returned, the music position in seconds read at the
    // frame's start, the time the frame was drawn for, and the monotonic seconds when the
    // position was read. Lines gather in a buffer sized for a whole run, so no frame waits on
    // the disk.
    FILE* log = nullptr;
    std::vector<char> logBuffer;
};

bool decodePlayerMusic(PlayerClock& clock, const std::string& path, LoadError& error);

// Opens the sound output, paused (silent when none opens, which is said), and the clock log
// when a path is given; frames are predicted unless predictFrames is false.
void openPlayerClock(PlayerClock& clock, bool predictFrames, const std::string& logPath);
bool playerClockSilent(const PlayerClock& clock);

// The music starts at `seconds`, and the report's clock with it.
void startPlayerClock(PlayerClock& clock, double seconds);
// The music starts again at `seconds`, what was queued thrown away; the next frame is drawn
// for startFrame exactly (the session's start frame, which may lie before the last frame).
void restartPlayerClock(PlayerClock& clock, double seconds, float startFrame);
// Paused, the clock stands; resumed, the next frame is drawn for the position read.
void pausePlayerClock(PlayerClock& clock, bool paused);

// The music's level, 0 to 1 on the mixers' cubic curve; neither the clock nor a byte moves.
void setPlayerVolume(PlayerClock& clock, double level);

// Seconds of music heard now.
double playerClockSeconds(PlayerClock& clock);
// A frame's clock: the position read now, and when.
void readPlayerClock(PlayerClock& clock, FrameClock& frame);
// The time to draw that frame for: when it will be seen.
float playerDrawTime(PlayerClock& clock, const FrameClock& frame);
// The frame read at that clock was shown just now.
void playerFrameShown(PlayerClock& clock, const FrameClock& frame);

// The run's one line on stdout: its frames, how fast and how many came late, on a display of
// refreshHz (0: unknown), and how often the show started when it looped.
void printPlayerReport(const PlayerClock& clock, int refreshHz, int passes);

// The music stopped and the output closed, the decoded music freed; what went wrong with the
// sound is said first.
void stopPlayerClock(PlayerClock& clock);
// The output closed, when it still is open (a close request leaves the music playing to the
// end), and the clock log written out.
void closePlayerClock(PlayerClock& clock);
