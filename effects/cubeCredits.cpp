#include "effects/cubeCredits.h"

#include "particles/particleEmitter.h"
#include "scene3ds/scene.h"
#include "scene3ds/scenePlayback.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdint>

namespace {

float start = 0.0f;
float end = 0.0f;
Scene* backScene = nullptr;
Scene* cubeScene = nullptr;
Scene* creditsScene = nullptr;

ParticleEmitter sparks;

} // namespace

void setCubeCredits(Scene* back, Scene* cube, Scene* credits, TextureId particleTexture)
{
    backScene = back;
    cubeScene = cube;
    creditsScene = credits;
    const float* firstKey = backScene->lights[0].posTrack->keys[0].value;
    for (int i = 0; i < 3; ++i) {
        sparks.position[i] = sparks.prevPosition[i] = firstKey[i];
        sparks.acceleration[i] = 0.0f;
    }
    sparks.size = 2.0f;
    sparks.texture = particleTexture;
}

void setCubeCreditsWindow(float windowStart, float windowEnd)
{
    start = windowStart;
    end = windowEnd;
}

void drawCubeCredits(float t, float previousTime, float pulse)
{
    if (!(start < t && t < end)) return;
    const float e = t - start;
    const std::int16_t frame = static_cast<std::int16_t>(e * 75.0f);

    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_DEPTH_BUFFER_BIT);

    backScene->frame = frame;
    backScene->draw();

    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(backScene->viewMatrix);
    stepCubeCredits(t, previousTime);
    sparks.draw(GL_ONE, GL_ONE);

    glClear(GL_DEPTH_BUFFER_BIT);

    // Up to 20 degrees narrower in the middle of a beat.
    cubeScene->frame = frame;
    cubeScene->fovOffset = static_cast<float>(-20.0 * std::sin(3.141592 * pulse));
    cubeScene->draw();

    // The credits share the cube's depth buffer.
    creditsScene->frame = frame;
    creditsScene->draw();
}

void stepCubeCredits(float t, float previousTime)
{
    if (!(start < t && t < end)) return;
    // The sparks follow the first light where the playback places it in this frame; the
    // track is evaluated here, so a frame that is not drawn places them alike.
    VectorTrack& lightTrack = *backScene->lights[0].posTrack;
    evaluateVectorTrack(lightTrack, playbackFrame(*backScene, static_cast<std::int16_t>((t - start) * 75.0f)));
    for (int i = 0; i < 3; ++i) sparks.position[i] = lightTrack.current[i];
    // The sparks' clock restarts at 0 with the window; in its first frame the previous
    // clock is negative and births spread back before the window start.
    sparks.update(300.0f, -3.0f, 3.0f, -3.0f, 3.0f, -3.0f, 3.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 6.0f, 7.0f,
                  t - start, previousTime - start);
}

const ParticleEmitter& cubeCreditsSparks() { return sparks; }

void saveCubeCredits(CubeCreditsState& state) { sparks.save(state.sparks); }

void restoreCubeCredits(const CubeCreditsState& state) { sparks.restore(state.sparks); }
