#include "platform/files/jpegDecoder.h"

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>

#include <jpeglib.h>
#include <jerror.h>

namespace {

// libjpeg reports a fatal error by calling error_exit, which must not return: the default
// one exits the process. Ours jumps back to the decoder with the library's text.
struct DecoderErrorManager {
    jpeg_error_mgr library;
    std::jmp_buf jumpBack;
    char message[JMSG_LENGTH_MAX];
    bool ranOut = false;   // the data ended before the picture did
};

[[noreturn]] void jumpOnError(j_common_ptr info)
{
    DecoderErrorManager* manager = reinterpret_cast<DecoderErrorManager*>(info->err);
    (*info->err->format_message)(info, manager->message);
    std::longjmp(manager->jumpBack, 1);
}

// Warnings (level -1) mean the library met damaged data and carries on by guessing; we
// stop instead, so that a damaged file never becomes a texture. An unknown JFIF revision
// is the one warning that says nothing about the pixels. Trace messages are dropped.
void stopOnWarning(j_common_ptr info, int level)
{
    if (level < 0 && info->err->msg_code != JWRN_JFIF_MAJOR) {
        reinterpret_cast<DecoderErrorManager*>(info->err)->ranOut = info->err->msg_code == JWRN_JPEG_EOF;
        jumpOnError(info);
    }
}

// Where the decoder stood: the memory source reads straight from bytes, until at the end
// of the data it substitutes a two-byte end-of-image marker of its own, which means the
// whole file was consumed.
long long stopOffset(const jpeg_decompress_struct& decompressor, const std::vector<unsigned char>& bytes)
{
    if (decompressor.src == nullptr) {
        return -1;
    }
    const unsigned char* position = decompressor.src->next_input_byte;
    const unsigned char* begin = bytes.data();
    const unsigned char* end = begin + bytes.size();
    if (position >= begin && position <= end) {
        return static_cast<long long>(position - begin);
    }
    return static_cast<long long>(bytes.size());
}

const char* colourSpaceName(J_COLOR_SPACE space)
{
    switch (space) {
    case JCS_CMYK:
        return "CMYK";
    case JCS_YCCK:
        return "YCCK";
    default:
        return "an unknown colour space";
    }
}

}  // namespace

bool decodeJpegFile(const std::string& path, PictureOutput output, DecodedPicture& picture, std::string& error,
                    long long& errorOffset, int maxSide)
{
    errorOffset = -1;
    std::vector<unsigned char> bytes;
    if (!readWholeFile(path, bytes, error)) {
        return false;
    }
    if (bytes.empty()) {
        errorOffset = 0;
        error = "the file is empty, expected a JPEG start-of-image marker";
        return false;
    }

    jpeg_decompress_struct decompressor;
    DecoderErrorManager manager;
    decompressor.err = jpeg_std_error(&manager.library);
    manager.library.error_exit = jumpOnError;
    manager.library.emit_message = stopOnWarning;
    jpeg_create_decompress(&decompressor);
    // The source reads from bytes, so the distance of next_input_byte from its start is the
    // offset in the file where the decoder stood when it stopped.
    jpeg_mem_src(&decompressor, bytes.data(), static_cast<unsigned long>(bytes.size()));
    // volatile: it lives across the setjmp below, which a decoder error longjmps back to.
    volatile const int wantedChannels = output == PICTURE_RGB ? 3 : 1;

    if (setjmp(manager.jumpBack)) {
        // The entropy decoder reads ahead of the source's pointer, so running out of data
        // is reported where the data ran out: the end of the file.
        errorOffset = manager.ranOut ? static_cast<long long>(bytes.size()) : stopOffset(decompressor, bytes);
        error = std::string("JPEG decoding failed: ") + manager.message;
        jpeg_destroy_decompress(&decompressor);
        return false;
    }

    jpeg_read_header(&decompressor, TRUE);
    const J_COLOR_SPACE space = decompressor.jpeg_color_space;
    if (space != JCS_GRAYSCALE && space != JCS_YCbCr && space != JCS_RGB) {
        error = std::string("the picture is stored in ") + colourSpaceName(space) +
                ", which cannot be turned into RGB or grey; save it as RGB or grey-scale";
        jpeg_destroy_decompress(&decompressor);
        return false;
    }
    if (maxSide > 0 && (decompressor.image_width > static_cast<JDIMENSION>(maxSide) ||
                        decompressor.image_height > static_cast<JDIMENSION>(maxSide))) {
        error = "the picture is " + std::to_string(decompressor.image_width) + " x " +
                std::to_string(decompressor.image_height) + " pixels; at most " + std::to_string(maxSide) +
                " per side can be loaded";
        jpeg_destroy_decompress(&decompressor);
        return false;
    }
    decompressor.out_color_space = output == PICTURE_RGB ? JCS_RGB : JCS_GRAYSCALE;
    jpeg_start_decompress(&decompressor);
    if (decompressor.output_components != wantedChannels) {
        error = "the decoder delivers " + std::to_string(decompressor.output_components) +
                " channels per pixel, expected " + std::to_string(wantedChannels);
        jpeg_destroy_decompress(&decompressor);
        return false;
    }

    const std::size_t rowBytes = static_cast<std::size_t>(decompressor.output_width) * wantedChannels;
    const std::size_t totalBytes = rowBytes * decompressor.output_height;
    try {
        picture.pixels.assign(totalBytes, 0);
    } catch (const std::bad_alloc&) {
        error = "no memory for a picture of " + std::to_string(decompressor.output_width) + " x " +
                std::to_string(decompressor.output_height) + " pixels";
        jpeg_destroy_decompress(&decompressor);
        return false;
    }
    while (decompressor.output_scanline < decompressor.output_height) {
        JSAMPROW row = picture.pixels.data() + decompressor.output_scanline * rowBytes;
        jpeg_read_scanlines(&decompressor, &row, 1);
    }
    jpeg_finish_decompress(&decompressor);
    picture.width = static_cast<int>(decompressor.output_width);
    picture.height = static_cast<int>(decompressor.output_height);
    picture.channels = wantedChannels;
    jpeg_destroy_decompress(&decompressor);
    return true;
}
