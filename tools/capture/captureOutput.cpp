#include "tools/capture/captureOutput.h"

#include "platform/files/jpegEncoder.h"
#include "platform/files/loadError.h"
#include "platform/files/pngWriter.h"
#include "platform/sound/audio.h"
#include "platform/sound/mp3Decoder.h"
#include "tools/capture/captureOptions.h"

#include <GL/gl.h>

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

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
    if (!writePng(path, pixels.data(), width, height, true, error)) return captureFail(error);
    return true;
}

bool makeFolder(const std::string& folder)
{
    std::error_code created;
    std::filesystem::create_directories(folder, created);
    if (created) return captureFail("cannot create " + folder + ": " + created.message());
    return true;
}

bool checkWritable(const std::string& path)
{
    const bool existed = std::filesystem::exists(path);
    std::FILE* file = std::fopen(path.c_str(), "ab");
    if (!file) return captureFail("cannot write " + path + ": " + std::strerror(errno));
    std::fclose(file);
    if (!existed) std::remove(path.c_str());
    return true;
}

std::string pickPath(const std::string& outDir, double time)
{
    char name[64];
    std::snprintf(name, sizeof name, "at-%09.3f.png", time);
    return (std::filesystem::path(outDir) / name).string();
}

namespace {

// The music of the span, from its first frame's sample to its end's.
bool spanMusic(const CaptureOptions& options, const std::string& dataFolder, std::vector<std::int16_t>& cut)
{
    std::vector<std::int16_t> music;
    LoadError loadError;
    if (!decodeMp3File(dataFolder + "little.mp3", music, loadError)) return captureFail(formatLoadError(loadError));
    const std::int64_t frameCount = spanFrameCount(options.rate, options.from, options.to);
    cut = cutAudio(music, audioSampleOfTime(options.from), audioSampleOfFrame(options.rate, frameCount));
    return true;
}

} // namespace

bool writeSpanSound(const CaptureOptions& options, const std::string& dataFolder)
{
    std::vector<std::int16_t> cut;
    std::string error;
    if (!checkWritable(options.out) || !spanMusic(options, dataFolder, cut)) return false;
    if (!writeWav(options.out, cut, error)) return captureFail(error);
    return true;
}

bool prepareVideo(const CaptureOptions& options, const std::string& dataFolder, VideoSettings& settings)
{
    settings.ffmpegPath = findProgram("ffmpeg");
    if (settings.ffmpegPath.empty()) {
        return captureFail("ffmpeg is not installed (no ffmpeg on PATH), so no " + options.out +
                    " can be made; install it (scripts/setup.sh does, or `apt-get install ffmpeg`), or write a"
                    " PNG sequence with --out DIR");
    }
    if (!checkWritable(options.out)) return false;
    std::vector<std::int16_t> cut;
    if (!spanMusic(options, dataFolder, cut)) return false;
    settings.audioPath =
        (std::filesystem::temp_directory_path() / ("kesu-capture-" + std::to_string(getpid()) + ".wav")).string();
    std::string error;
    if (!writeWav(settings.audioPath, cut, error)) return captureFail(error);
    settings.outputPath = options.out;
    settings.width = options.width;
    settings.height = options.height;
    settings.rate = options.rate;
    settings.quality = options.quality;
    return true;
}

// A sheet of the whole demo is photographic enough that JPEG keeps it a few hundred
// kilobytes where PNG takes over a megabyte.
bool writeSheet(const std::string& path, const ContactSheet& sheet, std::string& error)
{
    if (!endsWithLower(path, ".jpg") && !endsWithLower(path, ".jpeg")) {
        return writePng(path, sheet.rgba.data(), sheet.width, sheet.height, false, error);
    }
    std::vector<std::uint8_t> rgb;
    rgb.reserve(sheet.rgba.size() / 4 * 3);
    for (std::size_t i = 0; i < sheet.rgba.size(); i += 4) rgb.insert(rgb.end(), &sheet.rgba[i], &sheet.rgba[i + 3]);
    return encodeJpeg(path, rgb.data(), sheet.width, sheet.height, 3, 82, false, error);
}
