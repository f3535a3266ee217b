// JPEG decoding in a browser build, over stb_image: the same output and the same refusals as
// the desktop's decoder where stb can tell them (an empty file, a file that cannot be read, a
// picture too large, data stb cannot decode); stb does not say where in the file it stopped, so
// a truncated file is named at its end and other damage at no byte.
#include "platform/files/jpegDecoder.h"

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_JPEG
#define STBI_NO_STDIO
#include <stb_image.h>

#include <vector>

namespace {

// A JPEG ends with its end-of-image marker; without one the data ran out.
bool endsWithEndOfImage(const std::vector<unsigned char>& bytes)
{
    return bytes.size() >= 2 && bytes[bytes.size() - 2] == 0xFF && bytes[bytes.size() - 1] == 0xD9;
}

} // namespace

bool decodeJpegFile(const std::string& path, PictureOutput output, DecodedPicture& picture, std::string& error,
                    long long& errorOffset, int maxSide)
{
    errorOffset = -1;
    std::vector<unsigned char> bytes;
    if (!readWholeFile(path, bytes, error)) return false;
    if (bytes.empty()) {
        errorOffset = 0;
        error = "the file is empty, expected a JPEG start-of-image marker";
        return false;
    }
    const int length = static_cast<int>(bytes.size());
    int width = 0, height = 0, channels = 0;
    if (!stbi_info_from_memory(bytes.data(), length, &width, &height, &channels)) {
        errorOffset = endsWithEndOfImage(bytes) ? -1 : static_cast<long long>(bytes.size());
        error = std::string("JPEG decoding failed: ") + stbi_failure_reason();
        return false;
    }
    if (maxSide > 0 && (width > maxSide || height > maxSide)) {
        error = "the picture is " + std::to_string(width) + " x " + std::to_string(height) + " pixels; at most " +
                std::to_string(maxSide) + " per side can be loaded";
        return false;
    }
    const int wanted = output == PICTURE_RGB ? 3 : 1;
    unsigned char* pixels = stbi_load_from_memory(bytes.data(), length, &width, &height, &channels, wanted);
    if (!pixels || !endsWithEndOfImage(bytes)) {
        if (pixels) stbi_image_free(pixels);
        errorOffset = endsWithEndOfImage(bytes) ? -1 : static_cast<long long>(bytes.size());
        error = std::string("JPEG decoding failed: ") + (pixels ? "the data ends before the picture does" : stbi_failure_reason());
        return false;
    }
    picture.width = width;
    picture.height = height;
    picture.channels = wanted;
    picture.pixels.assign(pixels, pixels + static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * wanted);
    stbi_image_free(pixels);
    return true;
}
