// JPEG pictures turned into GL textures, plain or with a grey mask as alpha. Owns the
// pixel buffers of the image being assembled, until its upload. The loaders need a current
// GL context and the RenderWindow whose pending image they fill.
#pragma once

#include <cstdint>
#include <string>

struct DecodedPicture;
struct LoadError;
struct RenderWindow;
struct TextureImage;

// A GL texture name; 0 is never a loaded texture.
using TextureId = std::uint32_t;

// Decode modes, a bit set.
constexpr std::uint16_t TEXTURE_COLOUR = 0x1;   // never tested: every mode without TEXTURE_ALPHA decodes colour
constexpr std::uint16_t TEXTURE_ALPHA = 0x2;    // decode one grey channel and use it as alpha
constexpr std::uint16_t TEXTURE_RGBA = 0x100;   // build a four-channel image

// Decodes one JPEG file into the window's current pending image as the mode says: without
// TEXTURE_RGBA a fresh three-channel image; with it, the colour (or, with TEXTURE_ALPHA, the
// grey mask as alpha) goes into a four-channel buffer that a colour pass allocates and a
// mask pass reuses. A missing, damaged or CMYK file, or a mask whose size differs from the
// image being built, fills the error and leaves the pending image as it was.
bool decodeJpeg(RenderWindow& renderWindow, const std::string& fileName, std::uint16_t mode, LoadError& error);

// A decoder of that shape: decodeJpeg, or one for other picture formats built on
// fillTextureImage.
using PictureDecoder = bool (*)(RenderWindow& renderWindow, const std::string& fileName, std::uint16_t mode,
                                LoadError& error);

// The second half of decodeJpeg, for a picture decoded elsewhere: its pixels (RGB for a
// colour pass, grey for a mask pass) go into the pending image as the mode says.
bool fillTextureImage(RenderWindow& renderWindow, const DecodedPicture& picture, const std::string& fileName,
                      std::uint16_t mode, LoadError& error);

// Creates the GL texture from the image (no mipmaps, default wrap modes, unpack alignment 1)
// and stores its name in the image; the texture stays bound to GL_TEXTURE_2D.
void uploadTexture(RenderWindow& renderWindow, TextureImage& image, int magnificationFilter, int minificationFilter);

// Frees the image's pixel buffer; the image keeps its size and texture name.
void releaseTexturePixels(RenderWindow& renderWindow, TextureImage& image);

// Makes a new, empty image (no pixel buffer) the current pending image.
void nextTextureImage(RenderWindow& renderWindow);

// A linear-filtered colour texture from one JPEG; 0 with the error filled on failure.
TextureId loadTexture(RenderWindow& renderWindow, const std::string& fileName, LoadError& error);

// A linear-filtered colour-and-alpha texture: the colour from fileName, the alpha from the
// grey levels of maskFileName, which must have the same width and height. 0 with the
// error filled on failure (a size mismatch names both files).
TextureId loadMaskedTexture(RenderWindow& renderWindow, const std::string& fileName, const std::string& maskFileName,
                            LoadError& error);
