#include "tests/support/glFeedback.h"
#include "tests/support/glFixture.h"

#include "effects/drawKit.h"

#include <GL/gl.h>

#include <array>
#include <cmath>
#include <vector>

namespace {

using Quads = std::vector<std::vector<FeedbackVertex>>;

// Window coordinates of the 64 x 64 viewport back to normalised device coordinates.
float ndc(float window)
{
    return window / 32.0f - 1.0f;
}

GLint integer(GLenum name)
{
    GLint value = 0;
    glGetIntegerv(name, &value);
    return value;
}

}  // namespace

class DrawKit : public GlTest {
protected:
    void SetUp() override
    {
        GlTest::SetUp();
        glDisable(GL_BLEND);
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_LIGHTING);
        glDepthMask(GL_TRUE);
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
        if (quadrants == 0) {
            // Row 0 (t = 0) red, green; row 1 blue, white.
            const std::uint8_t texels[12] = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};
            GLuint name = 0;
            glGenTextures(1, &name);
            glBindTexture(GL_TEXTURE_2D, name);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
            glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 2, 2, 0, GL_RGB, GL_UNSIGNED_BYTE, texels);
            quadrants = name;
        }
        glBindTexture(GL_TEXTURE_2D, quadrants);
    }

    static TextureId quadrants;
};

TextureId DrawKit::quadrants = 0;

TEST_F(DrawKit, ScreenColourIsOpaqueWithoutBlendingWhateverTheAlphaAndMatrices)
{
    glEnable(GL_DEPTH_TEST);
    glMatrixMode(GL_PROJECTION);
    glTranslatef(5.0f, 0.0f, 0.0f);
    glMatrixMode(GL_MODELVIEW);
    glScalef(0.1f, 0.1f, 0.1f);
    drawScreenColor(1.0f, 0.5f, 0.0f, 0.2f);
    for (auto corner : {std::array<int, 2>{0, 0}, {63, 0}, {0, 63}, {63, 63}}) {
        const std::array<int, 4> pixel = readPixel(corner[0], corner[1]);
        EXPECT_TRUE(pixelNear({pixel[0], pixel[1], pixel[2], 0}, {255, 128, 0, 0}));
    }
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_EQ(integer(GL_MATRIX_MODE), GL_MODELVIEW);
    const std::array<float, 16> identity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    std::array<float, 16> projection, modelview;
    glGetFloatv(GL_PROJECTION_MATRIX, projection.data());
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview.data());
    EXPECT_EQ(projection, identity);
    EXPECT_EQ(modelview, identity);
}

TEST_F(DrawKit, ScreenTextureShowsTheTopRowAtTheTop)
{
    glEnable(GL_DEPTH_TEST);
    drawScreenTexture(quadrants, -1.0f, 1.0f, 1.0f, -1.0f);
    // Top-left red, top-right green, bottom-left blue, bottom-right white.
    EXPECT_TRUE(pixelNear(readPixel(8, 56), {255, 0, 0, 255}));
    EXPECT_TRUE(pixelNear(readPixel(56, 56), {0, 255, 0, 255}));
    EXPECT_TRUE(pixelNear(readPixel(8, 8), {0, 0, 255, 255}));
    EXPECT_TRUE(pixelNear(readPixel(56, 8), {255, 255, 255, 255}));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));

    // A sub-rectangle: the right half of the screen's upper half.
    glClear(GL_COLOR_BUFFER_BIT);
    drawScreenTexture(quadrants, 0.0f, 1.0f, 1.0f, 0.0f);
    EXPECT_TRUE(pixelNear(readPixel(36, 60), {255, 0, 0, 255}));
    EXPECT_TRUE(pixelNear(readPixel(60, 36), {255, 255, 255, 255}));
    EXPECT_TRUE(pixelNear(readPixel(16, 16), {0, 0, 0, 255}));
}

// A flat grid over (-w/2, h/2) .. (w/2, -h/2) whose s is shifted by the row wave and t by the
// column wave, with the phases in units of the span: two cycles with phase 0.125 put a crest
// (sin = 1) at the top and left edges and at the bottom and right ones.
TEST_F(DrawKit, WarpGridShiftsSByTheRowWaveAndTByTheColumnWave)
{
    glEnable(GL_DEPTH_TEST);
    const Quads quads = feedbackQuads(captureFeedback(
        [] { drawWarpGrid(2.0f, 2.0f, 1.0f, 1.0f, 4, 4, 0.05f, 0.1f, 2.0f, 2.0f, 0.125f, 0.125f); }));
    ASSERT_EQ(quads.size(), 16u);
    const FeedbackVertex &topLeft = quads.front()[0], &bottomRight = quads.back()[2];
    EXPECT_NEAR(ndc(topLeft.x), -1.0f, 1e-5f);
    EXPECT_NEAR(ndc(topLeft.y), 1.0f, 1e-5f);
    EXPECT_NEAR(ndc(bottomRight.x), 1.0f, 1e-5f);
    EXPECT_NEAR(ndc(bottomRight.y), -1.0f, 1e-5f);
    EXPECT_NEAR(topLeft.texCoord[0], 0.1f, 1e-6f);
    EXPECT_NEAR(topLeft.texCoord[1], 0.05f, 1e-6f);
    EXPECT_NEAR(bottomRight.texCoord[0], 1.1f, 1e-5f);
    EXPECT_NEAR(bottomRight.texCoord[1], 1.05f, 1e-5f);
    // Row boundary 1 is a trough of the row wave, column boundary 1 one of the column wave.
    EXPECT_NEAR(quads[0][1].texCoord[0], -0.1f, 1e-6f);
    EXPECT_NEAR(quads[0][3].texCoord[1], -0.05f, 1e-6f);
    EXPECT_NEAR(ndc(quads[0][2].x), -0.5f, 1e-5f);
    EXPECT_NEAR(ndc(quads[0][2].y), 0.5f, 1e-5f);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
}

// z at grid corner (i, j) is ampX sin(i kX / columns + 2 pi phaseX) + ampY sin(j kY / rows +
// 2 pi phaseY); identity matrices map z to the window depth (z + 1) / 2.
TEST_F(DrawKit, WaveSheetDepthIsAColumnWavePlusARowWave)
{
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_DEPTH_TEST);
    const Quads quads = feedbackQuads(
        captureFeedback([] { drawWaveSheet(2.0f, 1.0f, 1.0f, 1.0f, 4, 2, 0.5f, 0.3f, 1.0f, 3.0f, 0.125f, 0.4f); }));
    ASSERT_EQ(quads.size(), 8u);
    const int cornerColumn[4] = {0, 0, 1, 1}, cornerRow[4] = {0, 1, 1, 0};
    for (int q = 0; q < 8; ++q) {
        for (int k = 0; k < 4; ++k) {
            const float i = static_cast<float>(q % 4 + cornerColumn[k]), j = static_cast<float>(q / 4 + cornerRow[k]);
            const float expected = 0.5f * std::sin(i * 6.283184f / 4.0f + 6.283184f * 0.125f) +
                                   0.3f * std::sin(j * 3.0f * 6.283184f / 2.0f + 6.283184f * 0.4f);
            EXPECT_NEAR(quads[q][k].z * 2.0f - 1.0f, expected, 1e-5f) << "quad " << q << " corner " << k;
        }
    }
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D)) << "no state changed";
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST)) << "no state changed";
}

TEST_F(DrawKit, RibbonOfNoSegmentsDrawsNothingButSetsItsState)
{
    glEnable(GL_BLEND);
    glDepthMask(GL_FALSE);
    glColor4f(0.2f, 0.3f, 0.4f, 0.5f);
    const std::vector<FeedbackPrimitive> primitives = captureFeedback([] {
        drawRibbon(1, 1, 0, 0, 0, 0, 1, 1, 1.5f, 0, 0, 0, 1, 2, 0, 0, 0, 0, 0, 0.0f, quadrants);
    });
    EXPECT_TRUE(primitives.empty());
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_EQ(integer(GL_DEPTH_WRITEMASK), GL_TRUE);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(integer(GL_BLEND_SRC), GL_SRC_ALPHA);
    EXPECT_EQ(integer(GL_BLEND_DST), GL_ONE);
    float colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_EQ(colour[0] + colour[1] + colour[2] + colour[3], 4.0f);
}

// The curve X = 100 sin u, Y = 100 cos u, Z = 0: a circle of radius 100 in z = 0, whose side
// vector P x D is (0, 0, -1), so the edge with texture t 0.15 runs 20 units below the circle
// and the edge with 0.85 20 units above it.
TEST_F(DrawKit, RibbonFollowsTheCurveWithItsTextureEdgesOnTheSidesOfPCrossD)
{
    glMatrixMode(GL_PROJECTION);
    glOrtho(-320.0, 320.0, -320.0, 320.0, -1000.0, 1000.0);
    glMatrixMode(GL_MODELVIEW);
    const Quads quads = feedbackQuads(captureFeedback([&] {
        drawRibbon(100, 1, 0, 0, 0, 0, 100, 1, 1.5707963f, 0, 0, 0, 0, 1, 0, 0, 0, 0, 3, 0.0f, quadrants);
    }));
    ASSERT_EQ(quads.size(), 3u);
    auto object = [](const FeedbackVertex& v) {
        return std::array<float, 3>{ndc(v.x) * 320.0f, ndc(v.y) * 320.0f, -(v.z * 2.0f - 1.0f) * 1000.0f};
    };
    for (int k = 0; k < 3; ++k) {
        const float u = 0.15f * static_cast<float>(k);
        const std::array<float, 3> top = object(quads[k][0]);
        const std::array<float, 3> bottom = object(quads[k][1]);
        EXPECT_NEAR(top[0], 100.0f * std::sin(u), 1e-2f);
        EXPECT_NEAR(top[1], 100.0f * std::cos(u), 1e-2f);
        EXPECT_NEAR(top[2], -20.0f, 1e-2f);
        EXPECT_NEAR(bottom[2], 20.0f, 1e-2f);
        EXPECT_NEAR(quads[k][0].texCoord[0], -0.25f * static_cast<float>(k), 1e-6f);
        EXPECT_EQ(quads[k][0].texCoord[1], 0.15f);
        EXPECT_EQ(quads[k][1].texCoord[1], 0.85f);
        EXPECT_EQ(quads[k][0].color[3], 0.75f);
        if (k > 0) {
            // The second edge of one quad is the first edge of the next.
            EXPECT_EQ(quads[k][0].x, quads[k - 1][3].x);
            EXPECT_EQ(quads[k][1].z, quads[k - 1][2].z);
        }
    }
}

class SpriteTrailDrawing : public DrawKit {
protected:
    void setTrail(std::int16_t count)
    {
        setSpriteTexture(quadrants);
        setSpriteTexRect(0.0f, 0.0f, 0.5f, 0.5f);
        setSpriteSize(0.1f, 0.2f);
        setSpriteStart(-0.25f, 0.6f);
        setSpriteEnd(-0.55f, 0.6f);
        setSpriteAlpha(0.2f, 0.8f);
        setSpriteCount(count);
    }

    static std::array<float, 2> centre(const std::vector<FeedbackVertex>& quad)
    {
        float x = 0.0f, y = 0.0f;
        for (const FeedbackVertex& v : quad) {
            x += ndc(v.x) / 4.0f;
            y += ndc(v.y) / 4.0f;
        }
        return {x, y};
    }
};

// Each copy is one step past the last: centres -0.35 ... -0.65 for a start of -0.25 and an
// end of -0.55, alphas from first to last in thirds.
TEST_F(SpriteTrailDrawing, CopiesStepFromStartAndFadeFromFirstToLastAlpha)
{
    setTrail(4);
    const Quads quads = feedbackQuads(captureFeedback([] { drawSpriteTrail(); }));
    ASSERT_EQ(quads.size(), 4u);
    const float centres[4] = {-0.35f, -0.45f, -0.55f, -0.65f};
    const float alphas[4] = {0.2f, 0.4f, 0.6f, 0.8f};
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(centre(quads[i])[0], centres[i], 1e-5f) << "copy " << i;
        EXPECT_NEAR(centre(quads[i])[1], 0.6f, 1e-5f) << "copy " << i;
        EXPECT_NEAR(quads[i][0].color[3], alphas[i], 1e-6f) << "copy " << i;
    }
    // Corner order and texture rectangle: lower left takes (sLeft, tBottom).
    EXPECT_NEAR(ndc(quads[0][0].x), -0.40f, 1e-5f);
    EXPECT_NEAR(ndc(quads[0][0].y), 0.5f, 1e-5f);
    EXPECT_EQ(quads[0][0].texCoord[0], 0.0f);
    EXPECT_EQ(quads[0][0].texCoord[1], 0.5f);
    EXPECT_EQ(quads[0][2].texCoord[0], 0.5f);
    EXPECT_EQ(quads[0][2].texCoord[1], 0.0f);

    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    float modelview[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    EXPECT_NEAR(modelview[12], -0.65f, 1e-5f) << "the translations stay on the matrix";
}

TEST_F(SpriteTrailDrawing, CountBelowTwoDrawsOneCopyAtTheStartPoint)
{
    for (std::int16_t count : {1, 0, -3}) {
        glLoadIdentity();
        setTrail(count);
        const Quads quads = feedbackQuads(captureFeedback([] { drawSpriteTrail(); }));
        ASSERT_EQ(quads.size(), 1u) << "count " << count;
        EXPECT_NEAR(centre(quads[0])[0], -0.25f, 1e-5f);
        EXPECT_NEAR(centre(quads[0])[1], 0.6f, 1e-5f);
        EXPECT_NEAR(quads[0][0].color[3], 0.2f, 1e-6f);
        EXPECT_TRUE(std::isfinite(quads[0][0].x));
    }
}
