// PNG files in a browser build, over stb_image_write and stb_image.
#include "platform/files/pngWriter.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb_image_write.h>

#include <cstdio>
#include <vector>

namespace {

void appendBytes(void* context, void* data, int size)
{
    auto* out = static_cast<std::vector<unsigned char>*>(context);
    const auto* bytes = static_cast<const unsigned char*>(data);
    out->insert(out->end(), bytes, bytes + size);
}

} // namespace

bool encodePng(const std::uint8_t* rgba, int width, int height, bool bottomRowFirst, std::vector<std::uint8_t>& png)
{
    png.clear();
    const int stride = width * 4;
    // A negative stride walks the rows from the last in memory, which is the top of a picture
    // read back from GL.
    const std::uint8_t* first = bottomRowFirst ? rgba + static_cast<std::size_t>(height - 1) * stride : rgba;
    return stbi_write_png_to_func(appendBytes, &png, width, height, 4, first, bottomRowFirst ? -stride : stride) != 0;
}

bool writePng(const std::string& path, const std::uint8_t* rgba, int width, int height, bool bottomRowFirst,
              std::string& error)
{
    std::vector<std::uint8_t> png;
    if (!encodePng(rgba, width, height, bottomRowFirst, png)) {
        error = path + ": cannot encode the PNG";
        return false;
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    const bool written = file && std::fwrite(png.data(), 1, png.size(), file) == png.size();
    if (file && std::fclose(file) != 0) error = path + ": cannot be written";
    if (!written) error = path + ": cannot be written";
    return written && error.empty();
}

bool readPng(const std::string& path, std::string&, int&, int&, std::string& error)
{
    error = path + ": reading PNG files is not part of the browser's build";
    return false;
}
