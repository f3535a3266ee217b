#include "platform/files/pictureSaver.h"

#include "platform/files/fileLookup.h"
#include "platform/files/pngWriter.h"

#include <thread>
#include <utility>

namespace {

// Joined by finishSavingPictures; only the caller's thread touches the list.
std::vector<std::thread> writers;

} // namespace

void savePictureLater(const std::string& path, std::vector<std::uint8_t> pixels, int width, int height, PictureSaved done)
{
    writers.emplace_back([path, pixels = std::move(pixels), width, height, done = std::move(done)]() mutable {
        for (std::size_t i = 3; i < pixels.size(); i += 4) pixels[i] = 255;
        std::string problem;
        if (!makeParentFolder(path, problem) || !writePng(path, pixels.data(), width, height, true, problem)) {
            done(path, problem.empty() ? path : problem);
            return;
        }
        done(path, "");
    });
}

void finishSavingPictures()
{
    for (std::thread& writer : writers) writer.join();
    writers.clear();
}
