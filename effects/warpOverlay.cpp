#include "effects/warpOverlay.h"

#include "effects/drawKit.h"

#include <GL/gl.h>

#include <cmath>

namespace {

float start = 0.0f;
float end = 0.0f;
TextureId baseTexture = 0;
TextureId maskedTexture = 0;
TextureId logoTexture = 0;

void loadIdentities()
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

} // namespace

void setWarpOverlayTextures(TextureId base, TextureId masked, TextureId logo)
{
    baseTexture = base;
    maskedTexture = masked;
    logoTexture = logo;
}

void setWarpOverlayWindow(float windowStart, float windowEnd)
{
    start = windowStart;
    end = windowEnd;
}

void drawWarpOverlay(float t)
{
    if (!(start < t && t < end)) return;
    const float e = t - start;
    const float d = end - start;

    loadIdentities();
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    // Four copies, the leftmost the most opaque; drawn first so both layers blend over it.
    setSpriteTexture(logoTexture);
    setSpriteTexRect(0.05f, 0.05f, 0.95f, 0.7f);
    setSpriteSize(0.75f, 0.75f);
    setSpriteStart(-0.25f, 0.6f);
    setSpriteEnd(-0.55f, 0.6f);
    setSpriteAlpha(0.2f, 0.6f);
    setSpriteCount(4);
    drawSpriteTrail();

    loadIdentities();
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);

    // 10 and 6 times pi: the squares have ten and six peaks over the window.
    const float a = std::sin(e * 31.41592f / d);
    const float b = std::sin(e * 18.849552f / d);
    const float phaseS = e * 0.3f;
    const float phaseT = -e * 0.2f;

    // Lightens like a screen blend; the 2 x 2 grid covers the viewport exactly.
    glBindTexture(GL_TEXTURE_2D, baseTexture);
    glBlendFunc(GL_ONE_MINUS_DST_COLOR, GL_ONE);
    glColor4f(a * a, a * a, a * a, a * a);
    drawWarpGrid(2.0f, 2.0f, 2.0f, 1.5f, 16, 12, 0.7f, 0.3f, 1.0f, 0.75f, 0.7f * phaseS, phaseT);

    glBindTexture(GL_TEXTURE_2D, maskedTexture);
    glColor4f(1.0f, 1.0f, 1.0f, b * b);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    drawWarpGrid(2.0f, 2.0f, 2.0f, 1.5f, 16, 12, 0.5f, 0.6f, 1.0f, 0.75f, phaseS, -0.8f * phaseT);

    glDisable(GL_BLEND);
}
