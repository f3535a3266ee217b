#include "effects/cubeCredits.h"
#include "effects/factoryRewind.h"
#include "effects/titleStreams.h"
#include "particles/particleEmitter.h"
#include "scene3ds/scene.h"
#include "tests/effects/effectFixture.h"

#include <GL/gl.h>

namespace {

// The scenes of the three effects, loaded once per test program.
struct EffectScenes {
    std::unique_ptr<Scene> factory, pipes, title, elements, back, cube, credits;
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
            scenes.title = loadScene(stillScene({facingSquare("title", -20.0f, -5.0f, 20.0f, 5.0f)}), "title");
            scenes.elements = loadScene(stillScene({facingSquare("element", -5.0f, -5.0f, 5.0f, 5.0f)}), "elements");
            scenes.back = loadScene(stillScene({facingSquare("wall", -40.0f, -40.0f, 40.0f, 40.0f)}), "back");
            scenes.cube = loadScene(stillScene({facingSquare("ramka", -10.0f, -10.0f, 10.0f, 10.0f)}), "cube");
            scenes.credits = loadScene(stillScene({facingSquare("names", -10.0f, 20.0f, 10.0f, 25.0f)}), "credits");
            setFactoryRewind(scenes.factory.get(), scenes.pipes.get(), particle, solidTexture(255, 255, 255, 255));
            setFactoryRewindWindow(65.0f, 85.0f);
            setTitleStreams(scenes.title.get(), scenes.elements.get(), particle);
            setCubeCredits(scenes.back.get(), scenes.cube.get(), scenes.credits.get(), particle);
            setCubeCreditsWindow(85.0f, 105.0f);
        }
        factory = scenes.factory.get();
        pipes = scenes.pipes.get();
        fillScreen(1.0f, 0.0f, 1.0f);
    }

    Scene* factory = nullptr;
    Scene* pipes = nullptr;
};

} // namespace

TEST_F(SceneParticleEffects, FactoryStuttersThirtySevenAndAHalfFramesBehindInTheMiddleOfABeat)
{
    drawFactoryRewind(70.0f, 70.0f - 1.0f / 60.0f, 0.5f);
    // (5 - 0.5) x 75 = 337.5 truncates to 337; the pipes play frame 375.
    EXPECT_EQ(factory->frame, 337);
    EXPECT_EQ(pipes->frame, 375);
}

TEST_F(SceneParticleEffects, FactoryAndPipesShowTheSameFrameBetweenBeats)
{
    drawFactoryRewind(73.0f, 73.0f - 1.0f / 60.0f, 0.0f);
    EXPECT_EQ(factory->frame, 600);
    EXPECT_EQ(pipes->frame, 600);
}

TEST_F(SceneParticleEffects, FactoryFrameBeforeTheWindowStartIsPlayedAsFrameZero)
{
    drawFactoryRewind(65.2f, 65.2f - 1.0f / 60.0f, 0.5f);
    EXPECT_EQ(factory->frame, 0);
}

TEST_F(SceneParticleEffects, FactoryLeavesBlendingOnWithTheDarkeningFunctionAndDepthTestOff)
{
    drawFactoryRewind(75.0f, 75.0f - 1.0f / 60.0f, 0.3f);
    EXPECT_TRUE(enabled(GL_BLEND));
    GLint source = 0, destination = 0;
    glGetIntegerv(GL_BLEND_SRC, &source);
    glGetIntegerv(GL_BLEND_DST, &destination);
    EXPECT_EQ(source, GL_ZERO);
    EXPECT_EQ(destination, GL_ONE_MINUS_SRC_COLOR);
    EXPECT_TRUE(enabled(GL_TEXTURE_2D));
    EXPECT_FALSE(enabled(GL_DEPTH_TEST));
    EXPECT_FALSE(enabled(GL_FOG));
    // The grey clear of the factory replaced the magenta fill.
    EXPECT_TRUE(pixelNear(readPixel(1, 62), {128, 128, 128, 255}, 3));
}

TEST_F(SceneParticleEffects, RewindIconDarkensTheCornerOnlyOnBeats)
{
    // The icon spans x -0.9 .. -0.6 and y -0.9 .. -0.5: around pixel (8, 8).
    drawFactoryRewind(76.0f, 76.0f - 1.0f / 60.0f, 0.0f);
    // Colour unchanged; the alpha channel, which the screen does not show, is multiplied by 0.
    EXPECT_TRUE(pixelNear(readPixel(8, 8), {128, 128, 128, 0}, 3));
    drawFactoryRewind(76.0f, 76.0f, 0.5f);
    EXPECT_LT(readPixel(8, 8)[0], 10);
}

TEST_F(SceneParticleEffects, TitleJetsLeaveInOppositeDirectionsFromTheFirstObject)
{
    drawTitleStreams(1.0f, 1.0f - 1.0f / 60.0f, 0.0f, 17.5f);
    drawTitleStreams(1.5f, 1.0f, 0.0f, 17.5f);
    const ParticleEmitter& jetA = titleStreamsJetA();
    const ParticleEmitter& jetB = titleStreamsJetB();
    ASSERT_GT(listLength(jetA), 1);
    ASSERT_GT(listLength(jetB), 1);
    EXPECT_FLOAT_EQ(jetA.head->velocity[2], 70.0f);
    EXPECT_FLOAT_EQ(jetB.head->velocity[2], -70.0f);
    // Births are spread over the frame intervals handed over, on the demo clock.
    EXPECT_GE(jetA.head->birth, 1.0f - 1.0f / 60.0f);
    EXPECT_LE(jetA.head->birth, 1.5f);
}

TEST_F(SceneParticleEffects, TitleStreamsDrawNothingOutsideTheWindowTheyAreGiven)
{
    const int before = listLength(titleStreamsJetA());
    drawTitleStreams(17.5f, 17.4f, 0.0f, 17.5f);
    drawTitleStreams(0.0f, 0.0f, 0.0f, 17.5f);
    EXPECT_EQ(listLength(titleStreamsJetA()), before);
    EXPECT_TRUE(pixelNear(readPixel(32, 32), {255, 0, 255, 255}));
}

TEST_F(SceneParticleEffects, CreditSparksRunOnAClockThatStartsWithTheWindow)
{
    drawCubeCredits(85.0f + 1.0f / 60.0f, 85.0f, 0.0f);
    drawCubeCredits(85.5f, 85.0f + 1.0f / 60.0f, 0.0f);
    const ParticleEmitter& sparks = cubeCreditsSparks();
    ASSERT_GT(listLength(sparks), 1);
    // 300 per second over half a second: births between 0 and 0.5 on the window's clock.
    for (const Particle* particle = sparks.head; particle->next; particle = particle->next) {
        EXPECT_GE(particle->birth, 0.0f);
        EXPECT_LE(particle->birth, 0.5f);
    }
    // The sparks sit where the background scene's light is, (0, -50, 0).
    EXPECT_FLOAT_EQ(sparks.position[1], -50.0f);
}

TEST_F(SceneParticleEffects, CubeCreditsDrawNothingAtEitherEndOfTheirWindow)
{
    const int before = listLength(cubeCreditsSparks());
    drawCubeCredits(85.0f, 84.99f, 0.0f);
    drawCubeCredits(105.0f, 104.99f, 0.0f);
    EXPECT_EQ(listLength(cubeCreditsSparks()), before);
    EXPECT_TRUE(pixelNear(readPixel(32, 32), {255, 0, 255, 255}));
}
