// Material textures, made after the walk with GL: plain and masked maps, meshes marked
// textured only with mapping coordinates, missing maps named with their material.
#include "tests/scene3ds/sceneFixtures.h"
#include "tests/support/glFixture.h"

#include "platform/files/jpegEncoder.h"
#include "platform/files/pngWriter.h"

#include <GL/gl.h>

#include <cstdlib>
#include <string>
#include <unistd.h>

using namespace writer3ds;

namespace {

class SceneTextures : public GlTest {
protected:
    void SetUp() override
    {
        GlTest::SetUp();
        char pattern[] = "/tmp/kesu-scene-textures-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory = std::string(pattern) + "/";
        std::string error;
        std::vector<std::uint8_t> green(16 * 16 * 3);
        for (std::size_t i = 0; i < green.size(); i += 3) green[i + 1] = 255;
        ASSERT_TRUE(encodeJpeg(directory + "green.jpg", green.data(), 16, 16, 3, 95, false, error)) << error;
        std::vector<std::uint8_t> grey(16 * 16, 128);
        ASSERT_TRUE(encodeJpeg(directory + "mask.jpg", grey.data(), 16, 16, 1, 95, false, error)) << error;
    }

    void TearDown() override
    {
        std::string command = "rm -rf '" + directory + "'";
        EXPECT_EQ(std::system(command.c_str()), 0);
        GlTest::TearDown();
    }

    // Writes the scene next to the maps and loads it as the demo does.
    bool load(::Scene& scene, const writer3ds::Scene& description, LoadError& error, int imageKind = 2)
    {
        std::string writeError;
        EXPECT_TRUE(saveFile(directory + "scene.3ds", sceneBytes(description), writeError)) << writeError;
        scene.host = &renderWindow();
        return scene.load(directory + "scene.3ds", directory, imageKind, error);
    }

    std::string directory;
};

} // namespace

TEST_F(SceneTextures, TextureMapMakesATextureAndMarksMappedMeshes)
{
    writer3ds::Scene description = sampleScene();
    description.materials[0].textureMap = "green.jpg";
    description.objects.push_back(description.objects[0]);
    description.objects[1].name = "Unmapped";
    description.objects[1].texCoords.clear();
    description.keyframer.nodes.push_back(staticObjectNode("Unmapped", -1, {0, 0, 0}));
    ::Scene scene;
    LoadError error;
    ASSERT_TRUE(load(scene, description, error)) << formatLoadError(error);
    const TextureId texture = scene.materials[0].texture;
    ASSERT_NE(texture, 0u);
    EXPECT_TRUE(glIsTexture(texture));
    EXPECT_EQ(scene.nodes[0].mesh->flags, MESH_LIT | MESH_TEXTURED);
    EXPECT_EQ(scene.nodes[0].mesh->texture, texture);
    EXPECT_EQ(scene.nodes[1].mesh->flags, MESH_LIT);
    EXPECT_EQ(scene.nodes[1].mesh->texture, 0u);
    // The pending image is fresh and empty for the next texture.
    EXPECT_EQ(renderWindow().currentImage->pixels, nullptr);
}

// An opacity map blends the meshes of its material (the grey-to-alpha decoding itself is the
// texture loader's, tested there).
TEST_F(SceneTextures, OpacityMapBlendsTheMeshesOfItsMaterial)
{
    writer3ds::Scene description = sampleScene();
    description.materials[0].textureMap = "green.jpg";
    description.materials[0].opacityMap = "mask.jpg";
    ::Scene scene;
    LoadError error;
    ASSERT_TRUE(load(scene, description, error)) << formatLoadError(error);
    EXPECT_NE(scene.materials[0].texture, 0u);
    EXPECT_TRUE(scene.nodes[0].mesh->flags & MESH_BLEND);
    EXPECT_TRUE(scene.nodes[0].mesh->flags & MESH_TEXTURED);
}

TEST_F(SceneTextures, MissingMapOrMaskIsReportedWithItsMaterialAndLeavesNoPixelsBehind)
{
    for (const auto& [texture, mask] : {std::pair<const char*, const char*>{"absent.jpg", ""}, {"green.jpg", "nomask.jpg"}}) {
        writer3ds::Scene description = sampleScene();
        description.materials[0].textureMap = texture;
        description.materials[0].opacityMap = mask;
        ::Scene scene;
        LoadError error;
        EXPECT_FALSE(load(scene, description, error));
        const std::string missing = *mask ? mask : texture;
        EXPECT_NE(formatLoadError(error).find(missing), std::string::npos) << formatLoadError(error);
        EXPECT_NE(error.text.find("material \"Red\""), std::string::npos) << formatLoadError(error);
        EXPECT_EQ(renderWindow().currentImage->pixels, nullptr);
    }
}

// A map is found under another case when the exact name does not exist, and judged by what it
// holds, not by its name: a JPEG saved as .bmp is decoded, a PNG saved as .jpg refused naming
// the scene, the material, the map and what it holds; a mask without a texture map is never
// read (whatever its name says); other image kinds are refused.
TEST_F(SceneTextures, MapsAreFoundInAnyCaseJudgedByWhatTheyHoldAndOtherKindsRefused)
{
    std::string writeError;
    ASSERT_EQ(std::system(("cp '" + directory + "green.jpg' '" + directory + "wood.bmp'").c_str()), 0);
    std::vector<std::uint8_t> rgba(16 * 16 * 4, 255);
    ASSERT_TRUE(writePng(directory + "wood.jpg", rgba.data(), 16, 16, false, writeError)) << writeError;
    struct Row {
        const char* map;
        const char* mask;
        int imageKind;
        const char* refusal;   // "" when the load succeeds
    };
    for (const Row& row : {Row{"GREEN.JPG", "", 2, ""}, Row{"wood.bmp", "", 2, ""}, Row{"", "shadow.png", 2, ""},
                           Row{"wood.jpg", "", 2, "material \"Red\": "},
                           Row{"green.jpg", "", 1, "image kind 1"}}) {
        writer3ds::Scene description = sampleScene();
        description.materials[0].textureMap = row.map;
        description.materials[0].opacityMap = row.mask;
        ::Scene scene;
        LoadError error;
        const bool loaded = load(scene, description, error, row.imageKind);
        EXPECT_EQ(loaded, !*row.refusal) << row.map << ": " << formatLoadError(error);
        if (loaded) {
            EXPECT_EQ(scene.materials[0].texture != 0u, *row.map != 0) << row.map;
        } else {
            EXPECT_NE(formatLoadError(error).find(row.refusal), std::string::npos) << formatLoadError(error);
        }
    }
    LoadError error;
    writer3ds::Scene description = sampleScene();
    description.materials[0].textureMap = "wood.jpg";
    ::Scene scene;
    EXPECT_FALSE(load(scene, description, error));
    EXPECT_EQ(formatLoadError(error), directory + "scene.3ds: material \"Red\": " + directory +
                                          "wood.jpg: holds a PNG picture; the demo reads JPEG maps only");
}
