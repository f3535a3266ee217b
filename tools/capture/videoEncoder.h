// MP4 output of the capture tool: ffmpeg runs as a child process, reads raw RGBA frames
// (as GL reads them, bottom row first) from a pipe and the span's music from a WAV file,
// and writes H.264 video with AAC sound. Frames reach the pipe from a thread of their own
// through a short queue, so drawing goes on while ffmpeg takes a frame. Also the cut of the
// decoded music to the span. The process must ignore SIGPIPE, so that an ffmpeg that stops
// shows as a failed write.
#pragma once

#include "timeline/captureClock.h"

#include <cstdint>
#include <memory>
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

// The encoder's speed against the file's size and fidelity; each is an x264 preset and
// constant-quality factor (see videoQualities in the .cpp for the figures they were chosen by).
enum VideoQuality {
    VIDEO_DRAFT,
    VIDEO_NORMAL,
    VIDEO_ARCHIVE,
};

// "draft", "normal", "archive".
bool parseVideoQuality(const std::string& text, VideoQuality& quality);
// The x264 preset and crf a quality stands for, as ffmpeg is given them: "superfast crf 22".
std::string describeVideoQuality(VideoQuality quality);

struct VideoSettings {
    std::string ffmpegPath;
    std::string outputPath;
    std::string audioPath;   // WAV holding exactly the span's samples
    int width = 0;
    int height = 0;
    FrameRate rate;
    VideoQuality quality = VIDEO_NORMAL;
};

struct FrameQueue;

struct VideoEncoder {
    int processId = -1;
    int pipeFd = -1;
    std::unique_ptr<FrameQueue> queue;   // frames on their way to the pipe, and the thread writing them

    VideoEncoder();
    ~VideoEncoder();
    VideoEncoder(const VideoEncoder&) = delete;
    VideoEncoder& operator=(const VideoEncoder&) = delete;
};

// Starts ffmpeg and the thread that feeds it. False with a message when it cannot be started.
bool startVideo(VideoEncoder& encoder, const VideoSettings& settings, std::string& error);

// Queues one width x height RGBA frame for ffmpeg; blocks only while the queue is full, that
// is while ffmpeg is more than a few frames behind. False once ffmpeg has stopped taking frames.
bool encodeFrame(VideoEncoder& encoder, const std::uint8_t* rgbaBottomRowFirst, std::size_t bytes,
                 std::string& error);

// Writes out the queue, closes the pipe and waits for ffmpeg to write the file. False when a
// write or ffmpeg failed.
bool finishVideo(VideoEncoder& encoder, std::string& error);
