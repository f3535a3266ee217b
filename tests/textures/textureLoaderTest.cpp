#include "tests/support/glFixture.h"

#include "platform/files/jpegDecoder.h"
#include "platform/files/jpegEncoder.h"
#include "platform/files/loadError.h"
#include "textures/texture.h"

#include <GL/gl.h>

#include <fstream>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// A picture of solid blocks in a row, each 16 pixels square, so that lossy coding keeps
// every block's centre within a level or two of its colour.
std::vector<std::uint8_t> blockRow(int channels, const std::vector<std::vector<int>>& blockColours)
{
    const int width = 16 * static_cast<int>(blockColours.size());
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width * 16 * channels));
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = static_cast<std::uint8_t>(blockColours[(i / channels) % width / 16][i % channels]);
    }
    return pixels;
}

std::vector<std::uint8_t> readFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// The texels of the bound texture as RGBA, row 0 first (texture coordinate t = 0).
std::vector<std::uint8_t> boundTexels(int& width, int& height)
{
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    std::vector<std::uint8_t> texels(static_cast<std::size_t>(width * height * 4));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    return texels;
}

std::array<int, 4> texel(const std::vector<std::uint8_t>& texels, int width, int x, int y)
{
    const std::size_t i = static_cast<std::size_t>((y * width + x) * 4);
    return {texels[i], texels[i + 1], texels[i + 2], texels[i + 3]};
}

GLint internalFormat()
{
    GLint format = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
    return format;
}

}  // namespace

class TextureLoader : public GlTest {
protected:
    void SetUp() override
    {
        GlTest::SetUp();
        folder = ::testing::TempDir() + "kesu-textures-" + std::to_string(getpid()) + "/";
        mkdir(folder.c_str(), 0755);
    }

    std::string writeJpeg(const std::string& name, const std::vector<std::uint8_t>& pixels, int width, int height,
                          int channels, int quality = 100)
    {
        std::string error;
        EXPECT_TRUE(encodeJpeg(folder + name, pixels.data(), width, height, channels, quality, false, error)) << error;
        return folder + name;
    }

    // 32 x 16: a red block left of a blue one.
    std::string redBlueJpeg(const std::string& name)
    {
        return writeJpeg(name, blockRow(3, {{255, 0, 0}, {0, 0, 255}}), 32, 16, 3);
    }

    std::string folder;
};

// The mask's grey level becomes the alpha unchanged, whether the mask is stored as a grey
// JPEG or as a colour one, whose luminance counts: pure red is 76, pure green 150.
TEST_F(TextureLoader, MaskGreyLevelsBecomeAlphaUnchanged)
{
    const std::string picture = writeJpeg("colour.jpg", blockRow(3, {{200, 40, 40}, {40, 200, 40}, {40, 40, 200}}), 48, 16, 3);
    const std::string greyMask = writeJpeg("grey.jpg", blockRow(1, {{255}, {0}, {128}}), 48, 16, 1);
    const std::string colourMask = writeJpeg("colourmask.jpg", blockRow(3, {{255, 0, 0}, {0, 255, 0}, {255, 255, 255}}), 48, 16, 3);
    for (const auto& mask : {std::make_pair(greyMask, std::array<int, 3>{255, 0, 128}),
                             std::make_pair(colourMask, std::array<int, 3>{76, 150, 255})}) {
        SCOPED_TRACE(mask.first);
        LoadError error;
        ASSERT_NE(loadMaskedTexture(renderWindow(), picture, mask.first, error), 0u) << formatLoadError(error);
        EXPECT_TRUE(internalFormat() == 4 || internalFormat() == GL_RGBA) << internalFormat();
        int width = 0, height = 0;
        const std::vector<std::uint8_t> texels = boundTexels(width, height);
        ASSERT_EQ(width, 48);
        EXPECT_TRUE(pixelNear(texel(texels, width, 8, 8), {200, 40, 40, mask.second[0]}));
        EXPECT_TRUE(pixelNear(texel(texels, width, 24, 8), {40, 200, 40, mask.second[1]}));
        EXPECT_TRUE(pixelNear(texel(texels, width, 40, 8), {40, 40, 200, mask.second[2]}));
    }
}

// 33 RGB pixels make a 99-byte row: under the default unpack alignment of 4 every row after
// the first would start skewed. Each texel must equal the decoded pixel, row 0 the top row.
TEST_F(TextureLoader, OddWidthUploadsEveryRowInPlaceTopRowFirst)
{
    const int width = 33, height = 17;
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width * height * 3));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = &pixels[(y * width + x) * 3];
            p[0] = static_cast<std::uint8_t>(y * 15);
            p[1] = static_cast<std::uint8_t>(x * 7);
            p[2] = static_cast<std::uint8_t>(255 - y * 15);
        }
    }
    const std::string path = writeJpeg("odd.jpg", pixels, width, height, 3);
    const std::string maskPath = writeJpeg("oddmask.jpg", std::vector<std::uint8_t>(width * height, 90), width, height, 1);
    DecodedPicture decoded;
    std::string message;
    long long offset = -1;
    ASSERT_TRUE(decodeJpegFile(path, PICTURE_RGB, decoded, message, offset)) << message;

    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    for (bool masked : {false, true}) {
        LoadError error;
        const TextureId name = masked ? loadMaskedTexture(renderWindow(), path, maskPath, error)
                                      : loadTexture(renderWindow(), path, error);
        ASSERT_NE(name, 0u) << formatLoadError(error);
        int texWidth = 0, texHeight = 0;
        const std::vector<std::uint8_t> texels = boundTexels(texWidth, texHeight);
        ASSERT_EQ(texWidth, width);
        ASSERT_EQ(texHeight, height);
        EXPECT_TRUE(pixelNear(texel(texels, width, 16, 0), {0, 112, 255, masked ? 90 : 255}, 12));
        int mismatches = 0;
        for (int i = 0; i < width * height; ++i) {
            const std::array<int, 4> got = texel(texels, width, i % width, i / width);
            for (int c = 0; c < 3; ++c) mismatches += got[c] != decoded.pixels[3 * i + c];
        }
        EXPECT_EQ(mismatches, 0) << (masked ? "masked" : "plain");
    }
    GLint alignment = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    EXPECT_EQ(alignment, 4) << "the caller's unpack alignment comes back after the upload";
}

// Every failed load names the file, returns 0, leaves the pending image empty and no GL error
// behind, and the next load starts afresh.
TEST_F(TextureLoader, BadFilesAreRefusedWithTheFileTheByteAndTheReason)
{
    const std::string picture = redBlueJpeg("picture.jpg");
    const std::vector<std::uint8_t> whole = readFileBytes(picture);
    // Noise, so that the scan holds a few kilobytes of entropy-coded data, and a restart
    // marker put in its middle, where the file has none.
    std::vector<std::uint8_t> noise(64 * 64 * 3);
    std::uint32_t state = 7;
    for (std::uint8_t& value : noise) value = static_cast<std::uint8_t>((state = state * 1103515245u + 12345u) >> 24);
    std::vector<std::uint8_t> corrupt = readFileBytes(writeJpeg("noise.jpg", noise, 64, 64, 3));
    std::size_t scanStart = 0;
    for (std::size_t i = 0; i + 3 < corrupt.size() && scanStart == 0; ++i) {
        if (corrupt[i] == 0xFF && corrupt[i + 1] == 0xDA) scanStart = i + 2 + (corrupt[i + 2] << 8 | corrupt[i + 3]);
    }
    ASSERT_GT(corrupt.size(), scanStart + 1000);
    const std::size_t middle = (scanStart + corrupt.size()) / 2;
    corrupt[middle] = 0xFF;
    corrupt[middle + 1] = 0xD3;
    std::string message;
    const std::vector<std::uint8_t> cmykPixels(16 * 16 * 4, 100);
    ASSERT_TRUE(encodeJpegCmyk(folder + "cmyk.jpg", cmykPixels.data(), 16, 16, 90, message)) << message;
    mkdir((folder + "directory.jpg").c_str(), 0755);
    writeFileBytes(folder + "empty.jpg", {});
    writeFileBytes(folder + "notjpeg.jpg", {'P', 'N', 'G', ' ', 'n', 'o', 't', ' ', 'J', 'P', 'E', 'G'});
    writeFileBytes(folder + "truncated.jpg", std::vector<std::uint8_t>(whole.begin(), whole.end() - 60));
    writeFileBytes(folder + "corrupt.jpg", corrupt);
    writeJpeg("smallmask.jpg", std::vector<std::uint8_t>(16 * 16, 255), 16, 16, 1);

    struct Row {
        std::string picture, mask;   // no mask: a plain texture
        std::string namedFile;
        long long lowestOffset, highestOffset;
        std::string text;
    };
    const long long cut = static_cast<long long>(whole.size() - 60);
    const std::vector<Row> rows = {
        {folder + "absent.jpg", "", folder + "absent.jpg", -1, -1, "cannot open"},
        {folder + "directory.jpg", "", folder + "directory.jpg", -1, -1, "cannot"},
        {folder + "empty.jpg", "", folder + "empty.jpg", 0, 0, ""},
        {folder + "notjpeg.jpg", "", folder + "notjpeg.jpg", 0, 2, "Not a JPEG file"},
        {folder + "truncated.jpg", "", folder + "truncated.jpg", cut, cut, "Premature end"},
        {folder + "corrupt.jpg", "", folder + "corrupt.jpg", static_cast<long long>(scanStart),
         static_cast<long long>(middle + 2), "Corrupt JPEG data"},
        {folder + "cmyk.jpg", "", folder + "cmyk.jpg", -1, 1 << 20, "CMYK"},
        {picture, folder + "cmyk.jpg", folder + "cmyk.jpg", -1, 1 << 20, "CMYK"},
        {picture, folder + "smallmask.jpg", folder + "smallmask.jpg", -1, -1, "16 x 16 pixels but " + picture + " is 32 x 16"},
        {folder + "absent.jpg", picture, folder + "absent.jpg", -1, -1, "cannot open"},
        {picture, folder + "nomask.jpg", folder + "nomask.jpg", -1, -1, "cannot open"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.picture + " " + row.mask);
        LoadError error;
        EXPECT_EQ(row.mask.empty() ? loadTexture(renderWindow(), row.picture, error)
                                   : loadMaskedTexture(renderWindow(), row.picture, row.mask, error),
                  0u);
        EXPECT_EQ(error.file, row.namedFile);
        EXPECT_GE(error.offset, row.lowestOffset);
        EXPECT_LE(error.offset, row.highestOffset);
        EXPECT_NE(formatLoadError(error).find(row.text), std::string::npos) << formatLoadError(error);
        EXPECT_EQ(renderWindow().pendingImage.pixels, nullptr);
        EXPECT_EQ(renderWindow().currentImage, &renderWindow().pendingImage);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
    // A failed masked load leaves no four-channel image behind for the next plain one.
    LoadError error;
    ASSERT_NE(loadTexture(renderWindow(), picture, error), 0u) << formatLoadError(error);
    EXPECT_TRUE(internalFormat() == 3 || internalFormat() == GL_RGB) << internalFormat();
}

// A picture larger than the driver takes is refused from its header, before any pixels are
// allocated: the texture fuzzer found a header of 65500 x 65500 with a few kilobytes of data
// that made the decoder ask for 12 GB of RGB. The picture and the mask alike.
TEST_F(TextureLoader, HeaderDeclaringAGiantPictureIsRefusedBeforeAllocating)
{
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    ASSERT_GT(maxSize, 0);
    ASSERT_LT(maxSize, 65500);
    // A 64 x 48 picture with detail in every block, its frame header's size replaced.
    auto declaring = [&](const std::string& name, int channels, int width, int height) {
        std::vector<std::uint8_t> pixels(64 * 48 * channels);
        for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint8_t>(i * 37 % 251);
        std::vector<std::uint8_t> bytes = readFileBytes(writeJpeg(name, pixels, 64, 48, channels, 90));
        for (std::size_t i = 0; i + 9 < bytes.size(); ++i) {
            if (bytes[i] == 0xFF && bytes[i + 1] == 0xC0) {
                const std::uint8_t size[4] = {std::uint8_t(height >> 8), std::uint8_t(height), std::uint8_t(width >> 8),
                                              std::uint8_t(width)};
                std::copy(size, size + 4, bytes.begin() + i + 5);
                break;
            }
        }
        writeFileBytes(folder + name, bytes);
        return folder + name;
    };
    const std::string giant = declaring("giant.jpg", 3, 65500, 65500);
    const std::string giantMask = declaring("giantmask.jpg", 1, 65500, 48);
    const std::string picture = declaring("picture.jpg", 3, 64, 48);

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const long peakBefore = usage.ru_maxrss;
    LoadError error;
    EXPECT_EQ(loadTexture(renderWindow(), giant, error), 0u);
    EXPECT_EQ(error.file, giant);
    EXPECT_NE(error.text.find("65500 x 65500"), std::string::npos) << error.text;
    EXPECT_NE(error.text.find("at most " + std::to_string(maxSize)), std::string::npos) << error.text;
    error = LoadError();
    EXPECT_EQ(loadMaskedTexture(renderWindow(), picture, giantMask, error), 0u);
    EXPECT_EQ(error.file, giantMask);
    EXPECT_NE(error.text.find("65500 x 48"), std::string::npos) << error.text;
    // The giant picture's pixels were never allocated: its RGB alone would be 12 GB.
    getrusage(RUSAGE_SELF, &usage);
    EXPECT_LT(usage.ru_maxrss - peakBefore, 8 * 1024);
}
