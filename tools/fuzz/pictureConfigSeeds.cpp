// Writes the seed files of the "kesu.ini" and texture fuzzers: configuration texts that
// are read and that fall back, and pictures made by our own encoder in several sizes,
// grey, progressive, CMYK and cut short, alone and paired with masks that match or not.
#include "platform/files/jpegEncoder.h"
#include "tools/fuzz/textureFuzzInput.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

bool saveBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

// Diagonal bands in each channel, so every 8 x 8 block carries detail and the entropy
// coder has AC coefficients to write, not only flat colour.
std::vector<std::uint8_t> bandedPixels(int width, int height, int channels)
{
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * channels);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            for (int c = 0; c < channels; ++c) {
                pixels[(static_cast<std::size_t>(y) * width + x) * channels + c] =
                    static_cast<std::uint8_t>((x * (3 + c) + y * (5 - c)) * 7);
            }
        }
    }
    return pixels;
}

struct PictureMaker {
    std::string scratch;   // a temporary file the encoder writes and we read back
    std::string error;

    std::string read()
    {
        std::ifstream in(scratch, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    std::string jpeg(int width, int height, int channels, int quality, bool progressive)
    {
        const std::vector<std::uint8_t> pixels = bandedPixels(width, height, channels);
        if (!encodeJpeg(scratch, pixels.data(), width, height, channels, quality, progressive, error)) return "";
        return read();
    }

    std::string cmyk(int width, int height)
    {
        const std::vector<std::uint8_t> pixels = bandedPixels(width, height, 4);
        if (!encodeJpegCmyk(scratch, pixels.data(), width, height, 75, error)) return "";
        return read();
    }
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: kesu_fuzz_picture_config_seeds CONFIG_DIRECTORY TEXTURE_DIRECTORY\n");
        return 2;
    }
    const std::string configDir = argv[1];
    const std::string textureDir = argv[2];
    mkdir(configDir.c_str(), 0755);
    mkdir(textureDir.c_str(), 0755);

    const std::string configs[] = {
        "640 480 1", "640\n480\n1\n", "\t 640\r\n\t480  \n\n  1 trailing words 7 8", "1280 720 -1", "1 16384 0",
        "+800 +600 +0", "", "text", "640 480", "640 x 480 1", "0 0 1", "99999 99999 1", "-640 480 1",
        "640 16385 1", "99999999999 480 1", "2147483647 2147483648 1", "- 640 480 1",
        std::string("640 480 1\0junk", 14), std::string("640\0 480 1", 10),
    };
    int written = 0;
    for (const std::string& text : configs) {
        if (!saveBytes(configDir + "/kesu-" + std::to_string(written++) + ".ini", text)) {
            std::fprintf(stderr, "cannot write into %s\n", configDir.c_str());
            return 1;
        }
    }

    PictureMaker maker;
    maker.scratch = textureDir + "/.scratch-" + std::to_string(getpid()) + ".jpg";
    struct Shape {
        int width, height, channels, quality;
        bool progressive;
    };
    const Shape shapes[] = {
        {1, 1, 3, 90, false},   {8, 8, 3, 90, false},  {16, 16, 3, 10, false}, {33, 17, 3, 75, false},
        {64, 48, 3, 90, false}, {7, 130, 3, 50, false}, {16, 16, 1, 90, false}, {33, 17, 1, 60, false},
        {16, 16, 3, 90, true},  {33, 17, 3, 75, true},  {24, 24, 1, 80, true},
    };
    std::vector<FuzzTextureInput> inputs;
    for (const Shape& shape : shapes) {
        FuzzTextureInput plain;
        plain.colour = maker.jpeg(shape.width, shape.height, shape.channels, shape.quality, shape.progressive);
        if (plain.colour.empty()) {
            std::fprintf(stderr, "%s\n", maker.error.c_str());
            return 1;
        }
        inputs.push_back(plain);

        FuzzTextureInput masked = plain;
        masked.masked = true;
        masked.maskPresent = true;
        masked.mask = maker.jpeg(shape.width, shape.height, 1, 70, !shape.progressive);
        inputs.push_back(masked);
    }
    FuzzTextureInput colourMask;   // a colour file as the mask decodes as grey
    colourMask.masked = true;
    colourMask.maskPresent = true;
    colourMask.colour = maker.jpeg(16, 16, 3, 90, false);
    colourMask.mask = maker.jpeg(16, 16, 3, 90, true);
    inputs.push_back(colourMask);
    FuzzTextureInput wrongSize = colourMask;
    wrongSize.mask = maker.jpeg(16, 8, 1, 90, false);
    inputs.push_back(wrongSize);
    FuzzTextureInput noMask = colourMask;
    noMask.maskPresent = false;
    noMask.mask.clear();
    inputs.push_back(noMask);
    FuzzTextureInput cmyk;
    cmyk.colour = maker.cmyk(16, 16);
    inputs.push_back(cmyk);
    FuzzTextureInput cut;   // ends inside the entropy-coded data
    cut.colour = maker.jpeg(33, 17, 3, 75, false);
    cut.colour.resize(cut.colour.size() - 40);
    inputs.push_back(cut);
    FuzzTextureInput cutMask = colourMask;
    cutMask.mask.resize(cutMask.mask.size() / 2);
    inputs.push_back(cutMask);
    std::remove(maker.scratch.c_str());

    for (std::size_t i = 0; i < inputs.size(); ++i) {
        if (!saveBytes(textureDir + "/picture-" + std::to_string(i), joinTextureInput(inputs[i]))) {
            std::fprintf(stderr, "cannot write into %s\n", textureDir.c_str());
            return 1;
        }
    }
    std::printf("%d configuration seeds in %s, %zu picture seeds in %s\n", written, configDir.c_str(), inputs.size(),
                textureDir.c_str());
    return 0;
}
