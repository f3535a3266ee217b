// The music on SDL's audio device: its callback copies the music into each buffer the device
// asks for and reports what is heard, which it takes to be everything handed over less the two
// buffers the device holds.
#include "platform/sound/audioOutput.h"

#include "platform/system/monotonicClock.h"

#include <SDL.h>

#include <algorithm>

namespace {

// Buffers of 512 frames (11.6 ms); the device is taken to hold about two of them.
constexpr int deviceBufferFrames = 512;

// The callback's own; the caller's thread changes it only under SDL_LockAudioDevice.
struct DeviceOutput {
    SDL_AudioDeviceID device = 0;
    std::uint32_t heldBytes = 0;     // what the device holds after a callback
    std::uint64_t handedBytes = 0;   // the music byte the next buffer starts at
    bool feeding = false;            // false until a start and after a stop: silence, no reports
};

DeviceOutput& deviceOf(AudioOutput& output) { return *static_cast<DeviceOutput*>(output.backendData); }

void fillDevice(void* user, Uint8* stream, int length)
{
    AudioOutput& output = *static_cast<AudioOutput*>(user);
    DeviceOutput& device = deviceOf(output);
    if (!device.feeding) {
        std::fill(stream, stream + length, 0);
        return;
    }
    device.handedBytes = audioCopyMusic(output, device.handedBytes, stream, static_cast<std::size_t>(length));
    // The level, applied to this buffer: heard two buffers (23 ms) after it changes.
    const double gain = audioGainOf(output.level.load(std::memory_order_relaxed));
    if (gain < 1.0) {
        Sint16* samples = reinterpret_cast<Sint16*>(stream);
        const int count = length / static_cast<int>(sizeof(Sint16));
        const int scale = static_cast<int>(gain * 65536.0 + 0.5);
        for (int k = 0; k < count; ++k) samples[k] = static_cast<Sint16>((samples[k] * scale) >> 16);
    }
    // The device plays what it held before this buffer: the callback runs when it has room for
    // one more, so about two buffers are queued ahead of the speaker.
    AudioReport report;
    report.handedBytes = device.handedBytes;
    report.heardBytes = std::max(0.0, static_cast<double>(device.handedBytes) - device.heldBytes);
    report.monotonicSeconds = platformMonotonicSeconds();
    report.playing = true;
    output.report.publish(report);
}

bool deviceWanted() { return true; }

bool openDevice(AudioOutput& output, std::string& problem)
{
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        problem = std::string("SDL_InitSubSystem: ") + SDL_GetError();
        return false;
    }
    SDL_AudioSpec wanted{};
    wanted.freq = AUDIO_SAMPLE_RATE;
    wanted.format = AUDIO_S16LSB;
    wanted.channels = 2;
    wanted.samples = deviceBufferFrames;
    wanted.callback = fillDevice;
    wanted.userdata = &output;
    SDL_AudioSpec obtained{};
    DeviceOutput* device = new DeviceOutput;
    output.backendData = device;
    device->device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (device->device == 0) {
        problem = std::string("SDL_OpenAudioDevice: ") + SDL_GetError();
        delete device;
        output.backendData = nullptr;
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    device->heldBytes = 2u * obtained.samples * AUDIO_BYTES_PER_FRAME;
    return true;
}

// Changes what the callback feeds while it cannot run.
void feedFrom(DeviceOutput& device, bool feeding, std::uint64_t byte)
{
    SDL_LockAudioDevice(device.device);
    device.handedBytes = byte;
    device.feeding = feeding;
    SDL_UnlockAudioDevice(device.device);
}

// What the device still holds of the old music plays out: about two buffers.
void startDevice(AudioOutput& output, std::uint64_t startByte)
{
    feedFrom(deviceOf(output), true, startByte);
    SDL_PauseAudioDevice(deviceOf(output).device, output.paused ? 1 : 0);
}

void pauseDevice(AudioOutput& output) { SDL_PauseAudioDevice(deviceOf(output).device, output.paused ? 1 : 0); }

void stopDevice(AudioOutput& output)
{
    DeviceOutput& device = deviceOf(output);
    feedFrom(device, false, device.handedBytes);
    SDL_PauseAudioDevice(device.device, 1);
}

void closeDevice(AudioOutput& output)
{
    SDL_CloseAudioDevice(deviceOf(output).device);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    delete &deviceOf(output);
    output.backendData = nullptr;
}

} // namespace

const AudioBackend deviceBackend = {"SDL device", deviceWanted, openDevice, startDevice, pauseDevice, stopDevice, closeDevice, 0.25, nullptr, nullptr};
