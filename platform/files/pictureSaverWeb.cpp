// Screenshots in a browser: the picture encoded at once (there are no threads to hand it to)
// and offered as a download under the file's own name.
#include "platform/files/pictureSaver.h"

#include "platform/display/webPage.h"
#include "platform/files/pngWriter.h"

void savePictureLater(const std::string& path, std::vector<std::uint8_t> pixels, int width, int height, PictureSaved done)
{
    for (std::size_t i = 3; i < pixels.size(); i += 4) pixels[i] = 255;
    std::vector<std::uint8_t> png;
    if (!encodePng(pixels.data(), width, height, true, png)) {
        done(path, path + ": cannot encode the PNG");
        return;
    }
    const std::size_t slash = path.find_last_of('/');
    webPageDownload(slash == std::string::npos ? path : path.substr(slash + 1), png.data(), png.size());
    done(path, "");
}

void finishSavingPictures() {}
