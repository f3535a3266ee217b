// The drawing routines the effects share: full-screen quads, sine-warped texture grids and
// depth-waved sheets, a ribbon along a sum-of-sines curve and the sprite trail. Immediate
// mode, one GL_QUADS block per quad (on the fast draw path the grids and the ribbon send all
// their quads in one block); each routine changes only the state its comment names.
// A current GL context is required.
#pragma once

#include "textures/texture.h"

#include <cstdint>

// Disables the depth test, loads identity projection and model-view (model-view current)
// and covers the viewport in (r, g, b, a). Blending and texturing are the caller's.
void drawScreenColor(float r, float g, float b, float a);

// Disables the depth test, enables and binds the texture, identity matrices, and draws one
// quad over the rectangle in normalised device coordinates, texture (0, 0) at its top-left.
void drawScreenTexture(TextureId texture, float left, float top, float right, float bottom);

// A flat grid centred on the origin in z = 0, width x height, texture span spanS x spanT,
// with s shifted by a wave down the rows and t by a wave across the columns (phases in
// units of the span). Disables the depth test and enables texturing; needs columns, rows >= 1.
void drawWarpGrid(float width, float height, float spanS, float spanT, int columns, int rows, float ampS, float ampT,
                  float cyclesS, float cyclesT, float phaseS, float phaseT);

// The same grid with z = a wave across the columns plus a wave down the rows (phases in
// whole turns). Changes no GL state; needs columns, rows >= 1.
void drawWaveSheet(float width, float height, float spanS, float spanT, int columns, int rows, float ampX, float ampY,
                   float cyclesX, float cyclesY, float phaseX, float phaseY);

// A 40-unit-wide textured band of segments quads along the curve
// X(u) = a1 sin(w1 u + p1) + a2 sin(w2 u + p2), Y and Z likewise, u from startParam in steps
// of 0.15. Leaves texturing on, blending off, depth writes on and the colour white.
void drawRibbon(float a1, float w1, float p1, float a2, float w2, float p2, float b1, float w3, float p3, float b2,
                float w4, float p4, float c1, float w5, float p5, float c2, float w6, float p6, int segments,
                float startParam, TextureId texture);

// The settings drawSpriteTrail reads; all zero at start, each user sets all before a draw.
struct SpriteTrail {
    TextureId texture = 0;
    float sLeft = 0.0f;
    float tTop = 0.0f;
    float sRight = 0.0f;
    float tBottom = 0.0f;
    float halfWidth = 0.0f;
    float halfHeight = 0.0f;
    float startX = 0.0f;
    float startY = 0.0f;
    float endX = 0.0f;
    float endY = 0.0f;
    float alphaFirst = 0.0f;
    float alphaLast = 0.0f;
    std::int16_t count = 0;
};

// The current settings, for reading.
const SpriteTrail& spriteTrail();

void setSpriteTexture(TextureId texture);
void setSpriteTexRect(float sLeft, float tTop, float sRight, float tBottom);
// Takes the full width and height.
void setSpriteSize(float width, float height);
void setSpriteStart(float x, float y);
void setSpriteEnd(float x, float y);
void setSpriteAlpha(float first, float last);
void setSpriteCount(std::int16_t count);

// count copies of the quad fading from alphaFirst to alphaLast, copy i centred at
// start + (i + 1) * (end - start) / (count - 1); a count below 2 draws one copy, with
// alphaFirst, at the start point. Multiplies the model-view by the translations (left so),
// disables the depth test, enables blending and texturing for the copies, then disables both.
void drawSpriteTrail();
