// The effects' batched drawing against the immediate-mode calls it replaces: a particle shell
// in one block (corners placed on the CPU, so its squares' edges may round apart, within the
// golden frames' tolerance) and the grids and the ribbon in one block each (the same vertices
// in the same order: identical pictures).
#include "tests/effects/effectFixture.h"

#include "effects/drawKit.h"
#include "particles/particleEmitter.h"
#include "render/drawPath.h"
#include "render/mesh.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {

using Picture = std::vector<std::uint8_t>;

class BatchedDraw : public EffectTest {
protected:
    void TearDown() override
    {
        setDrawPath(DRAW_PATH_FAST);
        EffectTest::TearDown();
    }

    // The picture of draw on one path, over black, under a perspective camera turned off-axis.
    static Picture drawn(DrawPath path, const std::function<void()>& draw)
    {
        setDrawPath(path);
        fillScreen(0.0f, 0.0f, 0.0f);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(50.0, 1.0, 5.0, 400.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glTranslatef(0.0f, 0.0f, -150.0f);
        glRotatef(25.0f, 1.0f, 0.4f, 0.0f);
        draw();
        Picture rgba(viewportWidth * viewportHeight * 4);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, viewportWidth, viewportHeight, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        return rgba;
    }

    // The golden frames' measure: mean absolute difference over R, G and B, and the share
    // of pixels with a channel more than 32 apart.
    static void expectWithinGoldenTolerance(const Picture& a, const Picture& b)
    {
        double sum = 0.0;
        int offPixels = 0;
        for (std::size_t pixel = 0; pixel < a.size() / 4; ++pixel) {
            int largest = 0;
            for (int c = 0; c < 3; ++c) {
                const int delta = std::abs(a[4 * pixel + c] - b[4 * pixel + c]);
                sum += delta;
                largest = std::max(largest, delta);
            }
            if (largest > 32) ++offPixels;
        }
        EXPECT_LT(sum / static_cast<double>(a.size() / 4 * 3), 2.0);
        EXPECT_LT(offPixels, static_cast<int>(a.size() / 4 / 100));
    }
};

} // namespace

TEST_F(BatchedDraw, ParticlesInOneBlockMatchTheirSquaresTranslatedOneByOne)
{
    Mesh sphere(2);
    sphere.buildGeosphere(45.0f, 3, 0.75f);
    ParticleEmitter shell;
    shell.buildShell(static_cast<std::int16_t>(sphere.vertexCount), 0.3f, 0.25f, 0.2f, 1.0f);
    shell.copyPositions(sphere, 1);
    shell.size = 4.0f;
    shell.scale[0] = shell.scale[1] = shell.scale[2] = 1.025f;
    shell.texture = solidTexture(255, 255, 255, 255);
    auto draw = [&] { shell.draw(GL_ONE, GL_ONE); };

    const Picture immediate = drawn(DRAW_PATH_IMMEDIATE, draw);
    const Picture batched = drawn(DRAW_PATH_FAST, draw);
    expectWithinGoldenTolerance(immediate, batched);
    // Overlapping squares add up: the pictures hold more than one shade, so the tolerance
    // above compares real coverage.
    int lit = 0;
    for (std::size_t i = 0; i < immediate.size(); i += 4) lit += immediate[i] > 0;
    EXPECT_GT(lit, viewportWidth * viewportHeight / 4);
}

TEST_F(BatchedDraw, GridsAndRibbonInOneBlockDrawThePicturesOfOneBlockPerQuad)
{
    const TextureId texture = solidTexture(200, 150, 100, 255);
    const std::function<void()> draws[] = {
        [&] {
            glBindTexture(GL_TEXTURE_2D, texture);
            glEnable(GL_TEXTURE_2D);
            drawWaveSheet(160.0f, 120.0f, 2.0f, 1.5f, 40, 30, 12.0f, 12.0f, 1.333f, 1.0f, 0.3f, 0.1f);
        },
        [&] {
            glBindTexture(GL_TEXTURE_2D, texture);
            glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
            drawWarpGrid(160.0f, 120.0f, 2.0f, 1.5f, 16, 12, 0.7f, 0.3f, 1.0f, 0.75f, 0.4f, -0.2f);
        },
        [&] {
            glScalef(0.4f, 0.4f, 0.4f);
            drawRibbon(130.0f, 0.5f, 1.0471973f, 30.0f, 2.0f, 2.0943947f, 140.0f, 0.75f, 1.570796f, 20.0f, 1.5f, 0.0f,
                       135.0f, 0.35f, 0.0f, 25.0f, 2.0f, 1.570796f, 300, 3.0f, texture);
        },
    };
    for (const auto& draw : draws) {
        const Picture immediate = drawn(DRAW_PATH_IMMEDIATE, draw);
        EXPECT_TRUE(immediate == drawn(DRAW_PATH_FAST, draw));
        EXPECT_FALSE(immediate == Picture(immediate.size(), 0));
    }
}
