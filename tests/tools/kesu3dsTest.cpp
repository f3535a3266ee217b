// kesu-3ds end to end: info, check and render on files written by the writer, damaged
// files and the third-party corpus, each run bounded in time.
#include "tests/scene3ds/sceneFixtures.h"
#include "tests/support/processRunner.h"

#include "platform/files/pngWriter.h"

#include <gtest/gtest.h>

#include <string>

using namespace writer3ds;

namespace {

class Kesu3ds : public ::testing::Test {
protected:
    void SetUp() override { folder = makeTempFolder("kesu3ds"); }

    ProcessResult run(const std::vector<std::string>& args)
    {
        ProcessOptions options;
        options.workingDirectory = folder;
        options.setEnvironment = {{"SDL_VIDEODRIVER", "offscreen"}, {"SDL_AUDIODRIVER", "dummy"}};
        options.timeoutSeconds = 60.0;
        ProcessResult result = runProcess(std::string(KESU_BINARY_DIR) + "/tools/kesu3ds/kesu-3ds", args, options);
        EXPECT_FALSE(result.timedOut);
        EXPECT_EQ(result.signal, 0) << result.err;
        return result;
    }

    std::string write(const std::string& name, const std::vector<std::uint8_t>& bytes)
    {
        std::string error;
        EXPECT_TRUE(saveFile(folder + "/" + name, bytes, error)) << error;
        return folder + "/" + name;
    }

    std::string folder;
};

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

} // namespace

TEST_F(Kesu3ds, InfoDescribesEachPartAndBoundsPlaceEachDrawnNode)
{
    writer3ds::Scene description = sampleScene();
    description.materials[0].textureMap = "wall.jpg";
    description.objects.push_back(boxObject("Loose", {0, 0, 0}, {1, 1, 1}, "Red"));
    Node copy = staticObjectNode("Box", 0, {40, 0, 0});
    copy.instanceName = "Copy";
    description.keyframer.nodes[0].hierarchy = 0;
    description.keyframer.nodes = {dummyNode("Arm", -1, {0, 0, 0}), description.keyframer.nodes[0], copy,
                                   description.keyframer.nodes[1], description.keyframer.nodes[2]};
    const std::string path = write("scene.3ds", sceneBytes(description));
    ProcessResult info = run({"info", path});
    EXPECT_EQ(info.exitStatus, 0) << info.err;
    for (const char* line :
         {"objects: 2\n", "\"Box\": 8 vertices, 12 faces, 8 mapping coordinates, material \"Red\"; drawn by 2 nodes",
          "\"Loose\": 8 vertices, 12 faces, 8 mapping coordinates, material \"Red\"; no keyframer node",
          "\"Red\": ambient 0.100 0.000 0.000, diffuse 1.000 0.000 0.000", "texture map \"wall.jpg\"",
          "lights: 1\n  \"Omni01\" (no light node: shines from its stored position)", "camera: node; near 1, far 1000",
          "frames: segment 0 .. 100, current frame 0", "object node \"$$$DUMMY\" (byte ",
          " instance \"Arm\" (dummy: groups its children): hierarchy -1, parent none, pivot (0, 0, 0); keys: position 1, "
          "rotation 1, scale 1",
          " instance \"Copy\": hierarchy 0, parent \"Arm\"", "camera node \"Camera01\"",
          "keys: position 1, field of view 1, roll 1"}) {
        EXPECT_TRUE(contains(info.out, line)) << line << " in\n" << info.out;
    }
    ProcessResult bounds = run({"bounds", path, "--frame", "5"});
    EXPECT_EQ(bounds.out, "\"Box\" min -10 -10 -10 max 10 10 10\n\"Box.Copy\" min 30 -10 -10 max 50 10 10\n"
                          "\"Loose\" min 0 0 0 max 1 1 1\n");
}

TEST_F(Kesu3ds, DamagedFileIsRefusedWithOffsetAndChunk)
{
    std::vector<std::uint8_t> bytes = sceneBytes(sampleScene());
    const long long points = fixtures::chunkOffset(bytes, CHUNK_POINT_ARRAY);
    fixtures::putU16(bytes, points + 6, 40000);
    const std::string path = write("damaged.3ds", bytes);
    for (const char* command : {"info", "check"}) {
        ProcessResult result = run({command, path});
        EXPECT_EQ(result.exitStatus, 1);
        EXPECT_TRUE(contains(result.err, path + ": byte " + std::to_string(points + 6) + ": chunk 0x4110: point count"))
            << result.err;
    }
}

TEST_F(Kesu3ds, CheckPassesAPlayableSceneWithOneLineAndNamesMissingNodes)
{
    const std::string path = write("scene.3ds", sceneBytes(sampleScene()));
    ProcessResult ok = run({"check", path, "--node", "Box"});
    EXPECT_EQ(ok.exitStatus, 0) << ok.err;
    EXPECT_EQ(ok.out, path + ": ok: 1 objects, 1 materials, 1 lights, 4 keyframer nodes, frames 0 .. 100\n");
    ProcessResult missing = run({"check", path, "--node", "Box", "--node", "rdzen"});
    EXPECT_EQ(missing.exitStatus, 1);
    EXPECT_TRUE(contains(missing.err, "no node is named \"rdzen\"")) << missing.err;
}

TEST_F(Kesu3ds, CheckWarnsOfAMaterialMapItCannotReadNextToTheFile)
{
    writer3ds::Scene description = sampleScene();
    description.materials[0].textureMap = "wall.jpg";
    const std::string path = write("scene.3ds", sceneBytes(description));
    ProcessResult missing = run({"check", path});
    EXPECT_EQ(missing.exitStatus, 0);
    EXPECT_TRUE(contains(missing.err, "warning: " + path + ": material \"Red\": " + folder + "/wall.jpg: cannot open"))
        << missing.err;
}

TEST_F(Kesu3ds, RenderDrawsTheFrameIntoAPng)
{
    const std::string path = write("scene.3ds", sceneBytes(sampleScene()));
    const std::string png = folder + "/frame.png";
    ProcessResult result = run({"render", path, "--frame", "0", "--size", "80x60", "--flags", "0x380", "--out", png});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    std::string rgba, error;
    int width = 0, height = 0;
    ASSERT_TRUE(readPng(png, rgba, width, height, error)) << error;
    ASSERT_EQ(width, 80);
    ASSERT_EQ(height, 60);
    auto pixel = [&](int x, int y) { return reinterpret_cast<const unsigned char*>(rgba.data()) + 4 * (y * width + x); };
    // The red box faces the camera in the middle; the corners show the black clear colour.
    EXPECT_GT(pixel(40, 30)[0], 150);
    EXPECT_LT(pixel(40, 30)[1], 140);
    EXPECT_LT(pixel(2, 2)[0], 3);
}

// A map is decoded by what it holds: a PNG saved as "wood.jpg" draws, as the demo refuses it.
TEST_F(Kesu3ds, RenderDecodesAMapByWhatItHolds)
{
    // Black: the lit red box it maps turns black, where without a map it is red.
    std::vector<std::uint8_t> black(16 * 16 * 4, 0);
    for (std::size_t i = 3; i < black.size(); i += 4) black[i] = 255;
    std::string error;
    ASSERT_TRUE(writePng(folder + "/wood.jpg", black.data(), 16, 16, false, error)) << error;
    writer3ds::Scene description = sampleScene();
    description.materials[0].textureMap = "wood.jpg";
    const std::string path = write("scene.3ds", sceneBytes(description));
    const std::string png = folder + "/frame.png";
    ProcessResult result = run({"render", path, "--frame", "0", "--size", "80x60", "--out", png});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_FALSE(contains(result.err, "warning")) << result.err;
    std::string rgba;
    int width = 0, height = 0;
    ASSERT_TRUE(readPng(png, rgba, width, height, error)) << error;
    const unsigned char* middle = reinterpret_cast<const unsigned char*>(rgba.data()) + 4 * (30 * width + 40);
    EXPECT_LT(middle[0], 30) << "the box is not textured";
}

// Whether the corpus files pass the check is the reader's test (RealScenes); here info
// describes each, and the empty one is refused.
TEST_F(Kesu3ds, CorpusFilesAreDescribedAndTheEmptyOneIsRefused)
{
    const std::string directory = std::string(KESU_SOURCE_DIR) + "/tests/data/corpus3ds/";
    for (const char* name : {"CameraRollAnimWithChildObject.3ds", "RotatingCube.3DS", "TargetCameraAnim.3ds",
                             "cart_wheel.3DS", "cube_with_diffuse_texture.3DS", "cubes_with_alpha.3DS", "fels.3ds",
                             "iflamigm.3ds", "test1.3ds"}) {
        ProcessResult info = run({"info", directory + name});
        EXPECT_EQ(info.exitStatus, 0) << name << ": " << info.err;
        EXPECT_TRUE(contains(info.out, "objects: ")) << name;
    }
    ProcessResult empty = run({"check", directory + "empty.3ds"});
    EXPECT_EQ(empty.exitStatus, 1);
    EXPECT_TRUE(contains(empty.err, "empty.3ds: byte 0: is empty")) << empty.err;
}

// The corpus scenes name their maps in capitals ("CWALL02.JPG", "TEST.PNG") next to files in
// lower case, one of them a PNG: check finds and decodes them all, and render draws them;
// the same scene away from its maps draws otherwise, with a warning.
TEST_F(Kesu3ds, CorpusScenesAreTexturedFromMapsInAnotherCaseAndFormat)
{
    const std::string corpus = std::string(KESU_SOURCE_DIR) + "/tests/data/corpus3ds/";
    for (const std::string name : {"test1.3ds", "cube_with_diffuse_texture.3DS"}) {
        ProcessResult check = run({"check", corpus + name});
        EXPECT_EQ(check.exitStatus, 0) << name << ": " << check.err;
        EXPECT_FALSE(contains(check.err, "warning")) << name << ": " << check.err;
        ASSERT_EQ(std::system(("cp '" + corpus + name + "' '" + folder + "'").c_str()), 0);
        std::string pictures[2];
        for (int bare = 0; bare < 2; ++bare) {
            const std::string png = folder + "/" + name + std::to_string(bare) + ".png";
            ProcessResult render = run({"render", (bare ? folder + "/" : corpus) + name, "--frame", "0", "--size", "80x60",
                                        "--flags", "0x380", "--out", png});
            EXPECT_EQ(render.exitStatus, 0) << render.err;
            EXPECT_EQ(contains(render.err, "warning"), bare == 1) << render.err;
            int width = 0, height = 0;
            std::string error;
            EXPECT_TRUE(readPng(png, pictures[bare], width, height, error)) << error;
        }
        EXPECT_NE(pictures[0], pictures[1]) << name << " draws the same with and without its maps";
    }
}
