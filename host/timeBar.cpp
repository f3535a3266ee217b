#include "host/timeBar.h"

#include "render/bitmapFont.h"
#include "timeline/demoSchedule.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr double shownSeconds = 1.5;

// Pixel coordinates from the lower left, for the duration of the bar's own drawing.
void beginPixelDrawing(int width, int height)
{
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, width, 0.0, height, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    for (GLenum capability : {GL_DEPTH_TEST, GL_STENCIL_TEST, GL_LIGHTING, GL_FOG, GL_TEXTURE_2D, GL_CULL_FACE,
                              GL_ALPHA_TEST, GL_BLEND, GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T}) {
        glDisable(capability);
    }
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
}

void endPixelDrawing()
{
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPopClientAttrib();
    glPopAttrib();
}

void rectangle(float x0, float y0, float x1, float y1)
{
    glVertex2f(x0, y0);
    glVertex2f(x1, y0);
    glVertex2f(x1, y1);
    glVertex2f(x0, y1);
}

// The text with its lower left at (x, y), each font pixel a square of `scale`.
void drawText(const std::string& text, float x, float y, float scale)
{
    glBegin(GL_QUADS);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const float left = x + static_cast<float>(i * FONT_ADVANCE) * scale;
        for (int row = 0; row < FONT_GLYPH_HEIGHT; ++row) {
            for (int column = 0; column < FONT_GLYPH_WIDTH; ++column) {
                if (!fontPixel(text[i], column, row)) continue;
                const float px = left + static_cast<float>(column) * scale;
                const float py = y + static_cast<float>(FONT_GLYPH_HEIGHT - 1 - row) * scale;
                rectangle(px, py, px + scale, py + scale);
            }
        }
    }
    glEnd();
}

} // namespace

std::string timeBarText(double seconds, double length)
{
    const double shown = std::floor(std::clamp(seconds, 0.0, length) * 10.0) / 10.0;
    const int whole = static_cast<int>(shown);
    const int total = static_cast<int>(std::lround(length));
    char text[48];
    std::snprintf(text, sizeof text, "%d:%04.1f / %d:%02d", whole / 60, shown - (whole / 60) * 60, total / 60, total % 60);
    return text;
}

TimeBarLayout timeBarLayout(int pictureWidth, int pictureHeight)
{
    TimeBarLayout layout;
    layout.scale = static_cast<float>(std::max(1, pictureHeight / 240));
    layout.margin = static_cast<int>(4 * layout.scale);
    layout.height = std::min(pictureHeight, static_cast<int>((FONT_GLYPH_HEIGHT + 8) * layout.scale) + 2 * layout.margin);
    layout.lineLeft = static_cast<float>(layout.margin);
    layout.lineRight = static_cast<float>(pictureWidth - layout.margin);
    return layout;
}

double timeBarTimeAt(const TimeBarLayout& layout, double x)
{
    const double along = (x - layout.lineLeft) / std::max(1.0f, layout.lineRight - layout.lineLeft);
    return std::clamp(along, 0.0, 1.0) * demoLength;
}

void flashTimeBar(TimeBar& bar, double now)
{
    const double seconds = shownSeconds;
    bar.shownUntil = std::max(bar.shownUntil, now + seconds);
    if (bar.volume >= 0) bar.changed = true;
    bar.volume = -1;
}

void holdTimeBar(TimeBar& bar, double until) { bar.shownUntil = std::max(bar.shownUntil, until); }

void flashTimeBarVolume(TimeBar& bar, double now, int volume, bool muted)
{
    bar.shownUntil = std::max(bar.shownUntil, now + shownSeconds);
    bar.volume = volume;
    bar.muted = muted;
    bar.changed = true;
}

bool timeBarVisible(const TimeBar& bar, double now) { return bar.alwaysOn || now < bar.shownUntil; }

void drawTimeBar(TimeBar& bar, double t, int pictureWidth, int pictureHeight)
{
    const TimeBarLayout layout = timeBarLayout(pictureWidth, pictureHeight);
    const float scale = layout.scale;
    const int margin = layout.margin;
    bar.x = 0;
    bar.y = 0;
    bar.width = pictureWidth;
    bar.height = layout.height;
    bar.changed = false;
    if (bar.pointedTime >= 0.0) t = bar.pointedTime;
    beginPixelDrawing(pictureWidth, pictureHeight);
    bar.under.resize(static_cast<std::size_t>(bar.width) * static_cast<std::size_t>(bar.height) * 4);
    glReadPixels(bar.x, bar.y, bar.width, bar.height, GL_RGBA, GL_UNSIGNED_BYTE, bar.under.data());
    bar.covering = true;

    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(0.0f, 0.0f, 0.0f, 0.6f);
    glBegin(GL_QUADS);
    rectangle(0.0f, 0.0f, static_cast<float>(bar.width), static_cast<float>(bar.height));
    glEnd();
    glDisable(GL_BLEND);

    // The progress line with a tick at each part's start, the part playing brighter.
    const float lineLeft = layout.lineLeft;
    const float lineRight = layout.lineRight;
    const float lineBottom = static_cast<float>(margin);
    const float lineTop = lineBottom + 2.0f * scale;
    const auto at = [&](double seconds) {
        return lineLeft + (lineRight - lineLeft) * static_cast<float>(seconds / demoLength);
    };
    glBegin(GL_QUADS);
    glColor3f(0.35f, 0.35f, 0.35f);
    rectangle(lineLeft, lineBottom, lineRight, lineTop);
    glColor3f(1.0f, 0.55f, 0.1f);
    rectangle(lineLeft, lineBottom, at(std::clamp(t, 0.0, static_cast<double>(demoLength))), lineTop);
    glColor3f(0.9f, 0.9f, 0.9f);
    for (const ShowPart& part : showParts) {
        const float x = at(part.start);
        rectangle(x, lineBottom - scale, x + scale, lineTop + scale);
    }
    glEnd();

    std::string text = timeBarText(t, demoLength) + "  " + showParts[showPartAt(t)].name;
    if (bar.looping) text += "  LOOP";
    if (bar.volume >= 0) text += bar.muted ? "  MUTED" : "  VOLUME " + std::to_string(bar.volume) + "%";
    glColor3f(1.0f, 1.0f, 1.0f);
    drawText(text, lineLeft, lineTop + 2.0f * scale + static_cast<float>(margin) / 2.0f, scale);
    endPixelDrawing();
}

void removeTimeBar(TimeBar& bar)
{
    if (!bar.covering) return;
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    beginPixelDrawing(viewport[2], viewport[3]);
    glRasterPos2i(bar.x, bar.y);
    glDrawPixels(bar.width, bar.height, GL_RGBA, GL_UNSIGNED_BYTE, bar.under.data());
    endPixelDrawing();
    bar.covering = false;
}
