#include "effects/cubeCredits.h"
#include "effects/factoryRewind.h"
#include "particles/particleEmitter.h"
#include "scene3ds/scene.h"
#include "tests/effects/effectFixture.h"

#include <GL/gl.h>

namespace {

// The scenes of the two effects, loaded once per test program.
struct EffectScenes {
    std::unique_ptr<Scene> factory, pipes, back, cube, credits;
};

class SceneParticleEffects : public EffectTest {
protected:
    void SetUp() override
    {
        EffectTest::SetUp();
        static EffectScenes scenes;
        if (!scenes.factory) {
            const TextureId particle = solidTexture(255, 255, 255, 255);
            scenes.factory = loadScene(stillScene({facingSquare("hall", -30.0f, -30.0f, 30.0f, 30.0f)}), "factory");
            scenes.pipes = loadScene(stillScene({facingSquare("pipe", -5.0f, -40.0f, 5.0f, 40.0f)}), "pipes");
            // The background's light travels 100 units along x over 1500 frames.
            writer3ds::Scene back = stillScene({facingSquare("wall", -40.0f, -40.0f, 40.0f, 40.0f)});
            sceneNode(back, "Omni01").tracks[0] = writer3ds::vectorTrack(
                CHUNK_POSITION_TRACK, {{0, {0.0f, -50.0f, 0.0f}, {}}, {1500, {100.0f, -50.0f, 0.0f}, {}}});
            scenes.back = loadScene(back, "back");
            scenes.cube = loadScene(stillScene({facingSquare("ramka", -10.0f, -10.0f, 10.0f, 10.0f)}), "cube");
            scenes.credits = loadScene(stillScene({facingSquare("names", -10.0f, 20.0f, 10.0f, 25.0f)}), "credits");
            setFactoryRewind(scenes.factory.get(), scenes.pipes.get(), particle, solidTexture(255, 255, 255, 255));
            setFactoryRewindWindow(65.0f, 85.0f);
            setCubeCredits(scenes.back.get(), scenes.cube.get(), scenes.credits.get(), particle);
            setCubeCreditsWindow(85.0f, 105.0f);
        }
        this->scenes = &scenes;
        fillScreen(1.0f, 0.0f, 1.0f);
    }

    EffectScenes* scenes = nullptr;
};

} // namespace

// The factory plays (e - 0.5 sin(pi pulse)) x 75, truncated; a frame before the window start
// is played as frame 0. The pipes play e x 75 (65.2 is 65.199997 as a float).
TEST_F(SceneParticleEffects, FactoryStuttersHalfASecondBackInTheMiddleOfABeat)
{
    struct Row {
        float t, pulse;
        int factoryFrame, pipesFrame;
    };
    for (const Row& row : {Row{70.0f, 0.5f, 337, 375}, Row{73.0f, 0.0f, 600, 600}, Row{65.2f, 0.5f, 0, 14}}) {
        drawFactoryRewind(row.t, row.t - 1.0f / 60.0f, row.pulse);
        EXPECT_EQ(scenes->factory->frame, row.factoryFrame) << row.t;
        EXPECT_EQ(scenes->pipes->frame, row.pipesFrame) << row.t;
    }
}

// The sparks' clock starts with the window: in the window's first frame, after a frame at
// 84.5 s, the births spread from -0.5 to 1/60. Later the sparks stand where the background's
// first light is at the frame of the clock: at 95 s, frame (95 - 85) x 75 = 750 of the light's
// 0 .. 1500 from x 0 to 100.
TEST_F(SceneParticleEffects, CreditSparksStartTheirClockWithTheWindowAndFollowTheMovingLight)
{
    const ParticleEmitter& sparks = cubeCreditsSparks();
    const int before = listLength(sparks);
    drawCubeCredits(85.0f + 1.0f / 60.0f, 84.5f, 0.0f);
    const Particle* particle = sparks.head;
    for (int i = 1; i < before; ++i) particle = particle->next;
    int born = 0, bornBeforeTheWindow = 0;
    for (; particle->next; particle = particle->next, ++born) {
        EXPECT_GE(particle->birth, -0.5f);
        EXPECT_LE(particle->birth, 1.0f / 60.0f + 1e-6f);
        bornBeforeTheWindow += particle->birth < 0.0f;
    }
    EXPECT_GT(born, 100);
    EXPECT_GT(bornBeforeTheWindow, 50);

    drawCubeCredits(95.0f, 95.0f - 1.0f / 60.0f, 0.0f);
    const float light[3] = {50.0f, -50.0f, 0.0f};
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(sparks.position[c], light[c], 1e-3f) << c;
}
