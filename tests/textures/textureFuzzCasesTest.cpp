// Inputs the texture fuzzer found, each rebuilt here from a picture of our own encoder and
// damaged on purpose, so that every finding stays fixed.
#include "tests/support/glFixture.h"

#include "platform/jpegEncoder.h"
#include "platform/loadError.h"
#include "textures/texture.h"

#include <GL/gl.h>

#include <fstream>
#include <iterator>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

long peakResidentKilobytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

class TextureLoaderFuzzCases : public GlTest {
protected:
    void SetUp() override
    {
        GlTest::SetUp();
        folder = ::testing::TempDir() + "kesu-texture-fuzz-" + std::to_string(getpid()) + "/";
        mkdir(folder.c_str(), 0755);
    }

    // A 64 x 48 picture with detail in every block, as the fuzzer's seeds have.
    std::vector<std::uint8_t> pictureBytes(int channels)
    {
        std::vector<std::uint8_t> pixels(64 * 48 * channels);
        for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint8_t>(i * 37 % 251);
        const std::string path = folder + "source.jpg";
        std::string message;
        EXPECT_TRUE(encodeJpeg(path, pixels.data(), 64, 48, channels, 90, false, message)) << message;
        std::ifstream in(path, std::ios::binary);
        return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    // The frame header's height and width replaced, the scan data left for 64 x 48.
    std::vector<std::uint8_t> withDeclaredSize(std::vector<std::uint8_t> bytes, int width, int height)
    {
        for (std::size_t i = 0; i + 9 < bytes.size(); ++i) {
            if (bytes[i] == 0xFF && bytes[i + 1] == 0xC0) {
                bytes[i + 5] = static_cast<std::uint8_t>(height >> 8);
                bytes[i + 6] = static_cast<std::uint8_t>(height & 0xFF);
                bytes[i + 7] = static_cast<std::uint8_t>(width >> 8);
                bytes[i + 8] = static_cast<std::uint8_t>(width & 0xFF);
                return bytes;
            }
        }
        ADD_FAILURE() << "no baseline frame header";
        return bytes;
    }

    std::string save(const std::string& name, const std::vector<std::uint8_t>& bytes)
    {
        const std::string path = folder + name;
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    void expectCleanFailure(TextureId name)
    {
        EXPECT_EQ(name, 0u);
        EXPECT_EQ(renderWindow().pendingImage.pixels, nullptr);
        EXPECT_EQ(renderWindow().currentImage, &renderWindow().pendingImage);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }

    std::string folder;
};

// Found as an out-of-memory stop: a header of 65500 x 65500 with a few kilobytes of data
// made the decoder ask for 12 GB of RGB before it met the end of the data. The size is
// refused from the header now, for the picture and for the mask alike.
TEST_F(TextureLoaderFuzzCases, HeaderDeclaringAGiantPictureIsRefusedBeforeAllocating)
{
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    ASSERT_GT(maxSize, 0);
    ASSERT_LT(maxSize, 65500);
    const std::string giant = save("giant.jpg", withDeclaredSize(pictureBytes(3), 65500, 65500));
    const std::string giantMask = save("giantmask.jpg", withDeclaredSize(pictureBytes(1), 65500, 48));
    const std::string picture = save("picture.jpg", pictureBytes(3));

    const long peakBefore = peakResidentKilobytes();
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
    EXPECT_LT(peakResidentKilobytes() - peakBefore, 8 * 1024);
}
