#include "effects/blindsMask.h"

#include "scene3ds/scene.h"

#include <GL/gl.h>

#include <cstdint>

namespace {

Scene* maskScene = nullptr;

} // namespace

void setBlindsMask(Scene* scene) { maskScene = scene; }

void drawBlindsMask(float t, float start, float end)
{
    if (!(start < t && t < end)) return;

    glClear(GL_STENCIL_BUFFER_BIT);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_STENCIL_TEST);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    // Every fragment writes 1, whether or not it passes the depth test that the playback
    // turns back on; the grass scene clears that depth again.
    glStencilOp(GL_REPLACE, GL_REPLACE, GL_REPLACE);
    glStencilFunc(GL_ALWAYS, 1, 1);

    maskScene->frame = static_cast<std::int16_t>((t - start) * 75.0f);
    maskScene->draw();

    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
    glStencilFunc(GL_EQUAL, 1, 1);
}
