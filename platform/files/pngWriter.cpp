#include "platform/files/pngWriter.h"

#include <png.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// An RGBA picture of that size for libpng's simplified writer.
png_image rgbaImage(int width, int height)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGBA;
    return image;
}

} // namespace

bool writePng(const std::string& path, const std::uint8_t* rgba, int width, int height,
              bool bottomRowFirst, std::string& error)
{
    if (width <= 0 || height <= 0) {
        error = path + ": cannot write a picture of " + std::to_string(width) + "x" + std::to_string(height);
        return false;
    }
    png_image image = rgbaImage(width, height);
    // A negative row stride tells libpng the rows run bottom to top in memory.
    const png_int_32 stride = (bottomRowFirst ? -1 : 1) * width * 4;
    if (!png_image_write_to_file(&image, path.c_str(), 0, rgba, stride, nullptr)) {
        error = path + ": cannot write PNG: " + image.message;
        return false;
    }
    return true;
}

bool encodePng(const std::uint8_t* rgba, int width, int height, bool bottomRowFirst, std::vector<std::uint8_t>& png)
{
    png_image image = rgbaImage(width, height);
    const png_int_32 stride = (bottomRowFirst ? -1 : 1) * width * 4;
    png_alloc_size_t size = 0;
    if (width <= 0 || height <= 0 || !png_image_write_to_memory(&image, nullptr, &size, 0, rgba, stride, nullptr)) return false;
    png.resize(size);
    return png_image_write_to_memory(&image, png.data(), &size, 0, rgba, stride, nullptr) != 0;
}

bool readPng(const std::string& path, std::string& rgba, int& width, int& height, std::string& error)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        error = path + ": cannot read PNG: " + image.message;
        return false;
    }
    image.format = PNG_FORMAT_RGBA;
    rgba.assign(PNG_IMAGE_SIZE(image), '\0');
    if (!png_image_finish_read(&image, nullptr, &rgba[0], 0, nullptr)) {
        error = path + ": cannot decode PNG: " + image.message;
        png_image_free(&image);
        return false;
    }
    width = static_cast<int>(image.width);
    height = static_cast<int>(image.height);
    return true;
}
