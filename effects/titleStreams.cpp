#include "effects/titleStreams.h"

#include "particles/particleEmitter.h"
#include "scene3ds/scene.h"

#include <GL/gl.h>

#include <cstdint>

namespace {

Scene* titleScene = nullptr;
Scene* elementsScene = nullptr;

ParticleEmitter jetA;
ParticleEmitter jetB;

void placeJet(ParticleEmitter& jet, float z, TextureId particleTexture)
{
    // Position and previous position alike, so the first update emits from a fixed point.
    jet.position[0] = jet.prevPosition[0] = 129.0f;
    jet.position[1] = jet.prevPosition[1] = 0.0f;
    jet.position[2] = jet.prevPosition[2] = z;
    jet.acceleration[0] = jet.acceleration[1] = jet.acceleration[2] = 0.0f;
    jet.size = 6.0f;
    jet.texture = particleTexture;
}

} // namespace

void setTitleStreams(Scene* title, Scene* elements, TextureId particleTexture)
{
    titleScene = title;
    elementsScene = elements;
    placeJet(jetA, -16.0f, particleTexture);
    placeJet(jetB, -152.0f, particleTexture);
}

void drawTitleStreams(float t, float previousTime, float start, float end)
{
    if (!(start < t && t < end)) return;

    // The colour buffer is not cleared: the picture builds over the previous one.
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_DEPTH_BUFFER_BIT);

    const std::int16_t frame = static_cast<std::int16_t>((t - start) * 75.0f);
    titleScene->frame = frame;
    titleScene->draw();
    elementsScene->frame = frame;
    elementsScene->draw();

    // The jets live in the coordinate frame of the elements scene's first object.
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(elementsScene->nodes[0].world);
    glMultMatrixf(elementsScene->nodes[0].restInverse);

    stepTitleStreams(t, previousTime, start, end);
    jetA.draw(GL_ONE, GL_ONE);
    jetB.draw(GL_ONE, GL_ONE);
}

void stepTitleStreams(float t, float previousTime, float start, float end)
{
    if (!(start < t && t < end)) return;
    jetA.update(200.0f, -14.0f, 14.0f, -14.0f, 14.0f, 70.0f, 70.0f, 0.25f, 0.25f, 0.5f, 0.5f, 1.0f, 1.0f, 6.0f, 7.0f,
                t, previousTime);
    jetB.update(200.0f, -14.0f, 14.0f, -14.0f, 14.0f, -70.0f, -70.0f, 1.0f, 1.0f, 0.5f, 0.5f, 0.25f, 0.25f, 6.0f,
                7.0f, t, previousTime);
}

void saveTitleStreams(TitleStreamsState& state)
{
    jetA.save(state.jetA);
    jetB.save(state.jetB);
}

void restoreTitleStreams(const TitleStreamsState& state)
{
    jetA.restore(state.jetA);
    jetB.restore(state.jetB);
}

const ParticleEmitter& titleStreamsJetA() { return jetA; }
const ParticleEmitter& titleStreamsJetB() { return jetB; }
