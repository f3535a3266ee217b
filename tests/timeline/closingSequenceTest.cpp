#include "platform/files/loadError.h"
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
    writer3ds::Scene description = writer3ds::sampleScene();
    description.objects[0] = writer3ds::boxObject("Box", {-10.0f, -310.0f, -10.0f}, {10.0f, -290.0f, 10.0f}, "Red");
    description.keyframer.endFrame = 3000;

    // One file per process: ctest runs the cases of this program side by side.
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("kesu-closing-logo-" + std::to_string(getpid()) + ".3ds");
    std::string writeError;
    EXPECT_TRUE(writer3ds::saveFile(path.string(), writer3ds::sceneBytes(description), writeError)) << writeError;
    auto scene = std::make_unique<::Scene>();
    scene->host = &renderWindow;
    LoadError error;
    EXPECT_TRUE(scene->load(path.string(), "", 2, error) && checkScenePlayback(*scene, {}, error))
        << formatLoadError(error);
    return scene;
}

using ClosingSequence = GlTest;

} // namespace

// The logo scene plays (t - 169) x 75 over a clear to the clear colour (white here), and from
// 171.5 s a black overlay of alpha (t - 173 + 1.5) x 0.666 fades it: 255 x (1 - alpha).
TEST_F(ClosingSequence, PlaysTheLogoSceneAndFadesToBlackAfter171AndAHalfSeconds)
{
    static std::unique_ptr<::Scene> logo;
    if (!logo) logo = emptyLogoScene(renderWindow());
    struct Row {
        float t;
        int frame, grey;
    };
    for (const Row& row : {Row{170.0f, 75, 255}, Row{171.5f, 187, 255}, Row{172.0f, 225, 170}, Row{172.9f, 292, 17}}) {
        glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
        drawClosingSequence(row.t, *logo);
        EXPECT_EQ(logo->frame, row.frame) << row.t;
        std::array<int, 4> centre = readPixel(32, 32);
        centre[3] = 255;   // the screen does not show alpha
        EXPECT_TRUE(pixelNear(centre, {row.grey, row.grey, row.grey, 255})) << row.t;
        EXPECT_FALSE(glIsEnabled(GL_BLEND));
    }
}
