#include "platform/files/jpegEncoder.h"

#include <cstdio>
#include <csetjmp>
#include <cstdlib>
#include <jpeglib.h>

namespace {

// libjpeg reports errors by calling error_exit, which must not return; we jump back to
// the encoder with the library's message instead of letting it exit the process.
struct EncoderErrorManager {
    jpeg_error_mgr library;
    std::jmp_buf jumpBack;
    char message[JMSG_LENGTH_MAX];
    // The destination lives here, not in locals of the encoder, because locals changed
    // between setjmp and longjmp are indeterminate after the jump.
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
};

void jumpOnError(j_common_ptr info)
{
    EncoderErrorManager* manager = reinterpret_cast<EncoderErrorManager*>(info->err);
    (*info->err->format_message)(info, manager->message);
    std::longjmp(manager->jumpBack, 1);
}

void ignoreMessage(j_common_ptr) {}

bool writeFile(const std::string& path, const unsigned char* bytes, unsigned long size, std::string& error)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        error = path + ": cannot create the file";
        return false;
    }
    const bool written = std::fwrite(bytes, 1, size, file) == size;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        error = path + ": cannot write the file";
        return false;
    }
    return true;
}

// One encode into memory, then one write of the whole file.
bool encode(const std::string& path, const std::uint8_t* pixels, int width, int height, int components,
            J_COLOR_SPACE colourSpace, int quality, bool progressive, std::string& error)
{
    if (width <= 0 || height <= 0) {
        error = path + ": cannot encode a picture of " + std::to_string(width) + " x " + std::to_string(height);
        return false;
    }
    jpeg_compress_struct compressor;
    EncoderErrorManager manager;
    compressor.err = jpeg_std_error(&manager.library);
    manager.library.error_exit = jumpOnError;
    manager.library.output_message = ignoreMessage;
    if (setjmp(manager.jumpBack)) {
        error = path + ": JPEG encoding failed: " + manager.message;
        jpeg_destroy_compress(&compressor);
        std::free(manager.buffer);
        return false;
    }
    jpeg_create_compress(&compressor);
    jpeg_mem_dest(&compressor, &manager.buffer, &manager.size);
    compressor.image_width = static_cast<JDIMENSION>(width);
    compressor.image_height = static_cast<JDIMENSION>(height);
    compressor.input_components = components;
    compressor.in_color_space = colourSpace;
    jpeg_set_defaults(&compressor);
    jpeg_set_quality(&compressor, quality, TRUE);
    if (progressive) {
        jpeg_simple_progression(&compressor);
    }
    jpeg_start_compress(&compressor, TRUE);
    const std::size_t rowBytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(components);
    while (compressor.next_scanline < compressor.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(pixels + compressor.next_scanline * rowBytes);
        jpeg_write_scanlines(&compressor, &row, 1);
    }
    jpeg_finish_compress(&compressor);
    jpeg_destroy_compress(&compressor);
    const bool ok = writeFile(path, manager.buffer, manager.size, error);
    std::free(manager.buffer);
    return ok;
}

}  // namespace

bool encodeJpeg(const std::string& path, const std::uint8_t* pixels, int width, int height, int channels,
                int quality, bool progressive, std::string& error)
{
    if (channels != 3 && channels != 1) {
        error = path + ": cannot encode " + std::to_string(channels) + " channels, only 3 (RGB) or 1 (grey)";
        return false;
    }
    return encode(path, pixels, width, height, channels, channels == 3 ? JCS_RGB : JCS_GRAYSCALE, quality,
                  progressive, error);
}

bool encodeJpegCmyk(const std::string& path, const std::uint8_t* cmyk, int width, int height, int quality,
                    std::string& error)
{
    return encode(path, cmyk, width, height, 4, JCS_CMYK, quality, false, error);
}
