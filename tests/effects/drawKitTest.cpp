#include "tests/support/glFeedback.h"
#include "tests/support/glFixture.h"

#include "effects/drawKit.h"

#include <GL/gl.h>

#include <array>
#include <cmath>
#include <vector>

namespace {

using Quads = std::vector<std::vector<FeedbackVertex>>;

}  // namespace

using DrawKit = GlTest;

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

// The curve X = 100 sin u, Y = 100 cos u, Z = 0: a circle of radius 100 in z = 0, whose side
// vector P x D is (0, 0, -1), so the edge with texture t 0.15 runs 20 units below the circle
// and the edge with 0.85 20 units above it.
TEST_F(DrawKit, RibbonFollowsTheCurveWithItsTextureEdgesOnTheSidesOfPCrossD)
{
    glMatrixMode(GL_PROJECTION);
    glOrtho(-320.0, 320.0, -320.0, 320.0, -1000.0, 1000.0);
    glMatrixMode(GL_MODELVIEW);
    const Quads quads = feedbackQuads(captureFeedback([&] {
        drawRibbon(100, 1, 0, 0, 0, 0, 100, 1, 1.5707963f, 0, 0, 0, 0, 1, 0, 0, 0, 0, 3, 0.0f, 0);
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
