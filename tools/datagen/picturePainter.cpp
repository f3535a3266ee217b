#include "tools/datagen/picturePainter.h"

#include "platform/files/jpegEncoder.h"
#include "render/bitmapFont.h"
#include "tools/datagen/stableMath.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

std::uint8_t toByte(double value)
{
    const double clamped = std::min(1.0, std::max(0.0, value));
    return static_cast<std::uint8_t>(std::floor(clamped * 255.0 + 0.5));
}

int wrapIndex(int i, int n)
{
    const int r = i % n;
    return r < 0 ? r + n : r;
}

void boxBlurLine(const float* source, float* target, int count, int stride, int radius, bool wrap)
{
    double sum = 0.0;
    auto sample = [&](int i) -> double {
        if (wrap) {
            return source[wrapIndex(i, count) * stride];
        }
        return source[std::min(count - 1, std::max(0, i)) * stride];
    };
    for (int i = -radius; i <= radius; ++i) {
        sum += sample(i);
    }
    const double width = 2.0 * radius + 1.0;
    for (int i = 0; i < count; ++i) {
        target[i * stride] = static_cast<float>(sum / width);
        sum += sample(i + radius + 1) - sample(i - radius);
    }
}

} // namespace

Colour mixColour(Colour a, Colour b, double amount)
{
    const float t = static_cast<float>(amount);
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Colour scaleColour(Colour a, double factor)
{
    const float f = static_cast<float>(factor);
    return {a.r * f, a.g * f, a.b * f};
}

Canvas::Canvas(int canvasWidth, int canvasHeight)
    : width(canvasWidth), height(canvasHeight), rgb(static_cast<std::size_t>(canvasWidth * canvasHeight) * 3, 0.0f)
{
}

Colour Canvas::get(int x, int y) const
{
    const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 3;
    return {rgb[i], rgb[i + 1], rgb[i + 2]};
}

void Canvas::set(int x, int y, Colour colour)
{
    const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 3;
    rgb[i] = colour.r;
    rgb[i + 1] = colour.g;
    rgb[i + 2] = colour.b;
}

void Canvas::blend(int x, int y, Colour colour, double amount)
{
    set(x, y, mixColour(get(x, y), colour, amount));
}

void Canvas::add(int x, int y, Colour colour, double amount)
{
    const Colour c = get(x, y);
    const float a = static_cast<float>(amount);
    set(x, y, {c.r + colour.r * a, c.g + colour.g * a, c.b + colour.b * a});
}

Mask::Mask(int maskWidth, int maskHeight)
    : width(maskWidth), height(maskHeight), value(static_cast<std::size_t>(maskWidth * maskHeight), 0.0f)
{
}

float Mask::at(int x, int y) const
{
    return value[static_cast<std::size_t>(y) * width + x];
}

float& Mask::at(int x, int y)
{
    return value[static_cast<std::size_t>(y) * width + x];
}

double tileNoise(double x, double y, int period, int seed)
{
    const double fx = std::floor(x);
    const double fy = std::floor(y);
    const int x0 = wrapIndex(static_cast<int>(fx), period);
    const int y0 = wrapIndex(static_cast<int>(fy), period);
    const int x1 = wrapIndex(x0 + 1, period);
    const int y1 = wrapIndex(y0 + 1, period);
    const double tx = x - fx;
    const double ty = y - fy;
    const double sx = tx * tx * (3.0 - 2.0 * tx);
    const double sy = ty * ty * (3.0 - 2.0 * ty);
    const double a = hashUnit(x0, y0, seed);
    const double b = hashUnit(x1, y0, seed);
    const double c = hashUnit(x0, y1, seed);
    const double d = hashUnit(x1, y1, seed);
    const double top = a + (b - a) * sx;
    const double bottom = c + (d - c) * sx;
    return top + (bottom - top) * sy;
}

double tileFbm(double u, double v, int basePeriod, int octaves, int seed)
{
    double sum = 0.0;
    double weight = 0.5;
    double total = 0.0;
    int period = basePeriod;
    for (int octave = 0; octave < octaves; ++octave) {
        sum += weight * tileNoise(u * period, v * period, period, seed + octave * 101);
        total += weight;
        weight *= 0.5;
        period *= 2;
    }
    return sum / total;
}

double smoothStep(double edge0, double edge1, double x)
{
    const double t = std::min(1.0, std::max(0.0, (x - edge0) / (edge1 - edge0)));
    return t * t * (3.0 - 2.0 * t);
}

void drawTextMask(Mask& mask, const std::string& text, double left, double top, double cell, double inset)
{
    const double right = left + fontTextWidth(text) * cell;
    const double bottom = top + FONT_GLYPH_HEIGHT * cell;
    const int x0 = std::max(0, static_cast<int>(std::floor(left)));
    const int x1 = std::min(mask.width - 1, static_cast<int>(std::ceil(right)));
    const int y0 = std::max(0, static_cast<int>(std::floor(top)));
    const int y1 = std::min(mask.height - 1, static_cast<int>(std::ceil(bottom)));
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            int hits = 0;
            for (int sy = 0; sy < 4; ++sy) {
                for (int sx = 0; sx < 4; ++sx) {
                    const double px = (x + (sx + 0.5) / 4.0 - left) / cell;
                    const double py = (y + (sy + 0.5) / 4.0 - top) / cell;
                    if (px < 0.0 || py < 0.0) {
                        continue;
                    }
                    const int column = static_cast<int>(px);
                    const int row = static_cast<int>(py);
                    const double inX = px - column;
                    const double inY = py - row;
                    if (inX < inset || inX > 1.0 - inset || inY < inset || inY > 1.0 - inset) {
                        continue;
                    }
                    const std::size_t glyph = static_cast<std::size_t>(column / FONT_ADVANCE);
                    if (glyph < text.size() && fontPixel(text[glyph], column % FONT_ADVANCE, row)) {
                        ++hits;
                    }
                }
            }
            mask.at(x, y) = std::max(mask.at(x, y), static_cast<float>(hits / 16.0));
        }
    }
}

void drawCentredTextMask(Mask& mask, const std::string& text, double top, double cell, double inset)
{
    drawTextMask(mask, text, (mask.width - fontTextWidth(text) * cell) * 0.5, top, cell, inset);
}

void drawPolygonMask(Mask& mask, const std::vector<double>& points)
{
    const std::size_t corners = points.size() / 2;
    double minX = points[0], maxX = points[0], minY = points[1], maxY = points[1];
    for (std::size_t i = 1; i < corners; ++i) {
        minX = std::min(minX, points[2 * i]);
        maxX = std::max(maxX, points[2 * i]);
        minY = std::min(minY, points[2 * i + 1]);
        maxY = std::max(maxY, points[2 * i + 1]);
    }
    // The winding of the corners decides the sign of the edge tests; accept either.
    double area = 0.0;
    for (std::size_t i = 0; i < corners; ++i) {
        const std::size_t j = (i + 1) % corners;
        area += points[2 * i] * points[2 * j + 1] - points[2 * j] * points[2 * i + 1];
    }
    const double sign = area >= 0.0 ? 1.0 : -1.0;
    for (int y = std::max(0, static_cast<int>(minY)); y <= std::min(mask.height - 1, static_cast<int>(maxY) + 1); ++y) {
        for (int x = std::max(0, static_cast<int>(minX)); x <= std::min(mask.width - 1, static_cast<int>(maxX) + 1);
             ++x) {
            int hits = 0;
            for (int sy = 0; sy < 4; ++sy) {
                for (int sx = 0; sx < 4; ++sx) {
                    const double px = x + (sx + 0.5) / 4.0;
                    const double py = y + (sy + 0.5) / 4.0;
                    bool inside = true;
                    for (std::size_t i = 0; i < corners && inside; ++i) {
                        const std::size_t j = (i + 1) % corners;
                        const double edge = (points[2 * j] - points[2 * i]) * (py - points[2 * i + 1]) -
                                            (points[2 * j + 1] - points[2 * i + 1]) * (px - points[2 * i]);
                        inside = edge * sign >= 0.0;
                    }
                    hits += inside ? 1 : 0;
                }
            }
            mask.at(x, y) = std::max(mask.at(x, y), static_cast<float>(hits / 16.0));
        }
    }
}

void blurMask(Mask& mask, int radius, bool wrap)
{
    std::vector<float> scratch(mask.value.size());
    for (int pass = 0; pass < 3; ++pass) {
        for (int y = 0; y < mask.height; ++y) {
            boxBlurLine(&mask.value[static_cast<std::size_t>(y) * mask.width],
                        &scratch[static_cast<std::size_t>(y) * mask.width], mask.width, 1, radius, wrap);
        }
        for (int x = 0; x < mask.width; ++x) {
            boxBlurLine(&scratch[x], &mask.value[x], mask.height, mask.width, radius, wrap);
        }
    }
}

void paintThrough(Canvas& canvas, const Mask& mask, Colour colour, double amount)
{
    for (int y = 0; y < canvas.height; ++y) {
        for (int x = 0; x < canvas.width; ++x) {
            const float m = mask.at(x, y);
            if (m > 0.0f) {
                canvas.blend(x, y, colour, m * amount);
            }
        }
    }
}

void addThrough(Canvas& canvas, const Mask& mask, Colour colour, double amount)
{
    for (int y = 0; y < canvas.height; ++y) {
        for (int x = 0; x < canvas.width; ++x) {
            const float m = mask.at(x, y);
            if (m > 0.0f) {
                canvas.add(x, y, colour, m * amount);
            }
        }
    }
}

bool writeCanvasJpeg(const std::string& path, const Canvas& canvas, std::string& error)
{
    std::vector<std::uint8_t> bytes(canvas.rgb.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = toByte(canvas.rgb[i]);
    }
    return encodeJpeg(path, bytes.data(), canvas.width, canvas.height, 3, 90, false, error);
}

bool writeMaskJpeg(const std::string& path, const Mask& mask, std::string& error)
{
    std::vector<std::uint8_t> bytes(mask.value.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = toByte(mask.value[i]);
    }
    return encodeJpeg(path, bytes.data(), mask.width, mask.height, 1, 90, false, error);
}
