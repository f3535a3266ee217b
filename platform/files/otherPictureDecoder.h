// The picture formats modelling tools also save maps in (PNG, TGA, BMP), decoded through
// SDL2_image for the scene tool's previews. A library of its own, so that the demo, which
// reads JPEG pictures only, does not link it.
#pragma once

#include "platform/files/pictureFile.h"

#include <string>

// Decodes a PNG, TGA or BMP file whole, dropping any alpha channel; a grey output is the
// luminance as the JPEG decoder computes it. On failure returns false with the library's
// message (the caller adds the file name).
bool decodeOtherPictureFile(const std::string& path, PictureOutput output, DecodedPicture& picture,
                            std::string& error);
