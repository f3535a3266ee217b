// The fixed-function layer over OpenGL ES 3 against the system's GL 1.1, both on Mesa: small
// scenes drawn by one program linked both ways, and the whole show captured both ways.
#include "platform/files/pngWriter.h"
#include "tests/support/processRunner.h"
#include "tests/support/regularBuildOnly.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

const std::string testsFolder = std::string(KESU_BINARY_DIR) + "/tests";
const std::string captureFolder = std::string(KESU_BINARY_DIR) + "/tools/capture";
constexpr double captureBound = 600.0;

struct Difference {
    double mean = 0.0;          // of every channel, in 1/255
    double fractionOver = 0.0;  // of pixels with a channel off by more than `over`
    int worst = 0;
};

// Red, green and blue of two pictures of the same size, RGBA each.
Difference compare(const std::string& a, const std::string& b, int over)
{
    Difference d;
    const std::size_t pixels = std::min(a.size(), b.size()) / 4;
    double sum = 0.0;
    std::size_t off = 0;
    for (std::size_t p = 0; p < pixels; ++p) {
        int most = 0;
        for (std::size_t c = 0; c < 3; ++c) {
            const int channel = std::abs(static_cast<unsigned char>(a[4 * p + c]) - static_cast<unsigned char>(b[4 * p + c]));
            sum += channel;
            most = std::max(most, channel);
        }
        d.worst = std::max(d.worst, most);
        off += most > over ? 1 : 0;
    }
    d.mean = pixels ? sum / (3.0 * static_cast<double>(pixels)) : 0.0;
    d.fractionOver = pixels ? static_cast<double>(off) / static_cast<double>(pixels) : 0.0;
    return d;
}

} // namespace

// Each light kind with the local viewer, emission and shininess, flat and smooth quads, linear
// fog, sphere-map generation, two units, a display list under other matrices and what it
// leaves current, wire frames with culling, every attribute bit the show pushes, pixels drawn
// at the raster position, the stencil mask, the last triangles of a picture copied by a blit
// with no flush before it: within 8 of 255 everywhere but a few pixels.
TEST(FixedGlLayer, SmallScenesDrawAsTheSystemsGlDraws)
{
    const std::string system = makeTempFolder("layer-gl"), layered = makeTempFolder("layer-gles");
    const ProcessResult reference = runProcess(testsFolder + "/layerScenes_gl", {system}, headless(system, captureBound));
    ASSERT_EQ(reference.exitStatus, 0) << reference.err;
    const ProcessResult drawn = runProcess(testsFolder + "/layerScenes_gles", {layered}, headless(layered, captureBound));
    ASSERT_EQ(drawn.exitStatus, 0) << drawn.err;
    for (const char* scene : {"lights", "materials", "quads", "fog", "sphereMap", "twoUnits", "lists", "wireFrames",
                              "attributes", "drawPixels", "stencil", "blit"}) {
        SCOPED_TRACE(scene);
        const std::string expected = readFile(system + "/" + scene + ".rgba");
        const std::string actual = readFile(layered + "/" + scene + ".rgba");
        ASSERT_EQ(expected.size(), 64u * 64u * 4u);
        ASSERT_EQ(actual.size(), expected.size());
        const Difference d = compare(expected, actual, 8);
        EXPECT_LE(d.fractionOver * 64 * 64, 4.0) << "pixels off by more than 8: " << d.fractionOver * 64 * 64;
        EXPECT_LE(d.mean, 0.25) << "worst " << d.worst;
    }
}

// The whole show, captured at 320 x 240 on the system's GL and through the layer: a frame every
// two seconds from 0 to 172 and the eight golden moments, each within a mean difference of 2 of
// 255 and at most 1 % of its pixels off by more than 32. The worst frame is printed.
TEST(FixedGlLayer, TheShowDrawsAsOnTheSystemsGlEveryTwoSecondsAndAtTheGoldenMoments)
{
    KESU_REGULAR_BUILD_ONLY("pictures compared; the layer's calls run in the small scenes (its programs are not built)");
    const std::string pack = generatedDataFolder();
    ASSERT_FALSE(pack.empty()) << "the generated data pack is missing from the build";
    std::vector<std::string> times;
    for (int t = 0; t <= 172; t += 2) times.push_back(std::to_string(t));
    for (const char* golden : {"14", "57", "75", "95", "170.5"}) times.push_back(golden);
    const std::string system = makeTempFolder("show-gl"), layered = makeTempFolder("show-gles");
    for (const auto& [program, folder] : {std::pair<std::string, std::string>{"kesu-capture", system},
                                          std::pair<std::string, std::string>{"kesu-capture-gles", layered}}) {
        std::vector<std::string> args = {"--size", "320x240", "--out", folder};
        for (const std::string& t : times) args.insert(args.end(), {"--at", t});
        const ProcessResult result = runProcess(captureFolder + "/" + program, args, headless(pack + "/..", captureBound));
        ASSERT_EQ(result.exitStatus, 0) << program << ": " << result.err;
    }
    Difference worst;
    std::string worstName;
    for (const std::string& t : times) {
        char name[32];
        std::snprintf(name, sizeof name, "at-%09.3f.png", std::atof(t.c_str()));
        SCOPED_TRACE(name);
        std::string expected, actual, problem;
        int width = 0, height = 0;
        ASSERT_TRUE(readPng(system + "/" + name, expected, width, height, problem)) << problem;
        ASSERT_TRUE(readPng(layered + "/" + name, actual, width, height, problem)) << problem;
        const Difference d = compare(expected, actual, 32);
        EXPECT_LE(d.mean, 2.0);
        EXPECT_LE(d.fractionOver, 0.01);
        if (d.mean > worst.mean) {
            worst = d;
            worstName = name;
        }
    }
    std::printf("the worst frame: %s, mean difference %.3f of 255, %.3f %% of pixels off by more than 32\n",
                worstName.c_str(), worst.mean, worst.fractionOver * 100.0);
}
