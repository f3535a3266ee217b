// The music on a browser's Web Audio (the page's KesuAudio): the browser decodes the file
// itself (mp3DecoderWeb.cpp hands it the bytes) into a buffer at 44100 Hz and plays it from
// the byte asked; what is heard is what the context's output timestamp says is leaving the
// speakers, which counts the output's latency already. No thread of its own: the clock asks
// for a report each time it is read.
#include "platform/sound/audioOutput.h"

#include <emscripten.h>

#include <cstdint>

namespace {

EM_JS(int, webAudioOpen, (), { return typeof KesuAudio !== "undefined" && KesuAudio.open() ? 1 : 0; });
EM_JS(void, webAudioStart, (double seconds, int paused), { KesuAudio.start(seconds, paused !== 0); });
EM_JS(void, webAudioPause, (int paused), { KesuAudio.pause(paused !== 0); });
EM_JS(void, webAudioStop, (), { KesuAudio.stop(); });
EM_JS(void, webAudioGain, (double gain), { KesuAudio.setGain(gain); });
// Fills heard[0] with the seconds of music heard at heard[1], the performance clock in
// seconds, and heard[2] with 1 while it plays on; 0 while nothing is heard yet.
EM_JS(int, webAudioHeard, (double* heard), {
    const now = KesuAudio.heard();
    if (!now) return 0;
    HEAPF64[heard >> 3] = now.seconds;
    HEAPF64[(heard >> 3) + 1] = now.performanceSeconds;
    HEAPF64[(heard >> 3) + 2] = now.playing ? 1 : 0;
    return 1;
});

bool wanted() { return true; }

bool openWebAudio(AudioOutput&, std::string& problem)
{
    if (webAudioOpen()) return true;
    problem = "this browser offers no Web Audio";
    return false;
}

void startWebAudio(AudioOutput& output, std::uint64_t startByte)
{
    webAudioStart(static_cast<double>(startByte) / AUDIO_BYTES_PER_SECOND, output.paused ? 1 : 0);
}

void pauseWebAudio(AudioOutput& output) { webAudioPause(output.paused ? 1 : 0); }
void stopWebAudio(AudioOutput&) { webAudioStop(); }
void closeWebAudio(AudioOutput&) { webAudioStop(); }

void volumeWebAudio(AudioOutput& output) { webAudioGain(audioGainOf(output.level)); }

void reportWebAudio(AudioOutput& output)
{
    double heard[3] = {};
    if (!webAudioHeard(heard)) return;
    AudioReport report;
    report.heardBytes = heard[0] * AUDIO_BYTES_PER_SECOND;
    report.monotonicSeconds = heard[1];
    report.playing = heard[2] != 0.0;
    report.handedBytes = UINT64_MAX;
    output.report.publish(report);
}

} // namespace

const AudioBackend webAudioBackend = {"Web Audio", wanted, openWebAudio, startWebAudio, pauseWebAudio, stopWebAudio, closeWebAudio, 0.0, reportWebAudio, volumeWebAudio};
