#include "tests/support/glFixture.h"

#include "platform/jpegDecoder.h"
#include "platform/jpegEncoder.h"
#include "platform/loadError.h"
#include "textures/texture.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// A picture of solid blocks, each blockSize pixels square, so that lossy coding keeps
// every block's centre within a level or two of its colour.
std::vector<std::uint8_t> blockPicture(int columns, int rows, int blockSize, int channels,
                                       const std::vector<std::vector<int>>& blockColours)
{
    const int width = columns * blockSize;
    const int height = rows * blockSize;
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width * height * channels));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::vector<int>& colour = blockColours[(y / blockSize) * columns + x / blockSize];
            for (int c = 0; c < channels; ++c) {
                pixels[(y * width + x) * channels + c] = static_cast<std::uint8_t>(colour[c]);
            }
        }
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
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
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
                          int channels, bool progressive = false, int quality = 100)
    {
        const std::string path = folder + name;
        std::string error;
        EXPECT_TRUE(encodeJpeg(path, pixels.data(), width, height, channels, quality, progressive, error)) << error;
        return path;
    }

    // 32 x 16: a red block left of a blue one.
    std::string redBlueJpeg(const std::string& name)
    {
        return writeJpeg(name, blockPicture(2, 1, 16, 3, {{255, 0, 0}, {0, 0, 255}}), 32, 16, 3);
    }

    std::string folder;
};

TEST_F(TextureLoader, MaskGreyLevelsBecomeAlphaUnchanged)
{
    const std::string picture =
        writeJpeg("colour.jpg", blockPicture(3, 1, 16, 3, {{200, 40, 40}, {40, 200, 40}, {40, 40, 200}}), 48, 16, 3);
    const std::string mask = writeJpeg("mask.jpg", blockPicture(3, 1, 16, 1, {{255}, {0}, {128}}), 48, 16, 1);
    LoadError error;
    const TextureId name = loadMaskedTexture(renderWindow(), picture, mask, error);
    ASSERT_NE(name, 0u) << formatLoadError(error);

    GLint internalFormat = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &internalFormat);
    EXPECT_TRUE(internalFormat == 4 || internalFormat == GL_RGBA) << internalFormat;
    int width = 0, height = 0;
    const std::vector<std::uint8_t> texels = boundTexels(width, height);
    ASSERT_EQ(width, 48);
    ASSERT_EQ(height, 16);
    EXPECT_TRUE(pixelNear(texel(texels, width, 8, 8), {200, 40, 40, 255}));
    EXPECT_TRUE(pixelNear(texel(texels, width, 24, 8), {40, 200, 40, 0}));
    EXPECT_TRUE(pixelNear(texel(texels, width, 40, 8), {40, 40, 200, 128}));
}

TEST_F(TextureLoader, GreyScaleJpegGivesEqualColourChannels)
{
    const std::string path = writeJpeg("grey.jpg", blockPicture(2, 1, 8, 1, {{30}, {220}}), 16, 8, 1);
    LoadError error;
    ASSERT_NE(loadTexture(renderWindow(), path, error), 0u) << formatLoadError(error);
    GLint internalFormat = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &internalFormat);
    EXPECT_TRUE(internalFormat == 3 || internalFormat == GL_RGB) << internalFormat;
    int width = 0, height = 0;
    const std::vector<std::uint8_t> texels = boundTexels(width, height);
    for (int x = 0; x < width; ++x) {
        const std::array<int, 4> t = texel(texels, width, x, 4);
        EXPECT_EQ(t[0], t[1]);
        EXPECT_EQ(t[1], t[2]);
    }
    EXPECT_TRUE(pixelNear(texel(texels, width, 3, 4), {30, 30, 30, 255}));
    EXPECT_TRUE(pixelNear(texel(texels, width, 12, 4), {220, 220, 220, 255}));
}

TEST_F(TextureLoader, TextureRowZeroIsThePicturesTopRow)
{
    // Top half yellow, bottom half blue.
    const std::string path =
        writeJpeg("topbottom.jpg", blockPicture(1, 2, 16, 3, {{255, 255, 0}, {0, 0, 255}}), 16, 32, 3);
    LoadError error;
    ASSERT_NE(loadTexture(renderWindow(), path, error), 0u) << formatLoadError(error);
    int width = 0, height = 0;
    const std::vector<std::uint8_t> texels = boundTexels(width, height);
    EXPECT_TRUE(pixelNear(texel(texels, width, 8, 0), {255, 255, 0, 255}));
    EXPECT_TRUE(pixelNear(texel(texels, width, 8, 31), {0, 0, 255, 255}));
}

TEST_F(TextureLoader, TwoLoadsGiveTwoNamesAndTheLastStaysBound)
{
    const std::string path = redBlueJpeg("twice.jpg");
    LoadError error;
    const TextureId first = loadTexture(renderWindow(), path, error);
    const TextureId second = loadTexture(renderWindow(), path, error);
    EXPECT_NE(first, 0u);
    EXPECT_NE(second, 0u);
    EXPECT_NE(first, second);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<TextureId>(bound), second);
    GLint magnification = 0, minification = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magnification);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minification);
    EXPECT_EQ(magnification, GL_LINEAR);
    EXPECT_EQ(minification, GL_LINEAR);
    // The pending image is empty again, ready for the next load.
    EXPECT_EQ(renderWindow().currentImage, &renderWindow().pendingImage);
    EXPECT_EQ(renderWindow().pendingImage.pixels, nullptr);
}

// 33 RGB pixels make a 99-byte row: under the default unpack alignment of 4 every row
// after the first would start skewed. Each texel must equal the decoded pixel.
TEST_F(TextureLoader, OddWidthUploadsEveryRowInPlace)
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
    JpegPicture decoded;
    std::string message;
    long long offset = -1;
    ASSERT_TRUE(decodeJpegFile(path, JPEG_OUTPUT_RGB, decoded, message, offset)) << message;

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
        int mismatches = 0;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const std::uint8_t* want = &decoded.pixels[(y * width + x) * 3];
                const std::array<int, 4> got = texel(texels, width, x, y);
                mismatches += got[0] != want[0] || got[1] != want[1] || got[2] != want[2];
            }
        }
        EXPECT_EQ(mismatches, 0) << (masked ? "masked" : "plain");
    }
    GLint alignment = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    EXPECT_EQ(alignment, 4) << "the caller's unpack alignment comes back after the upload";
}

TEST_F(TextureLoader, BaselineAndProgressiveFilesDecodeAlike)
{
    const std::vector<std::uint8_t> pixels = blockPicture(2, 2, 16, 3, {{250, 10, 10}, {10, 250, 10}, {10, 10, 250}, {128, 128, 128}});
    const std::string baseline = writeJpeg("baseline.jpg", pixels, 32, 32, 3, false, 95);
    const std::string progressive = writeJpeg("progressive.jpg", pixels, 32, 32, 3, true, 95);
    JpegPicture a, b;
    std::string message;
    long long offset = -1;
    ASSERT_TRUE(decodeJpegFile(baseline, JPEG_OUTPUT_RGB, a, message, offset)) << message;
    ASSERT_TRUE(decodeJpegFile(progressive, JPEG_OUTPUT_RGB, b, message, offset)) << message;
    ASSERT_EQ(a.pixels.size(), b.pixels.size());
    EXPECT_EQ(b.width, 32);
    EXPECT_EQ(b.channels, 3);
    // Block centres of the progressive file against the original colours.
    const int centres[4][2] = {{8, 8}, {24, 8}, {8, 24}, {24, 24}};
    for (const auto& centre : centres) {
        const std::size_t i = static_cast<std::size_t>((centre[1] * 32 + centre[0]) * 3);
        for (int c = 0; c < 3; ++c) {
            EXPECT_NEAR(b.pixels[i + c], pixels[i + c], 4);
        }
    }
}

class TextureLoaderErrors : public TextureLoader {
protected:
    // Every failed load returns 0, leaves the pending image empty and no GL error behind.
    void expectCleanFailure(TextureId name)
    {
        EXPECT_EQ(name, 0u);
        EXPECT_EQ(renderWindow().pendingImage.pixels, nullptr);
        EXPECT_EQ(renderWindow().currentImage, &renderWindow().pendingImage);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
};

TEST_F(TextureLoaderErrors, MissingOrUnreadableFileNamesTheFile)
{
    const std::string path = folder + "absent.jpg";
    LoadError error;
    expectCleanFailure(loadTexture(renderWindow(), path, error));
    EXPECT_EQ(error.file, path);
    EXPECT_EQ(error.offset, -1);
    EXPECT_EQ(formatLoadError(error).rfind(path + ": cannot open", 0), 0u) << formatLoadError(error);

    // A directory opens but cannot be read.
    const std::string directory = folder + "directory.jpg";
    mkdir(directory.c_str(), 0755);
    expectCleanFailure(loadTexture(renderWindow(), directory, error));
    EXPECT_EQ(error.file, directory);
    EXPECT_NE(error.text.find("cannot"), std::string::npos) << error.text;
}

TEST_F(TextureLoaderErrors, TruncatedFileIsAnErrorAtItsEnd)
{
    const std::string whole = redBlueJpeg("whole.jpg");
    std::vector<std::uint8_t> bytes = readFileBytes(whole);
    ASSERT_GT(bytes.size(), 400u);
    // Cut inside the entropy-coded data, past every header.
    const std::size_t cut = bytes.size() - 60;
    bytes.resize(cut);
    const std::string path = folder + "truncated.jpg";
    writeFileBytes(path, bytes);
    LoadError error;
    expectCleanFailure(loadTexture(renderWindow(), path, error));
    EXPECT_EQ(error.file, path);
    EXPECT_EQ(error.offset, static_cast<long long>(cut));
    EXPECT_NE(error.text.find("Premature end"), std::string::npos) << error.text;
}

TEST_F(TextureLoaderErrors, FileWithoutJpegMarkerIsRefusedAtItsStart)
{
    const std::string path = folder + "notjpeg.jpg";
    writeFileBytes(path, {'P', 'N', 'G', ' ', 'n', 'o', 't', ' ', 'J', 'P', 'E', 'G'});
    LoadError error;
    expectCleanFailure(loadTexture(renderWindow(), path, error));
    EXPECT_EQ(error.file, path);
    EXPECT_GE(error.offset, 0);
    EXPECT_LE(error.offset, 2);
    EXPECT_NE(error.text.find("Not a JPEG file"), std::string::npos) << error.text;
}

TEST_F(TextureLoaderErrors, EmptyFileIsAnErrorAtByteZero)
{
    const std::string path = folder + "empty.jpg";
    writeFileBytes(path, {});
    LoadError error;
    expectCleanFailure(loadTexture(renderWindow(), path, error));
    EXPECT_EQ(error.file, path);
    EXPECT_EQ(error.offset, 0);
}

TEST_F(TextureLoaderErrors, CorruptScanDataIsAnErrorNotGarbage)
{
    // Noise, so that the scan holds a few kilobytes of entropy-coded data.
    std::vector<std::uint8_t> noise(64 * 64 * 3);
    std::uint32_t state = 7;
    for (std::uint8_t& value : noise) {
        state = state * 1103515245u + 12345u;
        value = static_cast<std::uint8_t>(state >> 24);
    }
    std::vector<std::uint8_t> bytes = readFileBytes(writeJpeg("noise.jpg", noise, 64, 64, 3));
    std::size_t scanStart = 0;
    for (std::size_t i = 0; i + 3 < bytes.size(); ++i) {
        if (bytes[i] == 0xFF && bytes[i + 1] == 0xDA) {
            scanStart = i + 2 + (bytes[i + 2] << 8 | bytes[i + 3]);
            break;
        }
    }
    ASSERT_GT(scanStart, 0u);
    ASSERT_GT(bytes.size(), scanStart + 1000);
    // A restart marker in the middle of the scan, where the file has none: the decoder
    // would resynchronise and guess the rest.
    const std::size_t middle = (scanStart + bytes.size()) / 2;
    bytes[middle] = 0xFF;
    bytes[middle + 1] = 0xD3;
    const std::string path = folder + "corrupt.jpg";
    writeFileBytes(path, bytes);
    LoadError error;
    expectCleanFailure(loadTexture(renderWindow(), path, error));
    EXPECT_EQ(error.file, path);
    EXPECT_GE(error.offset, static_cast<long long>(scanStart));
    EXPECT_LE(error.offset, static_cast<long long>(middle + 2));
    EXPECT_NE(error.text.find("Corrupt JPEG data"), std::string::npos) << error.text;
}

TEST_F(TextureLoaderErrors, CmykFileIsRefusedWithAMessage)
{
    const std::string path = folder + "cmyk.jpg";
    std::vector<std::uint8_t> cmyk(16 * 16 * 4, 100);
    std::string message;
    ASSERT_TRUE(encodeJpegCmyk(path, cmyk.data(), 16, 16, 90, message)) << message;
    LoadError error;
    expectCleanFailure(loadTexture(renderWindow(), path, error));
    EXPECT_EQ(error.file, path);
    EXPECT_NE(error.text.find("CMYK"), std::string::npos) << error.text;
    expectCleanFailure(loadMaskedTexture(renderWindow(), redBlueJpeg("cmykpicture.jpg"), path, error));
    EXPECT_EQ(error.file, path);
}

TEST_F(TextureLoaderErrors, MaskOfAnotherSizeNamesBothFiles)
{
    const std::string picture = redBlueJpeg("sized.jpg");
    const std::string mask = writeJpeg("smallmask.jpg", std::vector<std::uint8_t>(16 * 16, 255), 16, 16, 1);
    LoadError error;
    expectCleanFailure(loadMaskedTexture(renderWindow(), picture, mask, error));
    EXPECT_EQ(error.file, mask);
    EXPECT_NE(error.text.find(picture), std::string::npos) << error.text;
    EXPECT_NE(error.text.find("16 x 16"), std::string::npos) << error.text;
    EXPECT_NE(error.text.find("32 x 16"), std::string::npos) << error.text;
}

TEST_F(TextureLoaderErrors, MissingPictureOrMaskIsNamedAndTheNextLoadStartsFromAnEmptyImage)
{
    const std::string picture = redBlueJpeg("recover.jpg");
    LoadError error;
    expectCleanFailure(loadMaskedTexture(renderWindow(), folder + "nopicture.jpg", picture, error));
    EXPECT_EQ(error.file, folder + "nopicture.jpg");
    expectCleanFailure(loadMaskedTexture(renderWindow(), picture, folder + "nomask.jpg", error));
    EXPECT_EQ(error.file, folder + "nomask.jpg");
    const TextureId name = loadTexture(renderWindow(), picture, error);
    ASSERT_NE(name, 0u) << formatLoadError(error);
    GLint internalFormat = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &internalFormat);
    EXPECT_TRUE(internalFormat == 3 || internalFormat == GL_RGB) << internalFormat;
}

// A picture larger than the driver takes is refused from its header, before any pixels are
// allocated: the texture fuzzer found a header of 65500 x 65500 with a few kilobytes of data
// that made the decoder ask for 12 GB of RGB. The picture and the mask alike.
TEST_F(TextureLoaderErrors, HeaderDeclaringAGiantPictureIsRefusedBeforeAllocating)
{
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    ASSERT_GT(maxSize, 0);
    ASSERT_LT(maxSize, 65500);
    // A 64 x 48 picture with detail in every block, its frame header's size replaced.
    auto declaring = [&](const std::string& name, int channels, int width, int height) {
        std::vector<std::uint8_t> pixels(64 * 48 * channels);
        for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint8_t>(i * 37 % 251);
        std::vector<std::uint8_t> bytes = readFileBytes(writeJpeg(name, pixels, 64, 48, channels, false, 90));
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
    expectCleanFailure(loadTexture(renderWindow(), giant, error));
    EXPECT_EQ(error.file, giant);
    EXPECT_NE(error.text.find("65500 x 65500"), std::string::npos) << error.text;
    EXPECT_NE(error.text.find("at most " + std::to_string(maxSize)), std::string::npos) << error.text;

    error = LoadError();
    expectCleanFailure(loadMaskedTexture(renderWindow(), picture, giantMask, error));
    EXPECT_EQ(error.file, giantMask);
    EXPECT_NE(error.text.find("65500 x 48"), std::string::npos) << error.text;
    // The giant picture's pixels were never allocated: its RGB alone would be 12 GB.
    getrusage(RUSAGE_SELF, &usage);
    EXPECT_LT(usage.ru_maxrss - peakBefore, 8 * 1024);
}
