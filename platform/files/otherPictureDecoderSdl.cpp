#include "platform/files/otherPictureDecoder.h"

#include <SDL.h>
#include <SDL_image.h>

#include <algorithm>
#include <memory>
#include <new>

bool decodeOtherPictureFile(const std::string& path, PictureOutput output, DecodedPicture& picture, std::string& error)
{
    // IMG_Load tells PNG and BMP by their signatures; TGA has none and is known by the name's
    // extension, which IMG_Load passes on as the type.
    std::unique_ptr<SDL_Surface, void (*)(SDL_Surface*)> loaded(IMG_Load(path.c_str()), SDL_FreeSurface);
    if (!loaded) {
        error = std::string("cannot decode the picture: ") + IMG_GetError();
        return false;
    }
    std::unique_ptr<SDL_Surface, void (*)(SDL_Surface*)> rgb(
        SDL_ConvertSurfaceFormat(loaded.get(), SDL_PIXELFORMAT_RGB24, 0), SDL_FreeSurface);
    if (!rgb || SDL_LockSurface(rgb.get()) != 0) {
        error = std::string("cannot convert the picture to RGB: ") + SDL_GetError();
        return false;
    }
    const int channels = output == PICTURE_RGB ? 3 : 1;
    const std::size_t width = static_cast<std::size_t>(rgb->w);
    try {
        picture.pixels.assign(width * static_cast<std::size_t>(rgb->h) * channels, 0);
    } catch (const std::bad_alloc&) {
        SDL_UnlockSurface(rgb.get());
        error = "no memory for a picture of " + std::to_string(rgb->w) + " x " + std::to_string(rgb->h) + " pixels";
        return false;
    }
    for (int y = 0; y < rgb->h; ++y) {
        const std::uint8_t* row = static_cast<const std::uint8_t*>(rgb->pixels) + static_cast<std::size_t>(y) * rgb->pitch;
        std::uint8_t* out = picture.pixels.data() + static_cast<std::size_t>(y) * width * channels;
        if (channels == 3) {
            std::copy(row, row + 3 * width, out);
            continue;
        }
        // libjpeg's fixed-point luminance: 0.299 R + 0.587 G + 0.114 B, rounded.
        for (std::size_t x = 0; x < width; ++x) {
            const std::uint32_t r = row[3 * x], g = row[3 * x + 1], b = row[3 * x + 2];
            out[x] = static_cast<std::uint8_t>((19595 * r + 38470 * g + 7471 * b + 32768) >> 16);
        }
    }
    SDL_UnlockSurface(rgb.get());
    picture.width = rgb->w;
    picture.height = rgb->h;
    picture.channels = channels;
    return true;
}
