// The music: MP3 decoding with libmpg123 into 44100 Hz stereo signed 16-bit PCM, and its
// playback with a position clock in bytes of that PCM: on a PulseAudio (or PipeWire) server
// through libpulse when one answers, else through SDL2 audio. The PCM buffer belongs to the
// caller and must outlive playback.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct LoadError;

// Bytes per second of the decoded music: 44100 Hz x 2 channels x 2 bytes.
constexpr std::uint32_t AUDIO_BYTES_PER_SECOND = 176400;
constexpr int AUDIO_SAMPLE_RATE = 44100;

// Decodes the whole file, gapless (encoder delay and padding removed where the file's
// info tag gives them). Mono is duplicated into both channels; another sample rate is
// resampled to 44100 Hz. Interleaved left, right.
bool decodeMp3File(const std::string& path, std::vector<std::int16_t>& pcm, LoadError& error);

struct AudioOutput;   // opaque

// Told, on the output's own thread, what happens to the sound during the run: the sound
// server going away and coming back, once each time.
using AudioNotice = std::function<void(const std::string& text)>;

// Opens the default output for 44100 Hz stereo 16-bit, paused: a stream on the sound server
// when SDL_AUDIODRIVER is unset or "pulseaudio" and a server answers, otherwise SDL's device.
// When neither can be opened, the output still exists and its clock runs from the wall
// clock; `message` then says why and that the demo plays silent. A server that goes away
// mid-run is followed on the wall clock and connected to again every second; `notice` hears
// of both.
AudioOutput* audioOpen(std::string& message, AudioNotice notice = nullptr);
bool audioIsSilent(const AudioOutput* output);

// Starts playing the PCM from byte startByte (a multiple of 4); the clock starts there now.
void audioPlay(AudioOutput* output, const std::vector<std::int16_t>* pcm, std::uint32_t startByte = 0);

// Pauses or resumes the music; the clock holds still while paused and goes on from the same
// position on resume.
void audioPause(AudioOutput* output, bool paused);

// Byte offset in the PCM of what is heard now. On a sound server: the server's own account of
// the sample leaving its sink, which counts everything queued in the stream and the sink,
// followed between its reports on CLOCK_MONOTONIC. On an SDL device: bytes handed to the
// device, less the two buffers it holds, followed between callbacks the same way. Never
// goes backwards, never runs ahead of the bytes handed over; a multiple of 4. Takes no lock
// that the feeding thread waits on.
std::uint32_t audioPosition(AudioOutput* output);

// What went wrong with the sound so far; all 0 on an SDL device, which does not say.
struct AudioTrouble {
    std::uint32_t underruns = 0;    // the server found the stream empty (each heard as a click)
    std::uint32_t dropouts = 0;     // the server skipped the stream without saying so (PipeWire)
    double droppedSeconds = 0.0;    // the silence those dropouts left
    double silentSeconds = 0.0;     // the server was away and the music silent
};
AudioTrouble audioTrouble(const AudioOutput* output);

// Stops the stream (silence from now on, the clock stays where it is).
void audioStop(AudioOutput* output);
// Closes the device and frees the output.
void audioClose(AudioOutput* output);
