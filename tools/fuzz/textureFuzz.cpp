// libFuzzer entry for the texture loaders: any bytes as a picture (and a mask) end in a
// texture of the size the file's frame header declares, or in a LoadError that names the
// file at fault; never a crash, a hang, a leak, a GL error or a half-built pending image.
//
// Input layout (textureFuzzInput.h): the first byte picks the loader, the rest is the
// colour file, then the mask file after the separator. One offscreen GL context is made
// at start-up, as the tests and the capture tool make theirs.
#include "platform/display/renderWindow.h"
#include "platform/display/window.h"
#include "platform/files/loadError.h"
#include "textures/texture.h"
#include "tools/fuzz/fuzzWindow.h"
#include "tools/fuzz/textureFuzzInput.h"

#include <GL/gl.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

RenderWindow* window = nullptr;
std::string colourPath;
std::string maskPath;

[[noreturn]] void fail(const char* what, const std::string& detail)
{
    std::fprintf(stderr, "texture loader invariant broken: %s: %s\n", what, detail.c_str());
    std::abort();
}

bool writeFile(const std::string& path, const std::string& bytes)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

// The picture size a decoder must deliver: width and height from the first start-of-frame
// marker, found by walking the marker segments from the start-of-image marker. Read here
// independently of the decoder, so a texture of another size shows a decoder that guessed.
bool frameSize(const std::string& bytes, int& width, int& height)
{
    const auto byteAt = [&](std::size_t i) { return static_cast<unsigned>(static_cast<unsigned char>(bytes[i])); };
    if (bytes.size() < 4 || byteAt(0) != 0xFF || byteAt(1) != 0xD8) return false;
    std::size_t at = 2;
    while (at + 4 <= bytes.size()) {
        if (byteAt(at) != 0xFF) return false;
        const unsigned marker = byteAt(at + 1);
        if (marker == 0xFF) {   // fill byte before a marker
            ++at;
            continue;
        }
        if ((marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {   // restart and TEM: no length
            at += 2;
            continue;
        }
        const std::size_t length = byteAt(at + 2) << 8 | byteAt(at + 3);
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            if (at + 9 > bytes.size()) return false;
            height = static_cast<int>(byteAt(at + 5) << 8 | byteAt(at + 6));
            width = static_cast<int>(byteAt(at + 7) << 8 | byteAt(at + 8));
            return true;
        }
        // A length below 2 is taken as 2 by the decoder, which goes on after the length field.
        at += 2 + (length < 2 ? 2 : length);
    }
    return false;
}

// The decoder stands in an end-of-image marker of its own when the data runs out, and must
// then refuse the file; so every file that became a texture holds a real one after its
// first start-of-scan marker.
bool holdsEndMarkerAfterScan(const std::string& bytes)
{
    const std::size_t scan = bytes.find("\xFF\xDA");
    return scan != std::string::npos && bytes.find("\xFF\xD9", scan + 2) != std::string::npos;
}

// The error must name one of the input files and an offset inside it (-1 when no byte is
// meant, the only choice for a file that does not exist).
bool namesInputFile(const LoadError& error, const FuzzTextureInput& input)
{
    if (error.offset < -1) return false;
    if (error.file == colourPath) return error.offset <= static_cast<long long>(input.colour.size());
    if (!input.masked || error.file != maskPath) return false;
    if (!input.maskPresent) return error.offset == -1;
    return error.offset <= static_cast<long long>(input.mask.size());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    window = &fuzzRenderWindow("kesu_fuzz_texture", 64, 64);
    const char* folder = std::getenv("TMPDIR");
    std::string pattern = std::string(folder && *folder ? folder : "/tmp") + "/kesu-fuzz-texture-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        std::perror("kesu_fuzz_texture: mkdtemp");
        std::exit(1);
    }
    colourPath = pattern + "/colour.jpg";
    maskPath = pattern + "/mask.jpg";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const FuzzTextureInput input = splitTextureInput(data, size);
    if (!writeFile(colourPath, input.colour)) fail("cannot write", colourPath);
    std::remove(maskPath.c_str());
    if (input.maskPresent && !writeFile(maskPath, input.mask)) fail("cannot write", maskPath);

    LoadError error;
    const TextureId name = input.masked ? loadMaskedTexture(*window, colourPath, maskPath, error)
                                        : loadTexture(*window, colourPath, error);

    if (window->currentImage != &window->pendingImage || window->pendingImage.pixels != nullptr) {
        fail("the pending image is not empty after a load", formatLoadError(error));
    }
    const GLenum glError = glGetError();
    if (glError != GL_NO_ERROR) fail("GL error after a load", std::to_string(glError));

    if (name == 0) {
        if (error.text.empty()) fail("no texture and no reason", error.file);
        if (!namesInputFile(error, input)) fail("the error names the wrong file or offset", formatLoadError(error));
        return 0;
    }
    if (!error.text.empty() || !error.file.empty()) fail("a texture with an error", formatLoadError(error));

    GLint bound = 0, width = 0, height = 0, alphaBits = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_ALPHA_SIZE, &alphaBits);
    if (static_cast<TextureId>(bound) != name) fail("the new texture is not bound", std::to_string(bound));
    if ((alphaBits > 0) != input.masked) fail("alpha channel does not match the loader", std::to_string(alphaBits));
    int frameWidth = 0, frameHeight = 0;
    if (!frameSize(input.colour, frameWidth, frameHeight)) fail("a texture from a file without a frame header", "");
    if (width != frameWidth || height != frameHeight) {
        fail("texture size differs from the frame header",
             std::to_string(width) + " x " + std::to_string(height) + " against " + std::to_string(frameWidth) +
                 " x " + std::to_string(frameHeight));
    }
    if (!holdsEndMarkerAfterScan(input.colour)) fail("a texture from a file that ran out", "");
    if (input.masked && !holdsEndMarkerAfterScan(input.mask)) fail("a texture from a mask that ran out", "");
    if (input.masked) {
        int maskWidth = 0, maskHeight = 0;
        if (!frameSize(input.mask, maskWidth, maskHeight) || maskWidth != frameWidth || maskHeight != frameHeight) {
            fail("a masked texture from a mask of another size", std::to_string(maskWidth) + " x " + std::to_string(maskHeight));
        }
    }
    // Textures live for the whole run in the demo; here each input's goes, so memory stays flat.
    const GLuint texture = name;
    glDeleteTextures(1, &texture);
    return 0;
}
