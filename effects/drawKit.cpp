#include "effects/drawKit.h"

#include "render/drawPath.h"

#include <GL/gl.h>

#include <cmath>
#include <vector>

namespace {

SpriteTrail trail;

// The grids and the ribbon send one GL_QUADS block per quad on the immediate path and one
// block for all their quads on the fast path: the same vertices in the same order, split into
// the same triangles, only with fewer begin/end pairs.
struct QuadBlocks {
    bool whole = drawPath() == DRAW_PATH_FAST;

    QuadBlocks()
    {
        if (whole) glBegin(GL_QUADS);
    }
    ~QuadBlocks()
    {
        if (whole) glEnd();
    }
    QuadBlocks(const QuadBlocks&) = delete;
    QuadBlocks& operator=(const QuadBlocks&) = delete;

    void beginQuad() const
    {
        if (!whole) glBegin(GL_QUADS);
    }
    void endQuad() const
    {
        if (!whole) glEnd();
    }
};

// Per-call storage of the column wave, kept between calls so the frame path does not
// allocate; every call rewrites the entries it reads.
std::vector<float> columnWave;

void texturedVertex(float s, float t, float x, float y, float z)
{
    glTexCoord2f(s, t);
    glVertex3f(x, y, z);
}

// Sum of two sines and its derivative, one coordinate of the ribbon's curve.
struct SineTerms {
    float amplitude1, frequency1, phase1, amplitude2, frequency2, phase2;

    float value(float u) const
    {
        return amplitude1 * std::sin(frequency1 * u + phase1) + amplitude2 * std::sin(frequency2 * u + phase2);
    }
    float slope(float u) const
    {
        return amplitude1 * frequency1 * std::cos(frequency1 * u + phase1) +
               amplitude2 * frequency2 * std::cos(frequency2 * u + phase2);
    }
};

struct RibbonPoint {
    float position[3];
    float side[3];   // unit vector across the band
};

RibbonPoint ribbonPoint(const SineTerms& x, const SineTerms& y, const SineTerms& z, float u)
{
    RibbonPoint point;
    const float p[3] = {x.value(u), y.value(u), z.value(u)};
    const float d[3] = {x.slope(u), y.slope(u), z.slope(u)};
    const float n[3] = {p[1] * d[2] - p[2] * d[1], p[2] * d[0] - p[0] * d[2], p[0] * d[1] - p[1] * d[0]};
    const float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    // Where the curve heads straight through the origin the side has no direction; the
    // band then pinches to the curve instead of turning into NaN.
    const float inverse = length > 0.0f ? 1.0f / length : 0.0f;
    for (int c = 0; c < 3; ++c) {
        point.position[c] = p[c];
        point.side[c] = n[c] * inverse;
    }
    return point;
}

void ribbonVertex(const RibbonPoint& point, float offset, float s, float t)
{
    glTexCoord2f(s, t);
    glVertex3f(point.position[0] + offset * point.side[0], point.position[1] + offset * point.side[1],
               point.position[2] + offset * point.side[2]);
}

void spriteQuad()
{
    glBegin(GL_QUADS);
    texturedVertex(trail.sLeft, trail.tBottom, -trail.halfWidth, -trail.halfHeight, 0.0f);
    texturedVertex(trail.sLeft, trail.tTop, -trail.halfWidth, trail.halfHeight, 0.0f);
    texturedVertex(trail.sRight, trail.tTop, trail.halfWidth, trail.halfHeight, 0.0f);
    texturedVertex(trail.sRight, trail.tBottom, trail.halfWidth, -trail.halfHeight, 0.0f);
    glEnd();
}

}  // namespace

void drawScreenColor(float r, float g, float b, float a)
{
    glDisable(GL_DEPTH_TEST);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glColor4f(r, g, b, a);
    glBegin(GL_QUADS);
    glVertex3f(-1.0f, 1.0f, 0.0f);
    glVertex3f(-1.0f, -1.0f, 0.0f);
    glVertex3f(1.0f, -1.0f, 0.0f);
    glVertex3f(1.0f, 1.0f, 0.0f);
    glEnd();
}

void drawScreenTexture(TextureId texture, float left, float top, float right, float bottom)
{
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    // t = 0 is the picture's top row.
    glBegin(GL_QUADS);
    texturedVertex(0.0f, 0.0f, left, top, 0.0f);
    texturedVertex(0.0f, 1.0f, left, bottom, 0.0f);
    texturedVertex(1.0f, 1.0f, right, bottom, 0.0f);
    texturedVertex(1.0f, 0.0f, right, top, 0.0f);
    glEnd();
}

void drawWarpGrid(float width, float height, float spanS, float spanT, int columns, int rows, float ampS, float ampT,
                  float cyclesS, float cyclesT, float phaseS, float phaseT)
{
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    if (columns < 1 || rows < 1) {
        return;
    }
    const float dx = width / static_cast<float>(columns);
    const float dy = height / static_cast<float>(rows);
    const float ds = spanS / static_cast<float>(columns);
    const float dt = spanT / static_cast<float>(rows);
    const float waveS = 2.0f * cyclesS * 3.141592f;
    const float waveT = 2.0f * cyclesT * 3.141592f;

    // Entry i is the t offset at the right edge of column i. Phases are in units of the
    // span, added before the wave number.
    columnWave.resize(static_cast<std::size_t>(columns));
    for (int i = 0; i < columns; ++i) {
        columnWave[i] = ampS * std::sin(waveS * (static_cast<float>(i + 1) / static_cast<float>(columns) + phaseS));
    }
    float rowBelow = ampT * std::sin(waveT * phaseT);
    float tTop = 0.0f;
    float yTop = height / 2.0f;
    const QuadBlocks blocks;
    for (int j = 0; j < rows; ++j) {
        const float rowAbove = rowBelow;
        rowBelow = ampT * std::sin(waveT * (static_cast<float>(j + 1) / static_cast<float>(rows) + phaseT));
        float colLeft = ampS * std::sin(waveS * phaseS);
        const float t0 = tTop;
        const float t1 = tTop + dt;
        const float y0 = yTop;
        const float y1 = yTop - dy;
        // Positions and plain coordinates accumulate by repeated float addition.
        float s = 0.0f;
        float x = -width / 2.0f;
        for (int i = 0; i < columns; ++i) {
            const float colRight = columnWave[i];
            const float s0 = s;
            const float s1 = s + ds;
            const float x0 = x;
            const float x1 = x + dx;
            blocks.beginQuad();
            texturedVertex(s0 + rowAbove, t0 + colLeft, x0, y0, 0.0f);
            texturedVertex(s0 + rowBelow, t1 + colLeft, x0, y1, 0.0f);
            texturedVertex(s1 + rowBelow, t1 + colRight, x1, y1, 0.0f);
            texturedVertex(s1 + rowAbove, t0 + colRight, x1, y0, 0.0f);
            blocks.endQuad();
            colLeft = colRight;
            s = s1;
            x = x1;
        }
        tTop = t1;
        yTop = y1;
    }
}

void drawWaveSheet(float width, float height, float spanS, float spanT, int columns, int rows, float ampX, float ampY,
                   float cyclesX, float cyclesY, float phaseX, float phaseY)
{
    if (columns < 1 || rows < 1) {
        return;
    }
    const float dx = width / static_cast<float>(columns);
    const float dy = height / static_cast<float>(rows);
    const float ds = spanS / static_cast<float>(columns);
    const float dt = spanT / static_cast<float>(rows);
    const float waveX = 2.0f * cyclesX * 3.141592f;
    const float waveY = 2.0f * cyclesY * 3.141592f;

    // Here the phases are whole turns, turned into radians on their own.
    columnWave.resize(static_cast<std::size_t>(columns));
    for (int i = 0; i < columns; ++i) {
        columnWave[i] =
            ampX * std::sin(static_cast<float>(i + 1) * waveX / static_cast<float>(columns) + 6.283184f * phaseX);
    }
    float rowBelow = ampY * std::sin(6.283184f * phaseY);
    float tTop = 0.0f;
    float yTop = height / 2.0f;
    const QuadBlocks blocks;
    for (int j = 0; j < rows; ++j) {
        const float rowAbove = rowBelow;
        rowBelow = ampY * std::sin(static_cast<float>(j + 1) * waveY / static_cast<float>(rows) + 6.283184f * phaseY);
        float colLeft = ampX * std::sin(6.283184f * phaseX);
        const float t0 = tTop;
        const float t1 = tTop + dt;
        const float y0 = yTop;
        const float y1 = yTop - dy;
        float s = 0.0f;
        float x = -width / 2.0f;
        for (int i = 0; i < columns; ++i) {
            const float colRight = columnWave[i];
            const float s0 = s;
            const float s1 = s + ds;
            const float x0 = x;
            const float x1 = x + dx;
            blocks.beginQuad();
            texturedVertex(s0, t0, x0, y0, rowAbove + colLeft);
            texturedVertex(s0, t1, x0, y1, rowBelow + colLeft);
            texturedVertex(s1, t1, x1, y1, rowBelow + colRight);
            texturedVertex(s1, t0, x1, y0, rowAbove + colRight);
            blocks.endQuad();
            colLeft = colRight;
            s = s1;
            x = x1;
        }
        tTop = t1;
        yTop = y1;
    }
}

void drawRibbon(float a1, float w1, float p1, float a2, float w2, float p2, float b1, float w3, float p3, float b2,
                float w4, float p4, float c1, float w5, float p5, float c2, float w6, float p6, int segments,
                float startParam, TextureId texture)
{
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glEnable(GL_BLEND);
    glDepthMask(GL_FALSE);
    glColor4f(1.0f, 1.0f, 1.0f, 0.75f);

    const SineTerms curveX = {a1, w1, p1, a2, w2, p2};
    const SineTerms curveY = {b1, w3, p3, b2, w4, p4};
    const SineTerms curveZ = {c1, w5, p5, c2, w6, p6};
    float u = startParam;
    float s = 0.0f;
    RibbonPoint point = ribbonPoint(curveX, curveY, curveZ, u);
    // The count is a 16-bit number, as the schedule's segment counts are.
    const std::int16_t segmentCount = static_cast<std::int16_t>(segments);
    {
        const QuadBlocks blocks;
        for (std::int16_t k = 0; k < segmentCount; ++k) {
            blocks.beginQuad();
            ribbonVertex(point, 20.0f, s, 0.15f);
            ribbonVertex(point, -20.0f, s, 0.85f);
            s -= 0.25f;
            u += 0.15f;
            point = ribbonPoint(curveX, curveY, curveZ, u);
            ribbonVertex(point, -20.0f, s, 0.85f);
            ribbonVertex(point, 20.0f, s, 0.15f);
            blocks.endQuad();
        }
    }

    glDisable(GL_BLEND);
    glDepthMask(GL_TRUE);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
}

const SpriteTrail& spriteTrail()
{
    return trail;
}

void setSpriteTexture(TextureId texture)
{
    trail.texture = texture;
}

void setSpriteTexRect(float sLeft, float tTop, float sRight, float tBottom)
{
    trail.sLeft = sLeft;
    trail.tTop = tTop;
    trail.sRight = sRight;
    trail.tBottom = tBottom;
}

void setSpriteSize(float width, float height)
{
    trail.halfWidth = width * 0.5f;
    trail.halfHeight = height * 0.5f;
}

void setSpriteStart(float x, float y)
{
    trail.startX = x;
    trail.startY = y;
}

void setSpriteEnd(float x, float y)
{
    trail.endX = x;
    trail.endY = y;
}

void setSpriteAlpha(float first, float last)
{
    trail.alphaFirst = first;
    trail.alphaLast = last;
}

void setSpriteCount(std::int16_t count)
{
    trail.count = count;
}

void drawSpriteTrail()
{
    glMatrixMode(GL_MODELVIEW);
    glTranslatef(trail.startX, trail.startY, 0.0f);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, trail.texture);
    glEnable(GL_BLEND);
    if (trail.count < 2) {
        // No step between copies exists; one copy marks the start point.
        glColor4f(1.0f, 1.0f, 1.0f, trail.alphaFirst);
        spriteQuad();
    } else {
        const int gaps = trail.count - 1;
        const float stepX = (trail.endX - trail.startX) / static_cast<float>(gaps);
        const float stepY = (trail.endY - trail.startY) / static_cast<float>(gaps);
        for (int i = 0; i < trail.count; ++i) {
            glColor4f(1.0f, 1.0f, 1.0f,
                      trail.alphaFirst + (trail.alphaLast - trail.alphaFirst) * static_cast<float>(i) /
                                             static_cast<float>(gaps));
            // The step comes before each copy: copy i sits at start + (i + 1) steps.
            glTranslatef(stepX, stepY, 0.0f);
            spriteQuad();
        }
    }
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
}
