#include "effects/grassScene.h"

#include "effects/drawKit.h"
#include "scene3ds/scene.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdint>

namespace {

Scene* scene = nullptr;
float start = 0.0f;
float end = 0.0f;
float switchTime = 0.0f;
// Grey g recomputed each frame; the alpha stays 0.
float fogColour[4] = {0.0f, 0.0f, 0.0f, 0.0f};

} // namespace

void setGrassScene(Scene* grassScene) { scene = grassScene; }

void setGrassWindow(float windowStart, float windowEnd, float switchAt)
{
    start = windowStart;
    end = windowEnd;
    switchTime = switchAt;
}

void drawGrassScene(float t, float pulse)
{
    if (!(start < t && t < end)) return;

    const float grey = static_cast<float>(0.6 * std::sin(3.141592 * pulse));
    fogColour[0] = fogColour[1] = fogColour[2] = grey;
    fogColour[3] = 0.0f;

    if (t < switchTime) {
        // Blending is off here, so the quad is opaque; the blinds' stencil mask keeps it
        // to the area the blinds cover.
        glClear(GL_DEPTH_BUFFER_BIT);
        drawScreenColor(grey, grey, grey, 0.0f);
    } else {
        glClearColor(grey, grey, grey, 0.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }

    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    // Linear fog does not use the density, so it is not set.
    glFogi(GL_FOG_MODE, GL_LINEAR);
    glFogfv(GL_FOG_COLOR, fogColour);
    glHint(GL_FOG_HINT, GL_DONT_CARE);
    glFogf(GL_FOG_START, 10.0f);
    glFogf(GL_FOG_END, 40.0f);
    glEnable(GL_FOG);

    scene->frame = static_cast<std::int16_t>((t - start) * 75.0f);
    scene->draw();

    // Off every frame, whether or not the blinds turned it on.
    glDisable(GL_FOG);
    glDisable(GL_STENCIL_TEST);
}
