#include "platform/loadError.h"
#include "scene3ds/playbackCheck.h"
#include "scene3ds/scene.h"
#include "tests/support/glFixture.h"
#include "timeline/demoTimeline.h"
#include "tools/writer3ds/writer3ds.h"

#include <GL/gl.h>

#include <filesystem>
#include <string>

#include <unistd.h>
#include <memory>

namespace {

// A logo scene of 3000 frames whose only object lies behind its camera, so the picture is
// the clear colour and whatever the sequence draws over it.
std::unique_ptr<Scene> emptyLogoScene(RenderWindow& renderWindow)
{
    using namespace writer3ds;
    writer3ds::Scene description;
    writer3ds::Material white;
    white.name = "white";
    description.materials.push_back(white);
    Object square = quadObject("logo", -1.0f, -1.0f, 1.0f, 1.0f, 0.0f, "white");
    square.points = {{-1.0f, -300.0f, -1.0f}, {1.0f, -300.0f, -1.0f}, {1.0f, -300.0f, 1.0f}, {-1.0f, -300.0f, 1.0f}};
    description.objects.push_back(square);
    description.camera.position = {0.0f, -100.0f, 0.0f};
    description.keyframer.endFrame = 3000;
    description.keyframer.nodes.push_back(
        cameraNode("Camera01", {{0, {0.0f, -100.0f, 0.0f}, {}}}, {{0, 45.0f, {}}}, {{0, 0.0f, {}}}));
    description.keyframer.nodes.push_back(targetNode("Camera01", {{0, {0.0f, 0.0f, 0.0f}, {}}}));
    description.keyframer.nodes.push_back(objectNode("logo", -1, {0.0f, 0.0f, 0.0f}, {{0, {0.0f, 0.0f, 0.0f}, {}}},
                                                     {{0, 0.0f, {0.0f, 0.0f, 1.0f}, {}}},
                                                     {{0, {1.0f, 1.0f, 1.0f}, {}}}));

    // One file per process: ctest runs the cases of this program side by side.
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("kesu-closing-logo-" + std::to_string(getpid()) + ".3ds");
    std::string writeError;
    EXPECT_TRUE(saveFile(path.string(), sceneBytes(description), writeError)) << writeError;
    auto scene = std::make_unique<::Scene>();
    scene->host = &renderWindow;
    LoadError error;
    EXPECT_TRUE(scene->load(path.string(), "", 2, error) && checkScenePlayback(*scene, {}, error))
        << formatLoadError(error);
    return scene;
}

class ClosingSequence : public GlTest {
protected:
    void SetUp() override
    {
        GlTest::SetUp();
        static std::unique_ptr<::Scene> scene;
        if (!scene) scene = emptyLogoScene(renderWindow());
        logo = scene.get();
        // The sequence clears with whatever clear colour is set; white shows the fade.
        glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
    }

    ::Scene* logo = nullptr;

    // Colour of the centre pixel; the alpha channel, which the screen does not show, set to 255.
    static std::array<int, 4> centreColour()
    {
        std::array<int, 4> pixel = readPixel(32, 32);
        pixel[3] = 255;
        return pixel;
    }
};

} // namespace

TEST_F(ClosingSequence, PlaysFrame75AtOneSecondIn)
{
    drawClosingSequence(170.0f, *logo);
    EXPECT_EQ(logo->frame, 75);
    EXPECT_TRUE(pixelNear(centreColour(), {255, 255, 255, 255}));
}

TEST_F(ClosingSequence, FadesToBlackWithAlphaOneThirdAt172Seconds)
{
    drawClosingSequence(172.0f, *logo);
    EXPECT_EQ(logo->frame, 225);
    // 255 x (1 - 0.333) = 170.
    EXPECT_TRUE(pixelNear(centreColour(), {170, 170, 170, 255}));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
}

TEST_F(ClosingSequence, StartsTheFadeOnlyAfter171AndAHalfSeconds)
{
    drawClosingSequence(171.5f, *logo);
    EXPECT_TRUE(pixelNear(centreColour(), {255, 255, 255, 255}));
    drawClosingSequence(172.9f, *logo);
    // Alpha 0.9324 just before the end.
    EXPECT_TRUE(pixelNear(centreColour(), {17, 17, 17, 255}));
}
