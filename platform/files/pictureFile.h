// Picture files: the decoded form every picture takes, whatever decoder made it, and the
// format a file holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

enum PictureOutput {
    PICTURE_RGB,    // three bytes per pixel, R, G, B
    PICTURE_GREY    // one luminance byte per pixel
};

struct DecodedPicture {
    int width = 0;
    int height = 0;
    int channels = 0;                   // 3 for RGB, 1 for grey
    std::vector<std::uint8_t> pixels;   // width * height * channels bytes, top row first, no padding
};

enum PictureFormat { PICTURE_JPEG, PICTURE_PNG, PICTURE_TGA, PICTURE_BMP, PICTURE_UNKNOWN };

// The format the file holds, by its first bytes: JPEG, PNG and BMP by their signatures; TGA,
// which has none, by its name (.tga in any case) when no signature matches. Unknown for a file
// that cannot be read or holds none of these.
PictureFormat pictureFormatOfFile(const std::string& path);
// The whole file into bytes; false with `error` set ("cannot open the file: ...", "cannot
// read the file: ...") when it cannot be read.
bool readWholeFile(const std::string& path, std::vector<unsigned char>& bytes, std::string& error);

// A file read a part at a time, so a file of megabytes can be read between frames. bytes is
// sized from the file's length when it is opened; the file closes at its end, on a failure
// and with the reader.
class FileReadInParts {
public:
    FileReadInParts() = default;
    FileReadInParts(const FileReadInParts&) = delete;
    FileReadInParts& operator=(const FileReadInParts&) = delete;
    ~FileReadInParts();

    // False with the error as readWholeFile's.
    bool open(const std::string& path, std::string& error);
    // Up to `most` more bytes appended to bytes; done once the file's end was read.
    bool readPart(std::size_t most, bool& done, std::string& error);

    std::vector<unsigned char> bytes;

private:
    void close();
    std::FILE* file = nullptr;
};

// "JPEG", "PNG", "TGA", "BMP" or "unknown".
const char* pictureFormatName(PictureFormat format);
