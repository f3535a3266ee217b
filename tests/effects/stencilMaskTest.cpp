#include "effects/blindsMask.h"
#include "effects/grassScene.h"
#include "scene3ds/scene.h"
#include "tests/effects/effectFixture.h"

#include <GL/gl.h>

namespace {

// The grass scene is one square filling the view, 100 units away: beyond the fog's end
// of 40, so it shows as the fog colour, 0.6 grey (153) in the middle of a beat.
class StencilMask : public EffectTest {
protected:
    void SetUp() override
    {
        EffectTest::SetUp();
        static std::unique_ptr<Scene> grass, blindsCovering, blindsAway;
        if (!grass) {
            grass = loadScene(stillScene({facingSquare("grass", -200.0f, -200.0f, 200.0f, 200.0f)}), "trawa");
            // Blinds over the left half of the view, and blinds off to the side of it.
            blindsCovering =
                loadScene(stillScene({facingSquare("blind", -200.0f, -200.0f, 0.0f, 200.0f)}), "blindLeft");
            blindsAway = loadScene(stillScene({facingSquare("blind", 500.0f, -10.0f, 520.0f, 10.0f)}), "blindAway");
            setGrassScene(grass.get());
            setGrassWindow(10.0f, 50.0f, 17.5f);
        }
        covering = blindsCovering.get();
        away = blindsAway.get();
        // The title picture the blinds open onto.
        fillScreen(1.0f, 0.0f, 0.0f);
    }

    Scene* covering = nullptr;
    Scene* away = nullptr;
};

const std::array<int, 4> titleRed = {255, 0, 0, 255};
const std::array<int, 4> flashGrey = {153, 153, 153, 255};

} // namespace

TEST_F(StencilMask, BlindsCoveringNothingLeaveTheTitlePictureUntouched)
{
    setBlindsMask(away);
    drawBlindsMask(12.0f, 10.0f, 17.5f);
    drawGrassScene(12.0f, 0.5f);
    for (const auto& pixel : {readPixel(5, 32), readPixel(32, 32), readPixel(60, 5), readPixel(60, 60)}) {
        EXPECT_TRUE(pixelNear(pixel, titleRed));
    }
}

TEST_F(StencilMask, GrassShowsWhereTheBlindsCover)
{
    setBlindsMask(covering);
    drawBlindsMask(12.0f, 10.0f, 17.5f);
    drawGrassScene(12.0f, 0.5f);
    EXPECT_TRUE(pixelNear(readPixel(10, 32), flashGrey, 3));
    EXPECT_TRUE(pixelNear(readPixel(54, 32), titleRed));
}

TEST_F(StencilMask, BetweenBeatsTheGrassBackgroundAndFogAreBlack)
{
    setBlindsMask(covering);
    drawBlindsMask(12.0f, 10.0f, 17.5f);
    drawGrassScene(12.0f, 0.0f);
    EXPECT_TRUE(pixelNear(readPixel(10, 32), {0, 0, 0, 255}));
    EXPECT_TRUE(pixelNear(readPixel(54, 32), titleRed));
}

TEST_F(StencilMask, AtTheSwitchTimeTheGrassClearsTheWholeScreenWithoutTheMask)
{
    setBlindsMask(covering);
    drawBlindsMask(17.5f, 10.0f, 17.5f);
    drawGrassScene(17.5f, 0.5f);
    EXPECT_TRUE(pixelNear(readPixel(10, 32), flashGrey, 3));
    EXPECT_TRUE(pixelNear(readPixel(54, 32), flashGrey, 3));
}

TEST_F(StencilMask, GrassLeavesStencilTestAndFogOffAndColourWritesOn)
{
    setBlindsMask(covering);
    drawBlindsMask(12.0f, 10.0f, 17.5f);
    EXPECT_TRUE(enabled(GL_STENCIL_TEST));
    drawGrassScene(12.0f, 0.2f);
    EXPECT_FALSE(enabled(GL_STENCIL_TEST));
    EXPECT_FALSE(enabled(GL_FOG));
    GLboolean writes[4] = {GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE};
    glGetBooleanv(GL_COLOR_WRITEMASK, writes);
    EXPECT_TRUE(writes[0] && writes[1] && writes[2] && writes[3]);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
