#include "effects/factoryRewind.h"

#include "effects/drawKit.h"
#include "particles/particleEmitter.h"
#include "scene3ds/scene.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdint>

namespace {

float start = 0.0f;
float end = 0.0f;
Scene* factoryScene = nullptr;
Scene* pipesScene = nullptr;
TextureId rewindTexture = 0;
// Also the clear colour, so the fog fades into the background.
const float fogColour[4] = {0.5f, 0.5f, 0.5f, 1.0f};

ParticleEmitter smoke[3];

} // namespace

void setFactoryRewind(Scene* factory, Scene* pipes, TextureId particleTexture, TextureId rewind)
{
    factoryScene = factory;
    pipesScene = pipes;
    rewindTexture = rewind;
    for (ParticleEmitter& emitter : smoke) {
        emitter.position[0] = emitter.prevPosition[0] = 270.0f;
        emitter.position[1] = emitter.prevPosition[1] = 0.0f;
        emitter.position[2] = emitter.prevPosition[2] = 180.0f;
        emitter.acceleration[0] = emitter.acceleration[1] = emitter.acceleration[2] = 0.0f;
        emitter.size = 5.0f;
        emitter.texture = particleTexture;
    }
}

void setFactoryRewindWindow(float windowStart, float windowEnd)
{
    start = windowStart;
    end = windowEnd;
}

void drawFactoryRewind(float t, float previousTime, float pulse)
{
    if (!(start < t && t < end)) return;
    const float e = t - start;

    glClearColor(fogColour[0], fogColour[1], fogColour[2], fogColour[3]);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    glFogi(GL_FOG_MODE, GL_LINEAR);
    glFogfv(GL_FOG_COLOR, fogColour);
    glFogf(GL_FOG_DENSITY, 1.0f);
    glHint(GL_FOG_HINT, GL_DONT_CARE);
    glFogf(GL_FOG_START, 70.0f);
    glFogf(GL_FOG_END, 280.0f);
    glEnable(GL_FOG);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);

    // The stutter: in the middle of a beat the factory is shown 0.5 s (37.5 frames) behind
    // the clock. Early in the window this goes negative, which the playback treats as 0.
    factoryScene->frame = static_cast<std::int16_t>((e - 0.5 * std::sin(3.141592 * pulse)) * 75.0);
    factoryScene->draw();

    glDisable(GL_FOG);
    glClear(GL_DEPTH_BUFFER_BIT);

    pipesScene->frame = static_cast<std::int16_t>(e * 75.0f);
    pipesScene->draw();

    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(pipesScene->viewMatrix);

    stepFactoryRewind(t, previousTime);
    // White particles multiply what lies behind them by one minus their colour: they darken.
    for (ParticleEmitter& emitter : smoke) emitter.draw(GL_ZERO, GL_ONE_MINUS_SRC_COLOR);

    // The rewind icon darkens the corner on the beats and is invisible between them.
    glEnable(GL_BLEND);
    glBlendFunc(GL_ZERO, GL_ONE_MINUS_SRC_COLOR);
    const float shade = std::sin(3.141592f * pulse);
    glColor3f(shade, shade, shade);
    drawScreenTexture(rewindTexture, -0.9f, -0.5f, -0.6f, -0.9f);
}

void stepFactoryRewind(float t, float previousTime)
{
    if (!(start < t && t < end)) return;
    smoke[0].update(100.0f, -15.0f, 15.0f, -15.0f, 15.0f, -15.0f, 15.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 5.0f,
                    5.0f, t, previousTime);
    smoke[1].update(100.0f, -60.0f, -60.0f, -2.0f, 2.0f, -2.0f, 2.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 7.0f, 8.0f,
                    t, previousTime);
    smoke[2].update(100.0f, -2.0f, 2.0f, -2.0f, 2.0f, -60.0f, -60.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 5.0f, 6.0f,
                    t, previousTime);
}

void saveFactoryRewind(FactoryRewindState& state)
{
    for (int i = 0; i < 3; ++i) smoke[i].save(state.smoke[i]);
}

void restoreFactoryRewind(const FactoryRewindState& state)
{
    for (int i = 0; i < 3; ++i) smoke[i].restore(state.smoke[i]);
}

const ParticleEmitter& factoryRewindSmoke(int index) { return smoke[index]; }
