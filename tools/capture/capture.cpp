// kesu-capture: renders the demo offline in the working directory (it reads data/ from there)
// through the same asset set-up and frame composer as the player, on a fixed clock that
// starts at 0 whatever the span, at any size and frame rate, independent of real-time speed.
//
//   kesu-capture [--size WxH] [--fps N|N/M] [--from T] [--to T] --out FILE.mp4
//   kesu-capture [--size WxH] [--fps N|N/M] [--from T] [--to T] --out DIR
//   kesu-capture [--size WxH] [--fps N|N/M] --at T [--at T]... --out DIR
//   kesu-capture [--size WxH] [--fps N|N/M] [--from T] [--to T] --contact-sheet FILE.png|.jpg [--count N]
//   kesu-capture [--size WxH] [--fps N|N/M] [--from T] [--to T] --bench
//   kesu-capture [--size WxH] --check-gl
// --check-gl, alone or with any form, also checks glGetError after each effect draw and stops
// with status 1 at the first error; alone it runs the whole 173 s.
#include "effects/drawKit.h"
#include "host/renderWindow.h"
#include "platform/audio.h"
#include "platform/jpegEncoder.h"
#include "platform/loadError.h"
#include "platform/pngWriter.h"
#include "platform/window.h"
#include "textures/texture.h"
#include "timeline/demoTimeline.h"
#include "tools/capture/captureClock.h"
#include "tools/capture/contactSheet.h"
#include "tools/capture/videoEncoder.h"

#include <GL/gl.h>

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr double demoLength = 173.0;

enum Mode { MODE_CHECK, MODE_PICKS, MODE_SEQUENCE, MODE_VIDEO, MODE_SHEET, MODE_BENCH };

struct Options {
    Mode mode = MODE_CHECK;
    int width = 1280;
    int height = 720;
    bool sizeGiven = false;
    FrameRate rate;
    double from = 0.0;
    double to = demoLength;
    bool spanGiven = false;
    std::vector<double> times;
    std::string out;
    std::string sheetPath;
    int count = 12;
    bool countGiven = false;
    bool bench = false;
    bool checkGl = false;
};

void printUsage()
{
    std::fprintf(stderr,
                 "usage: kesu-capture [--size WxH] [--fps N|N/M] [--from T] [--to T] --out FILE.mp4\n"
                 "       kesu-capture [--size WxH] [--fps N|N/M] [--from T] [--to T] --out DIR\n"
                 "       kesu-capture [--size WxH] [--fps N|N/M] --at T [--at T]... --out DIR\n"
                 "       kesu-capture [--size WxH] [--fps N|N/M] [--from T] [--to T] --contact-sheet FILE.png"
                 "|.jpg [--count N]\n"
                 "       kesu-capture [--size WxH] [--fps N|N/M] [--from T] [--to T] --bench\n"
                 "       kesu-capture [--size WxH] --check-gl\n"
                 "Run in a folder holding data/. Times are seconds of music, 0 to 173; the span is\n"
                 "[--from, --to), by default the whole demo. --size defaults to 1280x720 (320x180 per\n"
                 "contact-sheet tile), --fps to 60, --count to 12. FILE.mp4 needs ffmpeg.\n");
}

bool fail(const std::string& message)
{
    std::fprintf(stderr, "kesu-capture: %s\n", message.c_str());
    return false;
}

bool parseSize(const std::string& text, int& width, int& height)
{
    char extra = 0;
    if (std::sscanf(text.c_str(), "%dx%d%c", &width, &height, &extra) != 2) return false;
    return width >= 1 && height >= 1 && width <= 8192 && height <= 8192;
}

bool parseTime(const std::string& text, double& time)
{
    char* end = nullptr;
    time = std::strtod(text.c_str(), &end);
    return !text.empty() && end && *end == '\0' && std::isfinite(time) && time >= 0.0 && time <= demoLength;
}

bool endsWith(const std::string& text, const std::string& tail)
{
    if (text.size() < tail.size()) return false;
    return std::equal(tail.rbegin(), tail.rend(), text.rbegin(),
                      [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
}

bool parseOptions(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--timing" || name == "--bench") {
            options.bench = true;
            continue;
        }
        if (name == "--check-gl") {
            options.checkGl = true;
            continue;
        }
        const bool takesValue = name == "--size" || name == "--at" || name == "--out" || name == "--fps" ||
                                name == "--from" || name == "--to" || name == "--contact-sheet" || name == "--count";
        if (!takesValue) return fail("unknown argument \"" + name + "\"");
        if (i + 1 >= argc) return fail(name + " needs a value");
        const std::string value = argv[++i];
        if (name == "--size") {
            if (!parseSize(value, options.width, options.height)) {
                return fail("--size wants WIDTHxHEIGHT, each 1 to 8192, not \"" + value + "\"");
            }
            options.sizeGiven = true;
        } else if (name == "--fps") {
            if (!parseFrameRate(value, options.rate)) {
                return fail("--fps wants frames per second as N or N/M (like 60000/1001), 1 to 1000, not \"" +
                            value + "\"");
            }
        } else if (name == "--at" || name == "--from" || name == "--to") {
            double time = 0.0;
            if (!parseTime(value, time)) return fail(name + " wants seconds from 0 to 173, not \"" + value + "\"");
            if (name == "--at") {
                options.times.push_back(time);
            } else {
                (name == "--from" ? options.from : options.to) = time;
                options.spanGiven = true;
            }
        } else if (name == "--count") {
            char* end = nullptr;
            const long count = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || count < 1 || count > 1000) {
                return fail("--count wants a number of frames from 1 to 1000, not \"" + value + "\"");
            }
            options.count = static_cast<int>(count);
            options.countGiven = true;
        } else if (name == "--contact-sheet") {
            options.sheetPath = value;
        } else {
            options.out = value;
        }
    }

    const int outputs = (options.bench ? 1 : 0) + (options.sheetPath.empty() ? 0 : 1) + (options.out.empty() ? 0 : 1);
    if (outputs > 1) return fail("choose one of --out, --contact-sheet and --bench");
    if (options.countGiven && options.sheetPath.empty()) return fail("--count goes with --contact-sheet");
    if (!options.times.empty() && (options.bench || !options.sheetPath.empty())) {
        return fail("--at goes with --out DIR only");
    }
    if (!options.times.empty() && options.spanGiven) return fail("--at takes no --from or --to");
    if (options.from >= options.to) return fail("--from must come before --to");
    if (spanFrameCount(options.rate, options.from, options.to) == 0) {
        return fail("the span from --from to --to holds no frame at this frame rate");
    }

    if (options.bench) {
        options.mode = MODE_BENCH;
    } else if (!options.sheetPath.empty()) {
        options.mode = MODE_SHEET;
        if (!options.sizeGiven) {
            options.width = 320;
            options.height = 180;
        }
    } else if (!options.times.empty()) {
        if (options.out.empty()) return fail("--out is missing");
        if (endsWith(options.out, ".mp4")) return fail("--at writes PNG files into a folder, not " + options.out);
        options.mode = MODE_PICKS;
    } else if (!options.out.empty()) {
        options.mode = endsWith(options.out, ".mp4") ? MODE_VIDEO : MODE_SEQUENCE;
    } else if (!options.checkGl) {
        return fail("nothing to do: give --out, --contact-sheet, --bench or --check-gl");
    }
    if (options.mode == MODE_CHECK && options.spanGiven) return fail("--check-gl alone runs the whole demo");
    return true;
}

// The first GL error met by the --check-gl hook, with the draw and the clock it came after.
struct GlCheck {
    float demoTime = 0.0f;
    GLenum error = GL_NO_ERROR;
    std::string drawName;
};
GlCheck glCheck;
float checkedTime = 0.0f;

void checkGlAfterDraw(const char* drawName)
{
    const GLenum error = glGetError();
    if (error == GL_NO_ERROR || glCheck.error != GL_NO_ERROR) return;
    glCheck.error = error;
    glCheck.demoTime = checkedTime;
    glCheck.drawName = drawName;
}

bool glCheckFailed()
{
    if (glCheck.error == GL_NO_ERROR) return false;
    char message[160];
    std::snprintf(message, sizeof message, "GL error 0x%04X after %s at %.4f s", glCheck.error, glCheck.drawName.c_str(),
                  glCheck.demoTime);
    fail(message);
    return true;
}

// What the player does between opening its window and starting the music: the wait screen,
// the asset set-up and the GL state that holds for the whole run.
bool startDemo(RenderWindow& renderWindow, LoadError& error)
{
    const TextureId waitScreen = loadTexture(renderWindow, "data/w8scr.jpg", error);
    if (waitScreen == 0) return false;
    glClear(GL_COLOR_BUFFER_BIT);
    drawScreenTexture(waitScreen, -0.9f, -0.5f, -0.1f, -0.9f);
    if (!loadDemoAssets(renderWindow, error)) return false;
    setDemoRunState();
    return true;
}

std::string formatClock(double seconds)
{
    const long whole = std::lround(std::max(0.0, seconds));
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

// One line on stderr: rewritten in place on a terminal, otherwise a new line every few
// seconds so logs stay short.
struct Progress {
    std::size_t total = 0;
    double start = 0.0;
    double lastShown = 0.0;
    bool terminal = false;

    // The first line waits one interval, so its rate is not that of a single frame.
    explicit Progress(std::size_t frameCount)
        : total(frameCount), start(platformSeconds()), lastShown(start), terminal(isatty(2) != 0)
    {
    }

    void show(std::size_t done)
    {
        const double now = platformSeconds();
        const bool last = done == total;
        if (!last && now - lastShown < (terminal ? 0.5 : 10.0)) return;
        lastShown = now;
        const double elapsed = now - start;
        const double rate = elapsed > 0.0 ? static_cast<double>(done) / elapsed : 0.0;
        const double left = rate > 0.0 ? static_cast<double>(total - done) / rate : 0.0;
        std::fprintf(stderr, "%skesu-capture: %zu/%zu frames, %.1f frames/s, %s %s", terminal ? "\r" : "", done, total,
                     rate, last ? formatClock(elapsed).c_str() : formatClock(left).c_str(), last ? "in all" : "left");
        std::fprintf(stderr, terminal && !last ? "   " : "\n");
        std::fflush(stderr);
    }
};

// Composes every step in order, swapping after each; `onOutput` sees each frame that has an
// output index, before the swap, while its pixels are still in the back buffer.
bool runSteps(const std::vector<ClockStep>& steps, PlatformOffscreen& offscreen,
              const std::function<bool(const ClockStep&)>& onOutput)
{
    Progress progress(steps.size());
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const ClockStep& step = steps[i];
        checkedTime = step.demoTime;
        composeFrame(step.demoTime, step.previousTime);
        if (glCheckFailed()) return false;
        if (step.outputIndex >= 0 && onOutput && !onOutput(step)) return false;
        platformSwapBuffers(offscreen.window);
        progress.show(i + 1);
    }
    return true;
}

void readFrame(int width, int height, std::vector<std::uint8_t>& pixels)
{
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
}

bool writeFramePng(const std::string& path, int width, int height, std::vector<std::uint8_t>& pixels)
{
    // The screen shows no alpha; some effects clear it to 0, which would make the file transparent.
    for (std::size_t i = 3; i < pixels.size(); i += 4) pixels[i] = 255;
    std::string error;
    if (!writePng(path, pixels.data(), width, height, true, error)) return fail(error);
    return true;
}

bool makeFolder(const std::string& folder)
{
    std::error_code created;
    std::filesystem::create_directories(folder, created);
    if (created) return fail("cannot create " + folder + ": " + created.message());
    return true;
}

// Fails early, before minutes of rendering, when the file cannot be written; leaves no file
// behind that was not there before.
bool checkWritable(const std::string& path)
{
    const bool existed = std::filesystem::exists(path);
    std::FILE* file = std::fopen(path.c_str(), "ab");
    if (!file) return fail("cannot write " + path + ": " + std::strerror(errno));
    std::fclose(file);
    if (!existed) std::remove(path.c_str());
    return true;
}

// "at-00012.500.png": zero-padded seconds, so the names sort in time order.
std::string pickPath(const std::string& outDir, double time)
{
    char name[64];
    std::snprintf(name, sizeof name, "at-%09.3f.png", time);
    return (std::filesystem::path(outDir) / name).string();
}

bool capturePicks(const Options& options, PlatformOffscreen& offscreen)
{
    if (!makeFolder(options.out)) return false;
    std::vector<std::int64_t> wanted;
    for (double time : options.times) wanted.push_back(gridFrameAt(options.rate, time));
    const std::int64_t lastFrame = *std::max_element(wanted.begin(), wanted.end());
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(options.width) * options.height * 4);
    std::vector<ClockStep> steps = planGrid(options.rate, lastFrame);
    for (ClockStep& step : steps) {
        if (std::find(wanted.begin(), wanted.end(), step.outputIndex) == wanted.end()) step.outputIndex = -1;
    }
    return runSteps(steps, offscreen, [&](const ClockStep& step) {
        readFrame(options.width, options.height, pixels);
        for (std::size_t i = 0; i < wanted.size(); ++i) {
            if (wanted[i] != step.outputIndex) continue;
            const std::string path = pickPath(options.out, options.times[i]);
            if (!writeFramePng(path, options.width, options.height, pixels)) return false;
            std::printf("%s\n", path.c_str());
        }
        return true;
    });
}

bool captureSequence(const Options& options, PlatformOffscreen& offscreen)
{
    if (!makeFolder(options.out)) return false;
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(options.width) * options.height * 4);
    const std::vector<ClockStep> steps = planSpan(options.rate, options.from, options.to);
    const bool done = runSteps(steps, offscreen, [&](const ClockStep& step) {
        char name[32];
        std::snprintf(name, sizeof name, "frame-%06lld.png", static_cast<long long>(step.outputIndex));
        readFrame(options.width, options.height, pixels);
        return writeFramePng((std::filesystem::path(options.out) / name).string(), options.width, options.height,
                             pixels);
    });
    if (done) {
        std::printf("%lld frames in %s\n", static_cast<long long>(spanFrameCount(options.rate, options.from, options.to)),
                    options.out.c_str());
    }
    return done;
}

// Before any rendering: ffmpeg is there, the file can be written, and the music is cut to
// the span and written where ffmpeg will read it.
bool prepareVideo(const Options& options, VideoSettings& settings)
{
    settings.ffmpegPath = findProgram("ffmpeg");
    if (settings.ffmpegPath.empty()) {
        return fail("ffmpeg is not installed (no ffmpeg on PATH), so no " + options.out +
                    " can be made; install it (scripts/setup.sh does, or `apt-get install ffmpeg`), or write a"
                    " PNG sequence with --out DIR");
    }
    if (!checkWritable(options.out)) return false;
    std::vector<std::int16_t> music;
    LoadError loadError;
    if (!decodeMp3File("data/little.mp3", music, loadError)) return fail(formatLoadError(loadError));
    const std::int64_t frameCount = spanFrameCount(options.rate, options.from, options.to);
    const std::vector<std::int16_t> cut =
        cutAudio(music, audioSampleOfTime(options.from), audioSampleOfFrame(options.rate, frameCount));
    settings.audioPath =
        (std::filesystem::temp_directory_path() / ("kesu-capture-" + std::to_string(getpid()) + ".wav")).string();
    std::string error;
    if (!writeWav(settings.audioPath, cut, error)) return fail(error);
    settings.outputPath = options.out;
    settings.width = options.width;
    settings.height = options.height;
    settings.rate = options.rate;
    return true;
}

bool captureVideo(const Options& options, const VideoSettings& settings, PlatformOffscreen& offscreen)
{
    VideoEncoder encoder;
    std::string error;
    if (!startVideo(encoder, settings, error)) return fail(error);
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(options.width) * options.height * 4);
    bool done = runSteps(planSpan(options.rate, options.from, options.to), offscreen, [&](const ClockStep&) {
        readFrame(options.width, options.height, pixels);
        return encodeFrame(encoder, pixels.data(), pixels.size(), error) || fail(error);
    });
    if (!finishVideo(encoder, error)) done = fail(error);
    if (!done) {
        std::remove(options.out.c_str());
        return false;
    }
    std::printf("%s: %lld frames at %s fps, %.3f s with sound\n", options.out.c_str(),
                static_cast<long long>(spanFrameCount(options.rate, options.from, options.to)),
                (std::to_string(options.rate.numerator) +
                 (options.rate.denominator == 1 ? "" : "/" + std::to_string(options.rate.denominator)))
                    .c_str(),
                static_cast<double>(spanFrameCount(options.rate, options.from, options.to)) /
                    framesPerSecond(options.rate));
    return true;
}

// PNG, or JPEG for a name ending in .jpg or .jpeg: a sheet of the whole demo is photographic
// enough that JPEG keeps it a few hundred kilobytes where PNG takes over a megabyte.
bool writeSheet(const std::string& path, const ContactSheet& sheet, std::string& error)
{
    if (!endsWith(path, ".jpg") && !endsWith(path, ".jpeg")) {
        return writePng(path, sheet.rgba.data(), sheet.width, sheet.height, false, error);
    }
    std::vector<std::uint8_t> rgb;
    rgb.reserve(sheet.rgba.size() / 4 * 3);
    for (std::size_t i = 0; i < sheet.rgba.size(); i += 4) rgb.insert(rgb.end(), &sheet.rgba[i], &sheet.rgba[i + 3]);
    return encodeJpeg(path, rgb.data(), sheet.width, sheet.height, 3, 82, false, error);
}

bool captureSheet(const Options& options, PlatformOffscreen& offscreen)
{
    if (!checkWritable(options.sheetPath)) return false;
    const std::vector<double> times = spreadTimes(options.from, options.to, options.count);
    std::vector<std::int64_t> wanted;
    for (double time : times) wanted.push_back(gridFrameAt(options.rate, time));
    std::vector<ClockStep> steps = planGrid(options.rate, wanted.back());
    for (ClockStep& step : steps) {
        if (std::find(wanted.begin(), wanted.end(), step.outputIndex) == wanted.end()) step.outputIndex = -1;
    }
    ContactSheet sheet = makeContactSheet(options.count, options.width, options.height);
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(options.width) * options.height * 4);
    const bool done = runSteps(steps, offscreen, [&](const ClockStep& step) {
        readFrame(options.width, options.height, pixels);
        for (std::size_t i = 0; i < wanted.size(); ++i) {
            if (wanted[i] == step.outputIndex) placeTile(sheet, static_cast<int>(i), pixels.data(), timeLabel(step.demoTime));
        }
        return true;
    });
    if (!done) return false;
    std::string error;
    if (!writeSheet(options.sheetPath, sheet, error)) return fail(error);
    std::printf("%s: %d frames, %dx%d\n", options.sheetPath.c_str(), options.count, sheet.width, sheet.height);
    return true;
}

struct TimingWindow {
    const char* name;
    float start;
    float end;
    std::vector<double> milliseconds;
};

// Nearest-rank percentile of the values, 0 < fraction <= 1.
double percentile(std::vector<double> values, double fraction)
{
    std::sort(values.begin(), values.end());
    const std::size_t rank = static_cast<std::size_t>(std::ceil(fraction * static_cast<double>(values.size())));
    return values[std::max<std::size_t>(rank, 1) - 1];
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}

void printTimingRow(const char* name, const std::vector<double>& milliseconds)
{
    std::printf("%-36s %7zu %9.2f %9.2f %10.2f\n", name, milliseconds.size(), median(milliseconds),
                percentile(milliseconds, 0.95), *std::max_element(milliseconds.begin(), milliseconds.end()));
}

// Frames kept for the encoder measurement: a contiguous second (at most 60 frames) from the
// middle of the span, so the encoder sees real motion.
struct EncodeSample {
    std::int64_t firstOutput = 0;
    std::vector<std::vector<std::uint8_t>> frames;
};

// H.264 cost per frame: the kept frames through ffmpeg as a capture sends them, from the first
// byte to ffmpeg's exit, divided by the frame count. Negative when ffmpeg is missing or fails.
double measureVideoEncode(const Options& options, const EncodeSample& sample)
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
    if (seconds < 0.0) fail("encoder measurement: " + error);
    std::remove(settings.audioPath.c_str());
    std::remove(settings.outputPath.c_str());
    return seconds < 0.0 ? -1.0 : seconds * 1000.0 / static_cast<double>(sample.frames.size());
}

// Times every frame of the span from composition through glFinish, grouped by the effects
// drawing; then, apart from that, what reading a frame back and encoding it costs.
bool benchRun(const Options& options, PlatformOffscreen& offscreen, double contextMs, double loadMs)
{
    std::vector<TimingWindow> windows = {
        {"TitleStreams", 0.0f, 10.0f, {}},
        {"TitleStreams+BlindsMask+GrassScene", 10.0f, 17.5f, {}},
        {"GrassScene+WarpOverlay", 17.5f, 50.0f, {}},
        {"BlobOrbit", 50.0f, 65.0f, {}},
        {"FactoryRewind", 65.0f, 85.0f, {}},
        {"CubeCredits", 85.0f, 105.0f, {}},
        {"RobotCore", 105.0f, 135.0f, {}},
        {"FinaleSphere", 135.0f, 169.0f, {}},
        {"closing sequence", 169.0f, 173.0f, {}},
    };
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
    Progress progress(steps.size());
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const ClockStep& step = steps[i];
        checkedTime = step.demoTime;
        const double before = platformSeconds();
        composeFrame(step.demoTime, step.previousTime);
        glFinish();
        const double after = platformSeconds();
        if (glCheckFailed()) return false;
        if (step.outputIndex >= 0) {
            const double milliseconds = (after - before) * 1000.0;
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
                if (!writePng(pngPath, pixels.data(), options.width, options.height, true, error)) return fail(error);
                pngEncode.push_back((platformSeconds() - pngStart) * 1000.0);
            }
        }
        platformSwapBuffers(offscreen.window);
        progress.show(i + 1);
    }
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
        std::printf("%-36s %7s %9.2f   (median readback + H.264)\n", "readback + H.264", "", median(readback) + videoMs);
    } else {
        std::printf("%-36s   no ffmpeg on PATH, not measured\n", "H.264 (ffmpeg)");
    }
    return true;
}

// Plays every frame to 173 s; the GL check is the point of it.
bool checkRun(const Options& options, PlatformOffscreen& offscreen)
{
    const std::vector<ClockStep> steps = planGrid(options.rate, gridFrameAt(options.rate, demoLength));
    if (!runSteps(steps, offscreen, nullptr)) return false;
    std::printf("%zu frames to %.1f s without a GL error\n", steps.size(), demoLength);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    // An ffmpeg that stops must show as a failed write, not end this process.
    std::signal(SIGPIPE, SIG_IGN);
    const double launchTime = platformSeconds();
    Options options;
    if (!parseOptions(argc, argv, options)) {
        printUsage();
        return 1;
    }
    VideoSettings video;
    if (options.mode == MODE_VIDEO && !prepareVideo(options, video)) return 1;

    PlatformOffscreen offscreen;
    std::string error;
    if (!platformCreateOffscreen(options.width, options.height, offscreen, error)) {
        fail(error);
        if (!video.audioPath.empty()) std::remove(video.audioPath.c_str());
        return 1;
    }
    const double contextTime = platformSeconds();
    RenderWindow renderWindow;
    renderWindow.renderingContext = offscreen.context;
    renderWindow.instance = true;
    renderWindow.width = options.width;
    renderWindow.height = options.height;
    renderWindow.colourBits = 32;
    renderWindow.glActiveTextureARB = reinterpret_cast<ActiveTextureProc>(platformGlProc("glActiveTextureARB"));
    renderWindow.glMultiTexCoord2fvARB =
        reinterpret_cast<MultiTexCoord2fvProc>(platformGlProc("glMultiTexCoord2fvARB"));
    glViewport(0, 0, options.width, options.height);

    if (options.checkGl) setEffectCheck(checkGlAfterDraw);
    LoadError loadError;
    bool ok = startDemo(renderWindow, loadError);
    glFinish();
    const double loadedTime = platformSeconds();
    if (!ok) fail(formatLoadError(loadError));
    if (ok && options.checkGl) {
        checkGlAfterDraw("the start-up");
        ok = !glCheckFailed();
    }
    if (ok) {
        switch (options.mode) {
        case MODE_CHECK: ok = checkRun(options, offscreen); break;
        case MODE_PICKS: ok = capturePicks(options, offscreen); break;
        case MODE_SEQUENCE: ok = captureSequence(options, offscreen); break;
        case MODE_VIDEO: ok = captureVideo(options, video, offscreen); break;
        case MODE_SHEET: ok = captureSheet(options, offscreen); break;
        case MODE_BENCH:
            ok = benchRun(options, offscreen, (contextTime - launchTime) * 1000.0, (loadedTime - contextTime) * 1000.0);
            break;
        }
    }
    if (!video.audioPath.empty()) std::remove(video.audioPath.c_str());
    platformDestroyOffscreen(offscreen);
    return ok ? 0 : 1;
}
