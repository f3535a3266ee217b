#include "host/playerClock.h"

#include "host/playerMessages.h"
#include "platform/files/loadError.h"
#include "platform/sound/audio.h"
#include "platform/sound/mp3Decoder.h"
#include "platform/system/monotonicClock.h"
#include "timeline/demoSchedule.h"
#include "timeline/demoSession.h"
#include "timeline/runReport.h"

#include <cerrno>
#include <cstring>

namespace {

std::uint32_t musicByteAt(double seconds)
{
    return static_cast<std::uint32_t>(audioSampleOfTime(seconds)) * AUDIO_BYTES_PER_FRAME;
}

// The frame-rate report's clock: monotonic time less the time spent paused.
double playedSeconds(const PlayerClock& clock)
{
    return platformMonotonicSeconds() - audioPausedSeconds(clock.output);
}

void openClockLog(PlayerClock& clock, const std::string& path)
{
    if (path.empty()) return;
    clock.log = std::fopen(path.c_str(), "w");
    if (!clock.log) {
        playerSay(path + ": cannot write the clock log (" + std::strerror(errno) + "); playing without it");
        return;
    }
    // About 40 bytes a line: room for 173 s at over 500 frames per second before a flush.
    clock.logBuffer.resize(4u << 20);
    std::setvbuf(clock.log, clock.logBuffer.data(), _IOFBF, clock.logBuffer.size());
}

// Each time the server ran out of music or skipped it is a click the pictures do not show,
// and while it was away the music was silent.
void sayTrouble(const AudioTrouble& trouble)
{
    if (trouble.underruns > 0)
        playerSay("the sound server ran out of music " + std::to_string(trouble.underruns) +
                  " times during the run (heard as clicks); the machine was too busy to feed it");
    char text[200];
    if (trouble.dropouts > 0) {
        std::snprintf(text, sizeof text,
                      "the sound server skipped the music %u times during the run (%.1f ms of silence in all, heard "
                      "as clicks); it was too busy to serve it",
                      trouble.dropouts, trouble.droppedSeconds * 1000.0);
        playerSay(text);
    }
    if (trouble.silentSeconds > 0.0) {
        std::snprintf(text, sizeof text, "the music was silent for %.1f s of the run while the sound server was away",
                      trouble.silentSeconds);
        playerSay(text);
    }
}

void closeOutput(PlayerClock& clock)
{
    if (!clock.output) return;
    sayTrouble(audioTrouble(clock.output));
    audioClose(clock.output);
    clock.output = nullptr;
}

} // namespace

bool decodePlayerMusic(PlayerClock& clock, const std::string& path, LoadError& error)
{
    return decodeMp3File(path, clock.music, error);
}

void openPlayerClock(PlayerClock& clock, bool predictFrames, const std::string& logPath)
{
    std::string message;
    clock.output = audioOpen(message, [](const std::string& text) { playerSay(text); });
    if (!message.empty()) playerSay(message);
    // Room for a thousand frames a second over the whole run, so the frame path never allocates.
    clock.shownSeconds.reserve(static_cast<std::size_t>(demoLength * 1000.0f));
    openClockLog(clock, logPath);
    clock.prediction.enabled = predictFrames;
}

bool playerClockSilent(const PlayerClock& clock) { return audioIsSilent(clock.output); }

void startPlayerClock(PlayerClock& clock, double seconds)
{
    restartPrediction(clock.prediction);
    audioPlay(clock.output, &clock.music, musicByteAt(seconds));
    clock.startSeconds = playedSeconds(clock);
}

void restartPlayerClock(PlayerClock& clock, double seconds, float startFrame)
{
    audioRestart(clock.output, musicByteAt(seconds));
    restartPrediction(clock.prediction, startFrame);
}

void pausePlayerClock(PlayerClock& clock, bool paused)
{
    audioPause(clock.output, paused);
    if (!paused) restartPrediction(clock.prediction);
}

void setPlayerVolume(PlayerClock& clock, double level) { audioSetVolume(clock.output, level); }

double playerClockSeconds(PlayerClock& clock)
{
    return audioPosition(clock.output) / static_cast<double>(AUDIO_BYTES_PER_SECOND);
}

void readPlayerClock(PlayerClock& clock, FrameClock& frame)
{
    frame.readSeconds = platformMonotonicSeconds();
    frame.readTime = static_cast<float>(playerClockSeconds(clock));
}

float playerDrawTime(PlayerClock& clock, const FrameClock& frame)
{
    return predictFrameTime(clock.prediction, frame.readTime, demoLength);
}

void playerFrameShown(PlayerClock& clock, const FrameClock& frame)
{
    const double shown = platformMonotonicSeconds();
    frameShown(clock.prediction, frame.readSeconds, shown);
    if (clock.shownSeconds.size() < clock.shownSeconds.capacity()) clock.shownSeconds.push_back(playedSeconds(clock));
    if (clock.log) {
        std::fprintf(clock.log, "%.6f %.6f %.6f %.6f\n", shown, static_cast<double>(frame.readTime),
                     static_cast<double>(frame.drawnTime), frame.readSeconds);
    }
}

void printPlayerReport(const PlayerClock& clock, int refreshHz, int passes)
{
    const RunReport report = summarizeRun(clock.shownSeconds, clock.startSeconds, refreshHz);
    std::string looped;
    if (passes > 1) looped = "; the show started " + std::to_string(passes) + " times (looping)";
    std::printf("kesu: %s%s\n", describeRunReport(report).c_str(), looped.c_str());
    std::fflush(stdout);
}

void stopPlayerClock(PlayerClock& clock)
{
    audioStop(clock.output);
    closeOutput(clock);
    clock.music.clear();
    clock.music.shrink_to_fit();
}

void closePlayerClock(PlayerClock& clock)
{
    if (clock.log && std::fclose(clock.log) != 0)
        playerSay(std::string("the clock log is incomplete: ") + std::strerror(errno));
    clock.log = nullptr;
    closeOutput(clock);
}
