#include "effects/blobOrbit.h"
#include "tests/effects/effectFixture.h"

#include <GL/gl.h>

#include <functional>

namespace {

class BlobOrbit : public EffectTest {
protected:
    void SetUp() override
    {
        EffectTest::SetUp();
        static bool configured = false;
        if (!configured) {
            // Two different greys for the background, so that each layer shows, and an opaque
            // blue banner.
            setBlobOrbit(solidTexture(200, 200, 200, 255), solidTexture(64, 64, 64, 255),
                         solidTexture(0, 0, 255, 255), solidTexture(255, 255, 255, 255));
            setBlobOrbitWindow(50.0f, 65.0f);
            configured = true;
        }
        fillScreen(0.0f, 1.0f, 0.0f);
    }

    // How many pixels along a row or column of the picture satisfy the test.
    static int count(int x, int y, int dx, int dy, int steps, const std::function<bool(const std::array<int, 4>&)>& test)
    {
        int found = 0;
        for (int i = 0; i < steps; ++i) found += test(readPixel(x + i * dx, y + i * dy));
        return found;
    }
};

bool blue(const std::array<int, 4>& pixel) { return pixel[2] > 200 && pixel[0] < 50; }

// The background is 2 x 200 x 64 / 255 = 100 grey; anything else there is a blob.
bool blob(const std::array<int, 4>& pixel) { return !blue(pixel) && !pixelNear(pixel, {100, 100, 100, 255}, 4); }

} // namespace

TEST_F(BlobOrbit, BackgroundIsTwiceTheProductOfItsLayers)
{
    drawBlobOrbit(52.0f, 0.3f);
    EXPECT_TRUE(pixelNear(readPixel(1, 1), {100, 100, 100, 255}, 3));
}

// At 52 s one blob hangs below the banner with its orbit radius running up the screen. At
// pulse 0.5 it is scaled (0.5, 0.5, 3): half as wide across its row 9, and along column 37
// it reaches from the bottom edge up to the banner instead of ending 12 pixels up.
TEST_F(BlobOrbit, OnABeatEachBlobFlattensSidewaysAndStretchesAlongItsOrbitRadius)
{
    int width[2], height[2];
    for (int beat = 0; beat < 2; ++beat) {
        fillScreen(0.0f, 1.0f, 0.0f);
        drawBlobOrbit(52.0f, beat == 0 ? 0.0f : 0.5f);
        width[beat] = count(26, 9, 1, 0, 22, blob);
        height[beat] = count(37, 0, 0, 1, 19, blob);
    }
    EXPECT_GT(width[0], 8);
    EXPECT_LT(width[1], 0.7 * width[0]);
    EXPECT_GT(height[1], 1.4 * height[0]);
}

// The banner's middle column sits at depth -15 cos(pi e): 15 units away from the viewer at
// the start, flat at e = 0.5 and 15 units nearer at e = 1. Its top edge, 12 units up, then
// shows at row 32 + 32 x 12 / ((38 - z) tan 30), rows 44, 49 and 60, while its ends stay put.
TEST_F(BlobOrbit, BannerBowsAwayAndTowardsTheViewerEveryTwoSeconds)
{
    struct Row {
        float t;
        int topRow;
    };
    for (const Row& row : {Row{50.001f, 44}, Row{50.5f, 49}, Row{51.0f, 60}}) {
        fillScreen(0.0f, 1.0f, 0.0f);
        drawBlobOrbit(row.t, 0.0f);
        EXPECT_TRUE(blue(readPixel(32, row.topRow))) << row.t;
        EXPECT_FALSE(blue(readPixel(32, row.topRow + 2))) << row.t;
        EXPECT_TRUE(blue(readPixel(1, 48))) << row.t;
        EXPECT_FALSE(blue(readPixel(1, 51))) << row.t;
    }
}
