#include "tools/capture/captureBench.h"

#include "platform/display/window.h"
#include "platform/files/pngWriter.h"
#include "platform/system/monotonicClock.h"
#include "timeline/demoSchedule.h"
#include "timeline/frameTimings.h"
#include "tools/capture/captureLoop.h"
#include "tools/capture/captureOptions.h"
#include "tools/capture/captureOutput.h"

#include <GL/gl.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

namespace {

double processorMilliseconds() { return static_cast<double>(std::clock()) * 1000.0 / CLOCKS_PER_SEC; }

// Frames kept for the encoder measurement: a contiguous second (at most 60 frames) from the
// middle of the span, so the encoder sees real motion.
struct EncodeSample {
    std::int64_t firstOutput = 0;
    std::vector<std::vector<std::uint8_t>> frames;
};

struct EncodeCost {
    double milliseconds = -1.0;   // per frame; negative when ffmpeg is missing or failed
    double bytes = 0.0;           // per frame, of the finished file
};

// H.264 at one quality: the kept frames through ffmpeg as a capture sends them, from the first
// byte to ffmpeg's exit, divided by the frame count, and the file's size per frame.
EncodeCost measureVideoEncode(const CaptureOptions& options, const EncodeSample& sample, VideoQuality quality)
{
    EncodeCost cost;
    VideoSettings settings;
    settings.ffmpegPath = findProgram("ffmpeg");
    if (settings.ffmpegPath.empty() || sample.frames.empty()) return cost;
    const std::filesystem::path folder = std::filesystem::temp_directory_path();
    const std::string stem = "kesu-capture-bench-" + std::to_string(getpid());
    settings.audioPath = (folder / (stem + ".wav")).string();
    settings.outputPath = (folder / (stem + ".mp4")).string();
    settings.width = options.width;
    settings.height = options.height;
    settings.rate = options.rate;
    settings.quality = quality;
    std::string error;
    const auto silence = std::vector<std::int16_t>(
        static_cast<std::size_t>(audioSampleOfFrame(options.rate, static_cast<std::int64_t>(sample.frames.size()))) * 2,
        0);
    double seconds = -1.0;
    VideoEncoder encoder;
    if (writeWav(settings.audioPath, silence, error)) {
        const double before = platformMonotonicSeconds();
        bool ok = startVideo(encoder, settings, error);
        for (const auto& frame : sample.frames) ok = ok && encodeFrame(encoder, frame.data(), frame.size(), error);
        ok = finishVideo(encoder, error) && ok;
        if (ok) seconds = platformMonotonicSeconds() - before;
    }
    if (seconds < 0.0) captureFail("encoder measurement: " + error);
    const double frames = static_cast<double>(sample.frames.size());
    std::error_code sized;
    const std::uintmax_t fileBytes = std::filesystem::file_size(settings.outputPath, sized);
    std::remove(settings.audioPath.c_str());
    std::remove(settings.outputPath.c_str());
    if (seconds < 0.0) return cost;
    cost.milliseconds = seconds * 1000.0 / frames;
    cost.bytes = sized ? 0.0 : static_cast<double>(fileBytes) / frames;
    return cost;
}

// Times every frame of the span from composition through glFinish, grouped by the effects
// drawing; then, apart from that, what reading a frame back and encoding it costs.
} // namespace

bool benchRun(const CaptureOptions& options, DemoSession& session, PlatformOffscreen& offscreen, double contextMs,
              double loadMs)
{
    std::vector<TimingWindow> windows = timingWindows();
    const std::int64_t frameCount = spanFrameCount(options.rate, options.from, options.to);
    EncodeSample sample;
    const std::int64_t sampleCount =
        std::min<std::int64_t>({frameCount, 60, std::llround(std::ceil(framesPerSecond(options.rate)))});
    sample.firstOutput = (frameCount - sampleCount) / 2;

    std::vector<double> all, allCpu, readback, pngEncode;
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(options.width) * options.height * 4);
    const std::string pngPath =
        (std::filesystem::temp_directory_path() / ("kesu-capture-bench-" + std::to_string(getpid()) + ".png")).string();
    const std::vector<ClockStep> steps = planSpan(options.rate, options.from, options.to);
    double before = 0.0;
    double cpuBefore = 0.0;
    CaptureHooks hooks;
    hooks.beforeFrame = [&](const ClockStep&) {
        // The frame before may still be filling: the timing starts once it is done.
        glFinish();
        before = platformMonotonicSeconds();
        cpuBefore = processorMilliseconds();
    };
    hooks.onOutput = [&](const ClockStep& step) {
        glFinish();
        const double milliseconds = (platformMonotonicSeconds() - before) * 1000.0;
        const double cpuMilliseconds = processorMilliseconds() - cpuBefore;
        all.push_back(milliseconds);
        allCpu.push_back(cpuMilliseconds);
        recordFrameTiming(windows, step.demoTime, milliseconds, cpuMilliseconds);
        const double readStart = platformMonotonicSeconds();
        readFrame(options.width, options.height, pixels);
        readback.push_back((platformMonotonicSeconds() - readStart) * 1000.0);
        const std::int64_t kept = step.outputIndex - sample.firstOutput;
        if (kept >= 0 && kept < sampleCount) {
            sample.frames.push_back(pixels);
            const double pngStart = platformMonotonicSeconds();
            std::string error;
            if (!writePng(pngPath, pixels.data(), options.width, options.height, true, error)) return captureFail(error);
            pngEncode.push_back((platformMonotonicSeconds() - pngStart) * 1000.0);
        }
        return true;
    };
    if (!runCaptureSteps(session, steps, offscreen, hooks, options.drawEveryFrame)) return false;
    std::remove(pngPath.c_str());

    std::printf("kesu-capture bench: %dx%d, %.3f fps, %.3f to %.3f s, %lld frames timed\n", options.width,
                options.height, framesPerSecond(options.rate), options.from, options.to,
                static_cast<long long>(frameCount));
    std::printf("load: GL context %.1f ms, assets %.1f ms\n", contextMs, loadMs);
    std::printf("rendering (composeFrame + glFinish, no readback), per frame; cpu: processor time of all threads:\n");
    printTimingHeading(true);
    printTimingWindows(windows);
    printTimingRow("all frames", all, allCpu);
    std::printf("readback and encoding, per frame:\n");
    printTimingRow("glReadPixels RGBA", readback);
    printTimingRow("PNG (libpng, to a file)", pngEncode);
    // Each --quality on the same frames, with the size a whole demo at this rate would take.
    for (VideoQuality quality : {VIDEO_DRAFT, VIDEO_NORMAL, VIDEO_ARCHIVE}) {
        const EncodeCost cost = measureVideoEncode(options, sample, quality);
        if (cost.milliseconds < 0.0) {
            std::printf("%-36s   no ffmpeg on PATH, not measured\n", "H.264 (ffmpeg)");
            break;
        }
        const std::string name = "H.264 (ffmpeg " + describeVideoQuality(quality) + ")";
        const double demoMegabytes = cost.bytes * framesPerSecond(options.rate) * demoLength / 1.0e6;
        std::printf("%-36s %7zu %9.2f   (pipe to exit; %.0f MB for the whole demo)\n", name.c_str(),
                    sample.frames.size(), cost.milliseconds, demoMegabytes);
    }
    return true;
}
