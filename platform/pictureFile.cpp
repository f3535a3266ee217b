#include "platform/pictureFile.h"

#include <algorithm>
#include <cctype>

PictureFormat pictureFormatOf(const std::string& fileName)
{
    const std::size_t dot = fileName.find_last_of('.');
    if (dot == std::string::npos) return PICTURE_UNKNOWN;
    std::string extension = fileName.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == "jpg" || extension == "jpeg") return PICTURE_JPEG;
    if (extension == "png") return PICTURE_PNG;
    if (extension == "tga") return PICTURE_TGA;
    if (extension == "bmp") return PICTURE_BMP;
    return PICTURE_UNKNOWN;
}

const char* pictureFormatName(PictureFormat format)
{
    switch (format) {
    case PICTURE_JPEG: return "JPEG";
    case PICTURE_PNG: return "PNG";
    case PICTURE_TGA: return "TGA";
    case PICTURE_BMP: return "BMP";
    default: return "unknown";
    }
}
