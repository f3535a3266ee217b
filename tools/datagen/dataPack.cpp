#include "tools/datagen/dataPack.h"

#include "platform/files/loadError.h"
#include "platform/sound/audio.h"
#include "platform/sound/mp3Decoder.h"
#include "tools/datagen/mastering.h"
#include "tools/datagen/mp3Encoder.h"
#include "tools/datagen/music.h"
#include "tools/datagen/pictures.h"
#include "tools/datagen/scenes.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace {

bool makeFolder(const std::string& path, std::string& error)
{
    std::error_code code;
    std::filesystem::create_directories(path, code);
    if (code) {
        error = path + ": cannot create the folder: " + code.message();
        return false;
    }
    return true;
}

// The desktop-friendly default: a 1280 x 720 window, waiting for one vertical retrace.
// A configuration of the run's own (1280 x 720, swap interval 1), only where none is: a user's
// settings stay when the pack is made again.
bool writeConfiguration(const std::string& path, std::string& error)
{
    if (std::FILE* existing = std::fopen(path.c_str(), "rb")) {
        std::fclose(existing);
        return true;
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        error = path + ": cannot create the file";
        return false;
    }
    const bool written = std::fputs("1280 720 1\n", file) >= 0;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        error = path + ": cannot write the file";
        return false;
    }
    return true;
}

// The music mastered to the loudness of released music, -14 LUFS, with its true peak at
// most -1 dBTP once encoded. The encoder's filtering takes a little loudness and adds a
// little peak, so the decoded file is measured and the mastering's own target and ceiling
// moved by what it missed, until both hold.
bool writeMusic(const std::string& path, std::string& error)
{
    const double targetLufs = -14.0;
    const double encodedCeilingDbtp = -1.0;
    const MusicStems stems = composeMusic();
    double masteringTarget = targetLufs;
    double ceiling = encodedCeilingDbtp - 0.5;
    for (int round = 0; round < 4; ++round) {
        MasteringReport report;
        std::vector<std::int16_t> mastered;
        if (!masterMix(stems, masteringTarget, ceiling, mastered, report, error)) {
            error = path + ": " + error;
            return false;
        }
        if (!encodeMp3(path, mastered, error)) return false;
        std::vector<std::int16_t> decoded;
        LoadError decodeError;
        LoudnessFigures figures;
        if (!decodeMp3File(path, decoded, decodeError)) {
            error = formatLoadError(decodeError);
            return false;
        }
        if (!measureLoudness(decoded, figures, error)) {
            error = path + ": " + error;
            return false;
        }
        // A tenth of a decibel of peak to spare for meters that interpolate otherwise.
        const double peakExcess = figures.truePeakDb - (encodedCeilingDbtp - 0.1);
        const double loudnessMiss = targetLufs - figures.integrated;
        if (peakExcess <= 0.0 && std::fabs(loudnessMiss) <= 0.15) {
            std::printf("%s: %.1f LUFS, loudness range %.1f LU, true peak %.1f dBTP (gain %+.1f dB; the limiter "
                        "takes up to %.1f dB, over %.0f s of %.0f; the section ride up to %.1f dB)\n",
                        path.c_str(), figures.integrated, figures.range, figures.truePeakDb, report.gainDb,
                        report.largestReductionDb, report.limitedSeconds, MUSIC_SECONDS, report.deepestRideDb);
            return true;
        }
        masteringTarget += loudnessMiss;
        if (peakExcess > 0.0) ceiling -= peakExcess + 0.05;
    }
    error = path + ": the encoded music does not settle at -14 LUFS with its true peak under -1 dBTP";
    return false;
}

} // namespace

bool generateDataPack(const std::string& outDir, std::string& error)
{
    const std::string dataDir = outDir + "/data/";
    if (!makeFolder(dataDir, error) || !writeConfiguration(outDir + "/kesu.ini", error)) {
        return false;
    }
    return writePictures(dataDir, error) && writeScenes(dataDir, error) &&
           writeMusic(dataDir + "little.mp3", error);
}
