#include "platform/files/pictureFile.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdint>
#include <cstring>

PictureFormat pictureFormatOfFile(const std::string& path)
{
    unsigned char head[8] = {};
    std::size_t count = 0;
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        count = std::fread(head, 1, sizeof head, file);
        std::fclose(file);
    } else {
        return PICTURE_UNKNOWN;
    }
    static const unsigned char png[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (count >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF) return PICTURE_JPEG;
    if (count == 8 && std::memcmp(head, png, 8) == 0) return PICTURE_PNG;
    if (count >= 2 && head[0] == 'B' && head[1] == 'M') return PICTURE_BMP;
    std::string extension = path.substr(std::min(path.size(), path.find_last_of('.') + 1));
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == "tga" ? PICTURE_TGA : PICTURE_UNKNOWN;
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

bool readWholeFile(const std::string& path, std::vector<unsigned char>& bytes, std::string& error)
{
    FileReadInParts reader;
    if (!reader.open(path, error)) return false;
    bool done = false;
    if (!reader.readPart(SIZE_MAX, done, error)) return false;
    bytes = std::move(reader.bytes);
    return true;
}

FileReadInParts::~FileReadInParts() { close(); }

void FileReadInParts::close()
{
    if (file != nullptr) std::fclose(file);
    file = nullptr;
}

bool FileReadInParts::open(const std::string& path, std::string& error)
{
    close();
    bytes.clear();
    file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        error = std::string("cannot open the file: ") + std::strerror(errno);
        return false;
    }
    // Sized from the file's length where it tells one, so a scene of megabytes is not copied
    // again each time the vector grows. A folder opens too, and tells a length of no meaning:
    // past 256 MiB the vector grows as it reads, and reading a folder fails below.
    if (std::fseek(file, 0, SEEK_END) == 0) {
        const long length = std::ftell(file);
        if (length > 0 && length <= (256L << 20)) bytes.reserve(static_cast<std::size_t>(length));
        std::rewind(file);
    }
    return true;
}

bool FileReadInParts::readPart(std::size_t most, bool& done, std::string& error)
{
    done = file == nullptr;
    unsigned char block[65536];
    while (!done && most > 0) {
        const std::size_t got = std::fread(block, 1, std::min(sizeof block, most), file);
        bytes.insert(bytes.end(), block, block + got);
        most -= got;
        if (got == 0 || std::feof(file) || std::ferror(file)) {
            const bool failed = std::ferror(file) != 0;
            const int readErrno = errno;
            close();
            if (failed) {
                error = std::string("cannot read the file: ") + std::strerror(readErrno);
                return false;
            }
            done = true;
        }
    }
    return true;
}
