#include "tools/capture/captureOptions.h"

#include "platform/files/fileLookup.h"
#include "platform/system/environment.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

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

} // namespace

bool captureFail(const std::string& message)
{
    std::fprintf(stderr, "kesu-capture: %s\n", message.c_str());
    return false;
}

bool endsWithLower(const std::string& text, const std::string& tail)
{
    if (text.size() < tail.size()) return false;
    return std::equal(tail.rbegin(), tail.rend(), text.rbegin(),
                      [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
}

void printCaptureUsage(std::FILE* stream)
{
    std::fprintf(stream,
                 "usage: kesu-capture [--size WxH] [--fps N|N/M] [--from T] [--to T] [--quality Q] --out FILE.mp4\n"
                 "       kesu-capture [--size WxH] [--fps N|N/M] [--from T] [--to T] --out DIR\n"
                 "       kesu-capture [--fps N|N/M] [--from T] [--to T] --out FILE.wav\n"
                 "       kesu-capture [--size WxH] [--fps N|N/M] --at T [--at T]... --out DIR\n"
                 "       kesu-capture [--size WxH] [--fps N|N/M] [--from T] [--to T] --contact-sheet FILE.png"
                 "|.jpg [--count N]\n"
                 "       kesu-capture [--size WxH] [--fps N|N/M] [--from T] [--to T] --bench\n"
                 "       kesu-capture [--size WxH] --check-gl\n"
                 "       kesu-capture --help | --version\n"
                 "kesu-capture " KESU_VERSION " renders the Kesu Tamrick demo offline. Started in a folder\n"
                 "that holds data/, it renders that pack, otherwise the installed one in\n"
                 "%s. Times are seconds of music, 0 to 173; the span is\n"
                 "[--from, --to), by default the whole demo. --size defaults to 1280x720 (320x180 per\n"
                 "contact-sheet tile), --fps to 60, --count to 12. FILE.mp4 needs ffmpeg; --quality is\n"
                 "draft, normal (the default, under 300 MB for the whole demo at 720p60) or archive.\n"
                 "FILE.wav is the span's music alone, as the video carries it, for a PNG sequence.\n"
                 "The clock always runs from 0; frames before the span are only stepped, except those\n"
                 "its pictures build on. --every-frame draws them all, which only takes longer.\n",
                 installedDataFolder().c_str());
}

bool parseCaptureOptions(int argc, char** argv, CaptureOptions& options)
{
    options.immediateDraw = environmentSwitchOn("KESU_IMMEDIATE");
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--help" || name == "-h") {
            options.help = true;
            return true;
        }
        if (name == "--version") {
            options.version = true;
            return true;
        }
        if (name == "--timing" || name == "--bench") {
            options.bench = true;
            continue;
        }
        if (name == "--check-gl") {
            options.checkGl = true;
            continue;
        }
        if (name == "--every-frame") {
            options.drawEveryFrame = true;
            continue;
        }
        const bool takesValue = name == "--size" || name == "--at" || name == "--out" || name == "--fps" ||
                                name == "--from" || name == "--to" || name == "--contact-sheet" || name == "--count" ||
                                name == "--quality";
        if (!takesValue) return captureFail("unknown argument \"" + name + "\"");
        if (i + 1 >= argc) return captureFail(name + " needs a value");
        const std::string value = argv[++i];
        if (name == "--size") {
            if (!parseSize(value, options.width, options.height)) {
                return captureFail("--size wants WIDTHxHEIGHT, each 1 to 8192, not \"" + value + "\"");
            }
            options.sizeGiven = true;
        } else if (name == "--fps") {
            if (!parseFrameRate(value, options.rate)) {
                return captureFail("--fps wants frames per second as N or N/M (like 60000/1001), 1 to 1000, not \"" +
                            value + "\"");
            }
        } else if (name == "--at" || name == "--from" || name == "--to") {
            double time = 0.0;
            if (!parseTime(value, time)) return captureFail(name + " wants seconds from 0 to 173, not \"" + value + "\"");
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
                return captureFail("--count wants a number of frames from 1 to 1000, not \"" + value + "\"");
            }
            options.count = static_cast<int>(count);
            options.countGiven = true;
        } else if (name == "--quality") {
            if (!parseVideoQuality(value, options.quality)) {
                return captureFail("--quality wants draft, normal or archive, not \"" + value + "\"");
            }
            options.qualityGiven = true;
        } else if (name == "--contact-sheet") {
            options.sheetPath = value;
        } else {
            options.out = value;
        }
    }

    const int outputs = (options.bench ? 1 : 0) + (options.sheetPath.empty() ? 0 : 1) + (options.out.empty() ? 0 : 1);
    if (outputs > 1) return captureFail("choose one of --out, --contact-sheet and --bench");
    if (options.countGiven && options.sheetPath.empty()) return captureFail("--count goes with --contact-sheet");
    if (!options.times.empty() && (options.bench || !options.sheetPath.empty())) {
        return captureFail("--at goes with --out DIR only");
    }
    if (!options.times.empty() && options.spanGiven) return captureFail("--at takes no --from or --to");
    if (options.from >= options.to) return captureFail("--from must come before --to");
    if (spanFrameCount(options.rate, options.from, options.to) == 0) {
        return captureFail("the span from --from to --to holds no frame at this frame rate");
    }

    if (options.bench) {
        options.mode = CAPTURE_BENCH;
    } else if (!options.sheetPath.empty()) {
        options.mode = CAPTURE_SHEET;
        if (!options.sizeGiven) {
            options.width = 320;
            options.height = 180;
        }
    } else if (!options.times.empty()) {
        if (options.out.empty()) return captureFail("--out is missing");
        if (endsWithLower(options.out, ".mp4") || endsWithLower(options.out, ".wav"))
            return captureFail("--at writes PNG files into a folder, not " + options.out);
        options.mode = CAPTURE_PICKS;
    } else if (!options.out.empty()) {
        options.mode = endsWithLower(options.out, ".mp4")   ? CAPTURE_VIDEO
                       : endsWithLower(options.out, ".wav") ? CAPTURE_SOUND
                                                            : CAPTURE_SEQUENCE;
    } else if (!options.checkGl) {
        return captureFail("nothing to do: give --out, --contact-sheet, --bench or --check-gl");
    }
    if (options.mode == CAPTURE_CHECK && options.spanGiven) return captureFail("--check-gl alone runs the whole demo");
    if (options.qualityGiven && options.mode != CAPTURE_VIDEO) return captureFail("--quality goes with --out FILE.mp4");
    return true;
}
