// JPEG decoding over libjpeg-turbo: a file becomes packed 8-bit RGB triples or one grey
// byte per pixel, top row first, no row padding. Baseline, progressive and grey-scale
// files decode; CMYK and YCCK files are refused.
#pragma once

#include "platform/files/pictureFile.h"

#include <string>

// Decodes the whole file. On failure returns false with a message (what went wrong, with
// the library's text; the caller adds the file name) and the byte offset in the file where
// the decoder stopped, or -1 when no byte is meant (the file could not be opened or read).
// Data the library would have to guess at (a truncated file, corrupt entropy data) is a
// failure, not a picture with grey or garbage rows. With maxSide above 0, a picture wider or
// taller than that is refused from its header, before any pixel memory is taken: a damaged
// header may declare up to 65500 x 65500 pixels, 12 GB of RGB.
bool decodeJpegFile(const std::string& path, PictureOutput output, DecodedPicture& picture, std::string& error,
                    long long& errorOffset, int maxSide = 0);
