// MP4 output of the capture tool: ffmpeg runs as a child process, reads raw RGBA frames
// (as GL reads them, bottom row first) from a pipe and the span's music from a WAV file,
// and writes H.264 video with AAC sound. Also the cut of the decoded music to the span.
// The process must ignore SIGPIPE, so that an ffmpeg that stops shows as a failed write.
#pragma once

#include "tools/capture/captureClock.h"

#include <cstdint>
#include <string>
#include <vector>

// Where `name` is on PATH (the first executable file of that name), or "" when nowhere.
std::string findProgram(const std::string& name);

// Stereo samples [firstSample, firstSample + sampleCount) of interleaved 16-bit stereo PCM;
// what lies past the end of the music is silence, so the cut always has sampleCount samples.
std::vector<std::int16_t> cutAudio(const std::vector<std::int16_t>& pcm, std::int64_t firstSample,
                                   std::int64_t sampleCount);

// A 44100 Hz 16-bit stereo WAV file. False with a message naming the file on failure.
bool writeWav(const std::string& path, const std::vector<std::int16_t>& pcm, std::string& error);

struct VideoSettings {
    std::string ffmpegPath;
    std::string outputPath;
    std::string audioPath;   // WAV holding exactly the span's samples
    int width = 0;
    int height = 0;
    FrameRate rate;
};

struct VideoEncoder {
    int processId = -1;
    int pipeFd = -1;
};

// Starts ffmpeg. False with a message when it cannot be started.
bool startVideo(VideoEncoder& encoder, const VideoSettings& settings, std::string& error);

// Hands one width x height RGBA frame to ffmpeg; blocks while ffmpeg is behind. False when
// ffmpeg has stopped taking frames.
bool encodeFrame(VideoEncoder& encoder, const std::uint8_t* rgbaBottomRowFirst, std::size_t bytes,
                 std::string& error);

// Closes the pipe and waits for ffmpeg to write the file. False when ffmpeg failed.
bool finishVideo(VideoEncoder& encoder, std::string& error);
