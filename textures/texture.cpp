#include "textures/texture.h"

#include "platform/display/renderWindow.h"
#include "platform/files/jpegDecoder.h"
#include "platform/files/loadError.h"

#include <GL/gl.h>

#include <cstring>
#include <new>

namespace {

std::string sizeText(int width, int height)
{
    return std::to_string(width) + " x " + std::to_string(height);
}

// Like fillTextureImage; pictureFileName names the colour file in the message of a mask
// whose size differs from the picture already in the image ("" when unknown).
bool fillInto(RenderWindow& renderWindow, const DecodedPicture& scratch, const std::string& fileName,
              std::uint16_t mode, const std::string& pictureFileName, LoadError& error)
{
    const bool alphaPass = (mode & TEXTURE_ALPHA) != 0;
    if (scratch.channels != (alphaPass ? 1 : 3) ||
        scratch.pixels.size() != static_cast<std::size_t>(scratch.width) * scratch.height * scratch.channels) {
        return failLoad(error, fileName, -1, -1, "the decoder delivered a picture of the wrong shape");
    }
    TextureImage& image = *renderWindow.currentImage;
    const std::size_t pixelCount = static_cast<std::size_t>(scratch.width) * static_cast<std::size_t>(scratch.height);
    const std::uint8_t* source = scratch.pixels.data();

    if (mode & TEXTURE_RGBA) {
        // A colour pass allocates the four-channel buffer and a mask pass reuses it, so the
        // mask must cover exactly the picture the buffer was made for.
        bool sharedBuffer = image.pixels != nullptr && image.alpha == 1;
        if (sharedBuffer && (image.width != scratch.width || image.height != scratch.height)) {
            if (alphaPass) {
                const std::string picture = pictureFileName.empty() ? std::string("the image being built")
                                                                    : pictureFileName;
                return failLoad(error, fileName, -1, -1,
                                "the mask is " + sizeText(scratch.width, scratch.height) + " pixels but " + picture +
                                    " is " + sizeText(image.width, image.height) + "; a mask must match its picture");
            }
            sharedBuffer = false;
        }
        if (!sharedBuffer) {
            delete[] image.pixels;
            image.pixels = nullptr;
            // Zeroed so that a mask decoded before any colour gives black, never heap garbage.
            image.pixels = new (std::nothrow) std::uint8_t[pixelCount * 4]();
            if (image.pixels == nullptr) {
                return failLoad(error, fileName, -1, -1,
                                "no memory for a texture of " + sizeText(scratch.width, scratch.height));
            }
        }
        image.width = scratch.width;
        image.height = scratch.height;
        image.alpha = 1;
        if (alphaPass) {
            for (std::size_t i = 0; i < pixelCount; ++i) {
                image.pixels[4 * i + 3] = source[i];
            }
        } else {
            for (std::size_t i = 0; i < pixelCount; ++i) {
                image.pixels[4 * i] = source[3 * i];
                image.pixels[4 * i + 1] = source[3 * i + 1];
                image.pixels[4 * i + 2] = source[3 * i + 2];
            }
        }
        return true;
    }

    std::uint8_t* pixels = new (std::nothrow) std::uint8_t[pixelCount * 3];
    if (pixels == nullptr) {
        return failLoad(error, fileName, -1, -1, "no memory for a texture of " + sizeText(scratch.width, scratch.height));
    }
    if (alphaPass) {
        // A grey decode into a three-channel image: each level fills all three channels.
        for (std::size_t i = 0; i < pixelCount; ++i) {
            pixels[3 * i] = pixels[3 * i + 1] = pixels[3 * i + 2] = source[i];
        }
    } else {
        std::memcpy(pixels, source, pixelCount * 3);
    }
    delete[] image.pixels;
    image.pixels = pixels;
    image.width = scratch.width;
    image.height = scratch.height;
    image.alpha = 0;
    return true;
}

// Like decodeJpeg, with pictureFileName as for fillInto.
bool decodeInto(RenderWindow& renderWindow, const std::string& fileName, std::uint16_t mode,
                const std::string& pictureFileName, LoadError& error)
{
    DecodedPicture scratch;
    std::string message;
    long long offset = -1;
    // The driver's limit goes to the decoder, so that a header declaring a picture no texture
    // can hold is refused before gigabytes are allocated for it.
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    if (!decodeJpegFile(fileName, (mode & TEXTURE_ALPHA) ? PICTURE_GREY : PICTURE_RGB, scratch, message, offset,
                        maxSize)) {
        return failLoad(error, fileName, offset, -1, message);
    }
    return fillInto(renderWindow, scratch, fileName, mode, pictureFileName, error);
}

// GL refuses a texture larger than its limit and leaves the name without an image, which
// would draw as plain white; we report it instead.
bool checkTextureSize(const TextureImage& image, const std::string& fileName, LoadError& error)
{
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    if (maxSize > 0 && (image.width > maxSize || image.height > maxSize)) {
        return failLoad(error, fileName, -1, -1,
                        "the picture is " + sizeText(image.width, image.height) +
                            " pixels; this GL driver takes textures of at most " + std::to_string(maxSize));
    }
    return true;
}

// After a failed load the half-built image is dropped, so the next load starts empty.
TextureId abandonLoad(RenderWindow& renderWindow)
{
    releaseTexturePixels(renderWindow, *renderWindow.currentImage);
    nextTextureImage(renderWindow);
    return 0;
}

TextureId finishLoad(RenderWindow& renderWindow, const std::string& fileName, LoadError& error)
{
    TextureImage& image = *renderWindow.currentImage;
    if (!checkTextureSize(image, fileName, error)) {
        return abandonLoad(renderWindow);
    }
    uploadTexture(renderWindow, image, GL_LINEAR, GL_LINEAR);
    const TextureId name = image.textureName;
    releaseTexturePixels(renderWindow, image);
    nextTextureImage(renderWindow);
    return name;
}

}  // namespace

bool decodeJpeg(RenderWindow& renderWindow, const std::string& fileName, std::uint16_t mode, LoadError& error)
{
    return decodeInto(renderWindow, fileName, mode, "", error);
}

bool fillTextureImage(RenderWindow& renderWindow, const DecodedPicture& picture, const std::string& fileName,
                      std::uint16_t mode, LoadError& error)
{
    return fillInto(renderWindow, picture, fileName, mode, "", error);
}

void uploadTexture(RenderWindow&, TextureImage& image, int magnificationFilter, int minificationFilter)
{
    GLuint name = 0;
    glGenTextures(1, &name);
    image.textureName = name;
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, magnificationFilter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minificationFilter);
    // Rows are packed with no padding, so a row of 33 RGB pixels is 99 bytes; the default
    // alignment of 4 would read them skewed. The caller's alignment comes back afterwards.
    GLint previousAlignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &previousAlignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    if (image.alpha == 1) {
        glTexImage2D(GL_TEXTURE_2D, 0, 4, image.width, image.height, 0, GL_RGBA, GL_UNSIGNED_BYTE, image.pixels);
    } else {
        glTexImage2D(GL_TEXTURE_2D, 0, 3, image.width, image.height, 0, GL_RGB, GL_UNSIGNED_BYTE, image.pixels);
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, previousAlignment);
}

void releaseTexturePixels(RenderWindow&, TextureImage& image)
{
    delete[] image.pixels;
    image.pixels = nullptr;
}

void nextTextureImage(RenderWindow& renderWindow)
{
    // The finished image is never used again; its buffer goes with it if still held.
    delete[] renderWindow.pendingImage.pixels;
    renderWindow.pendingImage = TextureImage();
    renderWindow.currentImage = &renderWindow.pendingImage;
}

TextureId loadTexture(RenderWindow& renderWindow, const std::string& fileName, LoadError& error)
{
    if (!decodeInto(renderWindow, fileName, TEXTURE_COLOUR, "", error)) {
        return abandonLoad(renderWindow);
    }
    return finishLoad(renderWindow, fileName, error);
}

TextureId loadMaskedTexture(RenderWindow& renderWindow, const std::string& fileName, const std::string& maskFileName,
                            LoadError& error)
{
    if (!decodeInto(renderWindow, fileName, TEXTURE_RGBA | TEXTURE_COLOUR, "", error) ||
        !decodeInto(renderWindow, maskFileName, TEXTURE_RGBA | TEXTURE_ALPHA, fileName, error)) {
        return abandonLoad(renderWindow);
    }
    return finishLoad(renderWindow, fileName, error);
}
