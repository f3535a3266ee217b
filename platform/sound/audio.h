// The music's playback and its clock: the decoded PCM (mp3Decoder.h) played on the first
// output that opens, a sound server's stream, an SDL device or silence, with a position in
// bytes of that PCM that matches what is heard. The PCM buffer belongs to the caller and must
// outlive playback. Called from one thread; each output feeds itself on its own.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The decoded music: 44100 Hz x 2 channels x 2 bytes.
constexpr int AUDIO_SAMPLE_RATE = 44100;
constexpr std::uint32_t AUDIO_BYTES_PER_FRAME = 4;
constexpr std::uint32_t AUDIO_BYTES_PER_SECOND = AUDIO_SAMPLE_RATE * AUDIO_BYTES_PER_FRAME;

struct AudioOutput;   // opaque

// Told, on the output's own thread, what happens to the sound during the run: the sound
// server going away and coming back, once each time.
using AudioNotice = std::function<void(const std::string& text)>;

// Opens the default output for 44100 Hz stereo 16-bit, paused: a stream on the sound server
// when SDL_AUDIODRIVER is unset or names PulseAudio and a server answers, otherwise SDL's
// device. When neither can be opened, the output still exists and its clock runs on the
// monotonic clock; `message` then says why and that the demo plays silent. A server that goes
// away mid-run is followed on the monotonic clock and connected to again every second;
// `notice` hears of both.
AudioOutput* audioOpen(std::string& message, AudioNotice notice = nullptr);

// Whether the music may start now: a browser lets sound start only after the page had a click
// or a key, and once it has decoded the music; elsewhere always.
bool audioMayStart();
bool audioIsSilent(const AudioOutput* output);

// Plays `pcm` from byte startByte (rounded down to a whole frame); after the music the output
// plays silence. Same as audioRestart once the music is known.
void audioPlay(AudioOutput* output, const std::vector<std::int16_t>* pcm, std::uint32_t startByte = 0);

// Starts again at startByte, while playing or paused: what is queued is thrown away, the clock
// stands at startByte until that byte is heard (while paused it shows startByte at once), and
// may go back. On a sound server that is away, the clock moves there on the monotonic clock.
void audioRestart(AudioOutput* output, std::uint32_t startByte);

// Pauses or resumes the music; the clock holds still while paused and goes on from the same
// position on resume.
void audioPause(AudioOutput* output, bool paused);
// Seconds spent paused since the output opened, the pause under way included.
double audioPausedSeconds(const AudioOutput* output);

// Byte offset in the PCM of what is heard now, a multiple of 4. On a sound server: the
// server's own account of the sample leaving its sink, which counts everything queued in the
// stream and the sink, followed between its reports on the monotonic clock. On an SDL device:
// bytes handed to the device, less the two buffers it holds, followed softly between callbacks.
// Never goes backwards but at a restart, never runs ahead of the bytes handed over. Takes no
// lock that the feeding thread waits on.
std::uint32_t audioPosition(AudioOutput* output);

// What went wrong with the sound so far; all 0 on an SDL device, which does not say.
struct AudioTrouble {
    std::uint32_t underruns = 0;    // the server found the stream empty (each heard as a click)
    std::uint32_t dropouts = 0;     // the server skipped the stream without saying so (PipeWire)
    double droppedSeconds = 0.0;    // the silence those dropouts left
    double silentSeconds = 0.0;     // the server was away and the music silent
};
AudioTrouble audioTrouble(const AudioOutput* output);

// The music's level, 0 (silence) to 1 (as decoded), as a desktop mixer's slider gives it: the
// gain is the level cubed (0.5 is -18 dB). Applied where the sound is mixed (the server's
// stream volume, set when the stream opens so no level it remembered is used; the gain on
// each buffer handed to an SDL device; the page's gain node), so a change is heard within a
// buffer or two and no byte or clock position moves. 1 until set.
void audioSetVolume(AudioOutput* output, double level);
double audioVolume(const AudioOutput* output);
// The gain for a level: level cubed, 0 at or below 0, 1 at or above 1.
double audioGainOf(double level);

// Stops the music (silence from now on, the clock stays where it is) until a restart.
void audioStop(AudioOutput* output);
// Closes the output and frees it.
void audioClose(AudioOutput* output);
