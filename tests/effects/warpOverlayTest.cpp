#include "effects/warpOverlay.h"
#include "tests/effects/effectFixture.h"

#include <GL/gl.h>

namespace {

class WarpOverlay : public EffectTest {
protected:
    void SetUp() override
    {
        EffectTest::SetUp();
        static TextureId white = 0, clear = 0, red = 0;
        if (!white) {
            white = solidTexture(255, 255, 255, 255);
            clear = solidTexture(0, 0, 0, 0);
            red = solidTexture(255, 0, 0, 255);
        }
        // Brightening layer white, translucent layer fully transparent, logo opaque red.
        setWarpOverlayTextures(white, clear, red);
        setWarpOverlayWindow(17.5f, 50.0f);
        fillScreen(0.4f, 0.4f, 0.4f);
    }

    // Pixel of the normalised device coordinates (x, y) in the 64 x 64 viewport.
    static std::array<int, 4> pixelAt(float x, float y)
    {
        return readPixel(static_cast<int>((x + 1.0f) * 32.0f), static_cast<int>((y + 1.0f) * 32.0f));
    }
};

} // namespace

TEST_F(WarpOverlay, ShowsOnlyTheLogoTrailJustAfterItsStart)
{
    drawWarpOverlay(17.5001f);
    // All four copies overlap at (-0.5, 0.6); their alphas 0.2, 0.33, 0.47 and 0.6 cover the grey.
    const std::array<int, 4> logo = pixelAt(-0.5f, 0.6f);
    EXPECT_GT(logo[0], 200);
    EXPECT_LT(logo[1], 40);
    // Away from the logo both layers are still invisible.
    EXPECT_TRUE(pixelNear(pixelAt(0.7f, -0.7f), {102, 102, 102, 255}));
}

TEST_F(WarpOverlay, BrighteningLayerIsAtFullStrengthOneTwentiethIntoTheWindow)
{
    // e = d / 20 = 1.625 s: a squared is 1 and the white layer lightens everything to white.
    drawWarpOverlay(17.5f + 1.625f);
    EXPECT_TRUE(pixelNear(pixelAt(0.7f, -0.7f), {255, 255, 255, 255}, 3));
    EXPECT_TRUE(pixelNear(pixelAt(-0.9f, 0.9f), {255, 255, 255, 255}, 3));
    EXPECT_FALSE(enabled(GL_BLEND));
    EXPECT_TRUE(enabled(GL_TEXTURE_2D));
    EXPECT_FALSE(enabled(GL_DEPTH_TEST));
    const std::array<float, 16> identity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    EXPECT_EQ(matrix(GL_PROJECTION_MATRIX), identity);
    EXPECT_EQ(matrix(GL_MODELVIEW_MATRIX), identity);
}
