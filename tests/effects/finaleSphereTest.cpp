#include "effects/finaleSphere.h"
#include "scene3ds/scene.h"
#include "tests/effects/effectFixture.h"
#include "tests/support/glFeedback.h"

#include <GL/gl.h>

#include <cmath>
#include <vector>

namespace {

class FinaleSphere : public EffectTest {
protected:
    void SetUp() override
    {
        EffectTest::SetUp();
        static std::unique_ptr<Scene> last;
        if (!last) {
            last = loadScene(stillScene({facingSquare("floor", -20.0f, -20.0f, 20.0f, 20.0f)}), "last");
            setFinaleSphere(last.get(), solidTexture(255, 255, 255, 255), solidTexture(255, 0, 0, 255));
            setFinaleSphereWindow(135.0f, 169.0f);
        }
        fillScreen(0.0f, 0.0f, 1.0f);
    }
};

} // namespace

// The scene's camera has a 45-degree field of view; at pulse 0.5 it is 32 degrees, which
// shows the floor tan(22.5) / tan(16) = 1.44454 times as wide as at pulse 0.
TEST_F(FinaleSphere, FieldOfViewNarrowsByThirteenDegreesInTheMiddleOfABeat)
{
    float width[2] = {0.0f, 0.0f};
    for (int i = 0; i < 2; ++i) {
        const std::vector<FeedbackPrimitive> primitives =
            captureFeedback([&] { drawFinaleSphere(150.0f, i == 0 ? 0.0f : 0.5f); }, 1 << 20);
        ASSERT_GE(primitives.size(), 2u);
        // The floor is drawn first, as two triangles.
        float left = 1e9f, right = -1e9f;
        for (int k = 0; k < 2; ++k) {
            for (const FeedbackVertex& v : primitives[k].vertices) left = std::min(left, v.x), right = std::max(right, v.x);
        }
        width[i] = right - left;
    }
    EXPECT_NEAR(width[1] / width[0], 1.44454f, 1e-3f);
}

// Each logo sprite is a trail of 15 copies; copy 6 sits on the sprite's centre and copy 14
// minus copy 0 points along -(cos a, sin a) with length r, where a and r come from the phase
// the frame before stored: (140 - 135) * 1.125.
TEST_F(FinaleSphere, LogoColumnSmearsWithThePhaseOfTheFrameBefore)
{
    drawFinaleSphere(140.0f, 0.0f);
    const std::vector<FeedbackPrimitive> primitives = captureFeedback([] { drawFinaleSphere(140.2f, 0.0f); }, 1 << 20);
    // The logo's 60 quads are drawn last, as 120 triangles.
    ASSERT_GE(primitives.size(), 120u);
    const std::vector<std::vector<FeedbackVertex>> quads =
        feedbackQuads(std::vector<FeedbackPrimitive>(primitives.end() - 120, primitives.end()));
    ASSERT_EQ(quads.size(), 60u);
    EXPECT_EQ(quads[0][1].texCoord[1], 0.15f);
    auto centre = [&](int copy) {
        float x = 0.0f, y = 0.0f;
        for (const FeedbackVertex& v : quads[copy]) x += ndc(v.x) / 4.0f, y += ndc(v.y) / 4.0f;
        return std::array<float, 2>{x, y};
    };
    const float phase = 5.0f * 1.125f;
    for (int k = 0; k < 4; ++k) {
        SCOPED_TRACE(k);
        EXPECT_NEAR(centre(15 * k + 6)[0], 0.8f, 1e-4f);
        EXPECT_NEAR(centre(15 * k + 6)[1], 0.5f * k - 0.75f, 1e-4f);
        const float r = 0.03f * std::sin((k / 6.0f + phase) * 6.283184f) + 0.045f;
        const float a = phase * 6.283184f + k * 3.141592f / 3.0f;
        EXPECT_NEAR(centre(15 * k + 14)[0] - centre(15 * k)[0], -r * std::cos(a), 1e-4f);
        EXPECT_NEAR(centre(15 * k + 14)[1] - centre(15 * k)[1], -r * std::sin(a), 1e-4f);
    }
}
