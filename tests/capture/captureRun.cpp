#include "tests/capture/captureRun.h"

#include "platform/files/pngWriter.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

ProcessResult runCapture(const std::vector<std::string>& args, double timeoutSeconds,
                         const std::vector<std::pair<std::string, std::string>>& setEnvironment)
{
    ProcessOptions options;
    options.workingDirectory = std::string(KESU_BINARY_DIR) + "/testdata";
    options.timeoutSeconds = timeoutSeconds;
    options.setEnvironment = setEnvironment;
    return runProcess(std::string(KESU_BINARY_DIR) + "/tools/capture/kesu-capture", args, options);
}

Picture readPicture(const std::string& path, std::string& error)
{
    Picture picture;
    if (!readPng(path, picture.rgba, picture.width, picture.height, error)) return Picture{};
    return picture;
}

std::vector<std::string> pngFilesIn(const std::string& folder)
{
    std::vector<std::string> files;
    std::error_code listed;
    for (const auto& entry : std::filesystem::directory_iterator(folder, listed)) {
        if (entry.path().extension() == ".png") files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

PictureDifference comparePictures(const Picture& a, const Picture& b)
{
    PictureDifference difference;
    const std::size_t pixelCount = static_cast<std::size_t>(a.width) * a.height;
    if (pixelCount == 0) return difference;
    double sum = 0.0;
    std::size_t offPixels = 0;
    for (std::size_t i = 0; i < pixelCount; ++i) {
        int largest = 0;
        for (int channel = 0; channel < 3; ++channel) {
            const int delta = std::abs(static_cast<unsigned char>(a.rgba[i * 4 + channel]) -
                                       static_cast<unsigned char>(b.rgba[i * 4 + channel]));
            sum += delta;
            largest = std::max(largest, delta);
        }
        if (largest > 32) ++offPixels;
    }
    difference.meanAbsolute = sum / static_cast<double>(pixelCount * 3);
    difference.fractionOffBy32 = static_cast<double>(offPixels) / static_cast<double>(pixelCount);
    return difference;
}

void keepFourBits(Picture& picture)
{
    for (std::size_t i = 0; i < picture.rgba.size(); ++i) {
        if (i % 4 != 3) picture.rgba[i] = static_cast<char>(static_cast<unsigned char>(picture.rgba[i]) & 0xF0);
    }
}
