#include "tools/capture/captureBench.h"

#include "platform/pngWriter.h"
#include "platform/window.h"
#include "timeline/demoSchedule.h"
#include "timeline/runReport.h"
#include "tools/capture/captureLoop.h"
#include "tools/capture/captureOptions.h"
#include "tools/capture/captureOutput.h"

#include <GL/gl.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

struct TimingWindow {
    std::string name;
    float start;
    float end;
    std::vector<double> milliseconds;
};

// The stretches between consecutive window boundaries of the schedule, each named after the
// windows drawing in it: "TitleStreams+BlindsMask+GrassScene" from 10 to 17.5 s.
std::vector<TimingWindow> timingWindows()
{
    std::vector<float> bounds;
    for (const ScheduledWindow& entry : demoSchedule) {
        bounds.push_back(entry.window.start);
        bounds.push_back(entry.window.end);
    }
    std::sort(bounds.begin(), bounds.end());
    bounds.erase(std::unique(bounds.begin(), bounds.end()), bounds.end());
    std::vector<TimingWindow> windows;
    for (std::size_t i = 0; i + 1 < bounds.size(); ++i) {
        std::string name;
        for (const ScheduledWindow& entry : demoSchedule) {
            if (entry.window.start <= bounds[i] && bounds[i + 1] <= entry.window.end) {
                name += (name.empty() ? "" : "+") + std::string(entry.name);
            }
        }
        if (!name.empty()) windows.push_back({name, bounds[i], bounds[i + 1], {}});
    }
    return windows;
}

void printTimingRow(const std::string& name, const std::vector<double>& milliseconds)
{
    std::printf("%-36s %7zu %9.2f %9.2f %10.2f\n", name.c_str(), milliseconds.size(), medianOf(milliseconds),
                percentileOf(milliseconds, 0.95), *std::max_element(milliseconds.begin(), milliseconds.end()));
}

// Frames kept for the encoder measurement: a contiguous second (at most 60 frames) from the
// middle of the span, so the encoder sees real motion.
struct EncodeSample {
    std::int64_t firstOutput = 0;
    std::vector<std::vector<std::uint8_t>> frames;
};

// H.264 cost per frame: the kept frames through ffmpeg as a capture sends them, from the first
// byte to ffmpeg's exit, divided by the frame count. Negative when ffmpeg is missing or fails.
double measureVideoEncode(const CaptureOptions& options, const EncodeSample& sample)
{
    VideoSettings settings;
    settings.ffmpegPath = findProgram("ffmpeg");
    if (settings.ffmpegPath.empty() || sample.frames.empty()) return -1.0;
    const std::filesystem::path folder = std::filesystem::temp_directory_path();
    const std::string stem = "kesu-capture-bench-" + std::to_string(getpid());
    settings.audioPath = (folder / (stem + ".wav")).string();
    settings.outputPath = (folder / (stem + ".mp4")).string();
    settings.width = options.width;
    settings.height = options.height;
    settings.rate = options.rate;
    std::string error;
    const auto silence = std::vector<std::int16_t>(
        static_cast<std::size_t>(audioSampleOfFrame(options.rate, static_cast<std::int64_t>(sample.frames.size()))) * 2,
        0);
    double seconds = -1.0;
    VideoEncoder encoder;
    if (writeWav(settings.audioPath, silence, error)) {
        const double before = platformSeconds();
        bool ok = startVideo(encoder, settings, error);
        for (const auto& frame : sample.frames) ok = ok && encodeFrame(encoder, frame.data(), frame.size(), error);
        ok = finishVideo(encoder, error) && ok;
        if (ok) seconds = platformSeconds() - before;
    }
    if (seconds < 0.0) captureFail("encoder measurement: " + error);
    std::remove(settings.audioPath.c_str());
    std::remove(settings.outputPath.c_str());
    return seconds < 0.0 ? -1.0 : seconds * 1000.0 / static_cast<double>(sample.frames.size());
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

    std::vector<double> all, readback, pngEncode;
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(options.width) * options.height * 4);
    const std::string pngPath =
        (std::filesystem::temp_directory_path() / ("kesu-capture-bench-" + std::to_string(getpid()) + ".png")).string();
    const std::vector<ClockStep> steps = planSpan(options.rate, options.from, options.to);
    double before = 0.0;
    CaptureHooks hooks;
    hooks.beforeFrame = [&](const ClockStep&) { before = platformSeconds(); };
    hooks.onOutput = [&](const ClockStep& step) {
        glFinish();
        const double milliseconds = (platformSeconds() - before) * 1000.0;
        all.push_back(milliseconds);
        for (TimingWindow& window : windows) {
            if (window.start < step.demoTime && step.demoTime < window.end) window.milliseconds.push_back(milliseconds);
        }
        const double readStart = platformSeconds();
        readFrame(options.width, options.height, pixels);
        readback.push_back((platformSeconds() - readStart) * 1000.0);
        const std::int64_t kept = step.outputIndex - sample.firstOutput;
        if (kept >= 0 && kept < sampleCount) {
            sample.frames.push_back(pixels);
            const double pngStart = platformSeconds();
            std::string error;
            if (!writePng(pngPath, pixels.data(), options.width, options.height, true, error)) return captureFail(error);
            pngEncode.push_back((platformSeconds() - pngStart) * 1000.0);
        }
        return true;
    };
    if (!runCaptureSteps(session, steps, offscreen, hooks)) return false;
    std::remove(pngPath.c_str());

    std::printf("kesu-capture bench: %dx%d, %.3f fps, %.3f to %.3f s, %lld frames timed\n", options.width,
                options.height, framesPerSecond(options.rate), options.from, options.to,
                static_cast<long long>(frameCount));
    std::printf("load: GL context %.1f ms, assets %.1f ms\n", contextMs, loadMs);
    std::printf("rendering (composeFrame + glFinish, no readback), per frame:\n");
    std::printf("%-36s %7s %9s %9s %10s\n", "window", "frames", "median ms", "95th ms", "slowest ms");
    for (const TimingWindow& window : windows) {
        if (!window.milliseconds.empty()) printTimingRow(window.name, window.milliseconds);
    }
    printTimingRow("all frames", all);
    std::printf("readback and encoding, per frame:\n");
    printTimingRow("glReadPixels RGBA", readback);
    printTimingRow("PNG (libpng, to a file)", pngEncode);
    const double videoMs = measureVideoEncode(options, sample);
    if (videoMs >= 0.0) {
        std::printf("%-36s %7zu %9.2f   (ffmpeg libx264 medium crf 18, pipe to exit)\n", "H.264 (ffmpeg)",
                    sample.frames.size(), videoMs);
        std::printf("%-36s %7s %9.2f   (median readback + H.264)\n", "readback + H.264", "", medianOf(readback) + videoMs);
    } else {
        std::printf("%-36s   no ffmpeg on PATH, not measured\n", "H.264 (ffmpeg)");
    }
    return true;
}
