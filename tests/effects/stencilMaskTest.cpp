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
    }

    Scene* covering = nullptr;
    Scene* away = nullptr;
};

} // namespace

// Over a red title picture: the grass shows only where the blinds cover, in a grey that
// flashes with the pulse, until the switch time, when it clears the whole screen itself.
TEST_F(StencilMask, GrassShowsOnlyWhereTheBlindsCoverUntilTheSwitchTime)
{
    const std::array<int, 4> red = {255, 0, 0, 255}, grey = {153, 153, 153, 255}, black = {0, 0, 0, 255};
    struct Row {
        bool blindsCover;
        float t, pulse;
        std::array<int, 4> left, right;
    };
    const Row rows[] = {{false, 12.0f, 0.5f, red, red},
                        {true, 12.0f, 0.5f, grey, red},
                        {true, 12.0f, 0.0f, black, red},
                        {true, 17.5f, 0.5f, grey, grey}};
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.t << " s, pulse " << row.pulse << ", covering " << row.blindsCover);
        fillScreen(1.0f, 0.0f, 0.0f);
        setBlindsMask(row.blindsCover ? covering : away);
        drawBlindsMask(row.t, 10.0f, 17.5f);
        drawGrassScene(row.t, row.pulse);
        EXPECT_TRUE(pixelNear(readPixel(10, 32), row.left, 3));
        EXPECT_TRUE(pixelNear(readPixel(54, 32), row.right, 3));
        EXPECT_FALSE(enabled(GL_STENCIL_TEST));
        EXPECT_FALSE(enabled(GL_FOG));
        GLboolean writes[4] = {GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE};
        glGetBooleanv(GL_COLOR_WRITEMASK, writes);
        EXPECT_TRUE(writes[0] && writes[1] && writes[2] && writes[3]);
    }
}
