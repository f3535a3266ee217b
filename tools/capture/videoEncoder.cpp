#include "tools/capture/videoEncoder.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

extern char** environ;

// Frames between the drawing thread and the thread that writes them into ffmpeg's pipe.
// A few frames of slack let drawing run on while ffmpeg takes one; the buffers are made once
// and reused.
struct FrameQueue {
    static constexpr std::size_t capacity = 4;

    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::vector<std::uint8_t>> free;   // buffers ready for the next frame
    std::deque<std::vector<std::uint8_t>> full;    // frames in order, oldest first
    std::size_t made = 0;
    bool closing = false;   // no more frames come; the writer ends once the queue is empty
    bool failed = false;    // a write failed; later frames are dropped and the failure reported
    std::string error;
    std::thread writer;
};

namespace {

struct QualitySettings {
    const char* name;
    const char* preset;
    const char* crf;
};

// Chosen by encoding one second of each part of the demo at 1280 x 720, 60 fps (processor
// time per frame, the size a whole demo would take, SSIM against the drawn frames):
//   ultrafast crf 26:  4 ms, 256 MB, 0.940     veryfast crf 21:  17 ms, 177 MB, 0.970
//   superfast crf 22: 12 ms, 218 MB, 0.970     medium crf 18:    48 ms, 266 MB, 0.984
// draft is the fastest preset, for a quick look; normal matches veryfast's fidelity for
// two thirds of its time, leaving the processor to the drawing, and keeps the demo under
// 300 MB without visible blocking; archive is the slow preset at a near-transparent crf.
// kesu-capture --bench measures the three on the frames it draws.
const QualitySettings videoQualities[] = {
    {"draft", "ultrafast", "26"},
    {"normal", "superfast", "22"},
    {"archive", "medium", "18"},
};

void writeFrames(FrameQueue& queue, int pipeFd)
{
    std::unique_lock<std::mutex> lock(queue.mutex);
    for (;;) {
        queue.changed.wait(lock, [&] { return !queue.full.empty() || queue.closing; });
        if (queue.full.empty()) return;
        std::vector<std::uint8_t> frame = std::move(queue.full.front());
        queue.full.pop_front();
        const bool skip = queue.failed;
        lock.unlock();
        std::size_t done = 0;
        std::string failure;
        while (!skip && done < frame.size()) {
            const ssize_t written = write(pipeFd, frame.data() + done, frame.size() - done);
            if (written < 0 && errno == EINTR) continue;
            if (written <= 0) {
                failure = std::string("ffmpeg stopped taking frames: ") + std::strerror(errno);
                break;
            }
            done += static_cast<std::size_t>(written);
        }
        lock.lock();
        if (!failure.empty() && !queue.failed) {
            queue.failed = true;
            queue.error = failure;
        }
        queue.free.push_back(std::move(frame));
        queue.changed.notify_all();
    }
}

void putLittleEndian(std::vector<std::uint8_t>& bytes, std::uint32_t value, int byteCount)
{
    for (int i = 0; i < byteCount; ++i) bytes.push_back(static_cast<std::uint8_t>((value >> (8 * i)) & 0xFF));
}

void putTag(std::vector<std::uint8_t>& bytes, const char* tag)
{
    bytes.insert(bytes.end(), tag, tag + 4);
}

std::string rateText(const FrameRate& rate)
{
    return std::to_string(rate.numerator) + "/" + std::to_string(rate.denominator);
}

} // namespace

std::string findProgram(const std::string& name)
{
    const char* path = std::getenv("PATH");
    if (!path) return "";
    const std::string folders = path;
    std::size_t start = 0;
    while (start <= folders.size()) {
        std::size_t end = folders.find(':', start);
        if (end == std::string::npos) end = folders.size();
        // An empty entry means the working directory.
        const std::string folder = end > start ? folders.substr(start, end - start) : ".";
        const std::string candidate = folder + "/" + name;
        struct stat info;
        if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
        start = end + 1;
    }
    return "";
}

std::vector<std::int16_t> cutAudio(const std::vector<std::int16_t>& pcm, std::int64_t firstSample,
                                   std::int64_t sampleCount)
{
    std::vector<std::int16_t> cut(static_cast<std::size_t>(sampleCount) * 2, 0);
    const std::int64_t musicSamples = static_cast<std::int64_t>(pcm.size() / 2);
    for (std::int64_t i = 0; i < sampleCount; ++i) {
        const std::int64_t source = firstSample + i;
        if (source < 0 || source >= musicSamples) continue;
        cut[static_cast<std::size_t>(2 * i)] = pcm[static_cast<std::size_t>(2 * source)];
        cut[static_cast<std::size_t>(2 * i + 1)] = pcm[static_cast<std::size_t>(2 * source + 1)];
    }
    return cut;
}

bool writeWav(const std::string& path, const std::vector<std::int16_t>& pcm, std::string& error)
{
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(pcm.size() * 2);
    std::vector<std::uint8_t> bytes;
    bytes.reserve(44 + dataBytes);
    putTag(bytes, "RIFF");
    putLittleEndian(bytes, 36 + dataBytes, 4);
    putTag(bytes, "WAVE");
    putTag(bytes, "fmt ");
    putLittleEndian(bytes, 16, 4);            // size of the format block
    putLittleEndian(bytes, 1, 2);             // integer PCM
    putLittleEndian(bytes, 2, 2);             // channels
    putLittleEndian(bytes, 44100, 4);         // samples per second
    putLittleEndian(bytes, 44100 * 4, 4);     // bytes per second
    putLittleEndian(bytes, 4, 2);             // bytes per stereo sample
    putLittleEndian(bytes, 16, 2);            // bits per channel sample
    putTag(bytes, "data");
    putLittleEndian(bytes, dataBytes, 4);
    for (std::int16_t sample : pcm) putLittleEndian(bytes, static_cast<std::uint16_t>(sample), 2);

    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        error = path + ": cannot write: " + std::strerror(errno);
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        error = path + ": cannot write the whole sound file";
        return false;
    }
    return true;
}

VideoEncoder::VideoEncoder() = default;

VideoEncoder::~VideoEncoder()
{
    std::string ignored;
    finishVideo(*this, ignored);
}

bool parseVideoQuality(const std::string& text, VideoQuality& quality)
{
    for (int i = 0; i < 3; ++i) {
        if (text == videoQualities[i].name) {
            quality = static_cast<VideoQuality>(i);
            return true;
        }
    }
    return false;
}

std::string describeVideoQuality(VideoQuality quality)
{
    const QualitySettings& settings = videoQualities[quality];
    return std::string(settings.preset) + " crf " + settings.crf;
}

bool startVideo(VideoEncoder& encoder, const VideoSettings& settings, std::string& error)
{
    int fds[2];
    if (pipe(fds) != 0) {
        error = std::string("cannot make a pipe to ffmpeg: ") + std::strerror(errno);
        return false;
    }
    const std::string size = std::to_string(settings.width) + "x" + std::to_string(settings.height);
    // GL rows come bottom first; H.264 in 4:2:0 needs even sides, so an odd side gets one
    // black row or column.
    const std::vector<std::string> args = {
        settings.ffmpegPath, "-hide_banner", "-loglevel", "error", "-y",
        "-f", "rawvideo", "-pix_fmt", "rgba", "-video_size", size, "-framerate", rateText(settings.rate),
        "-i", "pipe:0",
        "-i", settings.audioPath,
        "-map", "0:v", "-map", "1:a",
        "-vf", "vflip,pad=ceil(iw/2)*2:ceil(ih/2)*2",
        "-c:v", "libx264", "-preset", videoQualities[settings.quality].preset,
        "-crf", videoQualities[settings.quality].crf, "-pix_fmt", "yuv420p",
        "-c:a", "aac", "-b:a", "192k",
        "-movflags", "+faststart",
        settings.outputPath};
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[0], 0);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
    pid_t child = -1;
    const int spawned = posix_spawn(&child, settings.ffmpegPath.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[0]);
    if (spawned != 0) {
        close(fds[1]);
        error = "cannot start " + settings.ffmpegPath + ": " + std::strerror(spawned);
        return false;
    }
    // The write end must not leak into other children.
    fcntl(fds[1], F_SETFD, FD_CLOEXEC);
    encoder.processId = child;
    encoder.pipeFd = fds[1];
    encoder.queue = std::make_unique<FrameQueue>();
    FrameQueue& queue = *encoder.queue;
    queue.writer = std::thread([&queue, pipeFd = encoder.pipeFd] { writeFrames(queue, pipeFd); });
    return true;
}

bool encodeFrame(VideoEncoder& encoder, const std::uint8_t* rgbaBottomRowFirst, std::size_t bytes,
                 std::string& error)
{
    FrameQueue& queue = *encoder.queue;
    std::vector<std::uint8_t> frame;
    {
        std::unique_lock<std::mutex> lock(queue.mutex);
        queue.changed.wait(lock, [&] { return queue.failed || !queue.free.empty() || queue.made < queue.capacity; });
        if (queue.failed) {
            error = queue.error;
            return false;
        }
        if (queue.free.empty()) {
            ++queue.made;
        } else {
            frame = std::move(queue.free.back());
            queue.free.pop_back();
        }
    }
    frame.assign(rgbaBottomRowFirst, rgbaBottomRowFirst + bytes);
    std::lock_guard<std::mutex> lock(queue.mutex);
    queue.full.push_back(std::move(frame));
    queue.changed.notify_all();
    return true;
}

bool finishVideo(VideoEncoder& encoder, std::string& error)
{
    bool written = true;
    if (encoder.queue) {
        FrameQueue& queue = *encoder.queue;
        {
            std::lock_guard<std::mutex> lock(queue.mutex);
            queue.closing = true;
            queue.changed.notify_all();
        }
        if (queue.writer.joinable()) queue.writer.join();
        if (queue.failed) {
            error = queue.error;
            written = false;
        }
        encoder.queue.reset();
    }
    if (encoder.pipeFd >= 0) close(encoder.pipeFd);
    encoder.pipeFd = -1;
    if (encoder.processId < 0) return written;
    int status = 0;
    pid_t waited;
    do {
        waited = waitpid(encoder.processId, &status, 0);
    } while (waited < 0 && errno == EINTR);
    encoder.processId = -1;
    if (waited < 0) {
        error = std::string("cannot wait for ffmpeg: ") + std::strerror(errno);
        return false;
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return written;
    error = WIFEXITED(status) ? "ffmpeg failed with exit status " + std::to_string(WEXITSTATUS(status))
                              : "ffmpeg ended by signal " + std::to_string(WTERMSIG(status));
    return false;
}
