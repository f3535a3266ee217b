// JPEG pictures turned into GL textures, plain or with a grey mask as alpha. Owns the
// pixel buffers of the image being assembled, until its upload. The loaders need a current
// GL context and the RenderWindow whose pending image they fill.
#pragma once

#include <cstdint>
#include <string>

struct LoadError;
struct RenderWindow;

// A GL texture name; 0 is never a loaded texture.
using TextureId = std::uint32_t;

// Decode modes, a bit set.
constexpr std::uint16_t TEXTURE_COLOUR = 0x1;   // never tested: every mode without TEXTURE_ALPHA decodes colour
constexpr std::uint16_t TEXTURE_ALPHA = 0x2;    // decode one grey channel and use it as alpha
constexpr std::uint16_t TEXTURE_RGBA = 0x100;   // build a four-channel image

// The picture being assembled for one texture: rows top first, no padding.
struct TextureImage {
    std::uint8_t alpha = 0;            // 1: R, G, B, A per pixel; 0: R, G, B
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint8_t* pixels = nullptr;    // owned; null when the image is empty
    TextureId textureName = 0;
};
