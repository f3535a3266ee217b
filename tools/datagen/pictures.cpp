#include "tools/datagen/pictures.h"

#include "render/bitmapFont.h"
#include "tools/datagen/picturePainter.h"
#include "tools/datagen/stableMath.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace {

constexpr double TWO_PI = 2.0 * STABLE_PI;

double clamp01(double x)
{
    return std::min(1.0, std::max(0.0, x));
}

// A palette through four colours at 0, 1/3, 2/3 and 1.
Colour ramp(double t, Colour a, Colour b, Colour c, Colour d)
{
    t = clamp01(t) * 3.0;
    if (t < 1.0) {
        return mixColour(a, b, t);
    }
    if (t < 2.0) {
        return mixColour(b, c, t - 1.0);
    }
    return mixColour(c, d, t - 2.0);
}

// Fills every pixel from a function of the texture coordinate (u, v) in [0, 1).
void fill(Canvas& canvas, const std::function<Colour(double, double)>& shade)
{
    for (int y = 0; y < canvas.height; ++y) {
        for (int x = 0; x < canvas.width; ++x) {
            canvas.set(x, y, shade((x + 0.5) / canvas.width, (y + 0.5) / canvas.height));
        }
    }
}

void fillMask(Mask& mask, const std::function<double(double, double)>& shade)
{
    for (int y = 0; y < mask.height; ++y) {
        for (int x = 0; x < mask.width; ++x) {
            mask.at(x, y) = static_cast<float>(clamp01(shade((x + 0.5) / mask.width, (y + 0.5) / mask.height)));
        }
    }
}

// Text with a soft glow behind it: glow first, then the letters.
void glowText(Canvas& canvas, const Mask& letters, int glowRadius, Colour glow, double glowAmount, Colour ink)
{
    Mask halo = letters;
    blurMask(halo, glowRadius, false);
    addThrough(canvas, halo, glow, glowAmount);
    paintThrough(canvas, letters, ink, 1.0);
}

// Wait screen: shown in a wide band at the lower left while everything loads.
Canvas waitScreen()
{
    Canvas canvas(512, 128);
    fill(canvas, [](double u, double v) {
        const double n = tileFbm(u, v * 0.25, 8, 4, 11);
        const double scan = (static_cast<int>(v * 128) % 3 == 0) ? 0.85 : 1.0;
        return scaleColour(mixColour({0.02f, 0.03f, 0.08f}, {0.08f, 0.10f, 0.22f}, n * (1.0 - v * 0.6)), scan);
    });
    Mask title(512, 128);
    drawCentredTextMask(title, "KESU TAMRICK", 18.0, 6.5, 0.0);
    glowText(canvas, title, 5, {0.1f, 0.5f, 1.0f}, 1.2, {0.92f, 0.96f, 1.0f});
    Mask line(512, 128);
    drawCentredTextMask(line, "LOADING THE SHOW", 86.0, 2.5, 0.0);
    paintThrough(canvas, line, {1.0f, 0.7f, 0.3f}, 1.0);
    for (int x = 40; x < 472; ++x) {
        const double fade = smoothStep(40.0, 120.0, x) * smoothStep(472.0, 392.0, x);
        canvas.add(x, 110, {0.3f, 0.6f, 1.0f}, 0.8 * fade);
        canvas.add(x, 111, {0.3f, 0.6f, 1.0f}, 0.4 * fade);
    }
    return canvas;
}

// The particle: a round glow, black at the rim so additive drawing leaves no square.
Canvas particle()
{
    Canvas canvas(64, 64);
    fill(canvas, [](double u, double v) {
        const double dx = u * 2.0 - 1.0;
        const double dy = v * 2.0 - 1.0;
        const double r2 = dx * dx + dy * dy;
        const double glow = stableExp(-r2 * 5.0) + 0.6 * stableExp(-r2 * 45.0);
        const double edge = 1.0 - smoothStep(0.7, 0.98, std::sqrt(r2));
        const double value = clamp01(glow * edge);
        return Colour{static_cast<float>(value), static_cast<float>(value * 0.97), static_cast<float>(value * 0.92)};
    });
    return canvas;
}

// Chrome: the picture a mirror ball shows of a sky over dark ground, for sphere mapping.
Canvas chromeSphereMap()
{
    Canvas canvas(256, 256);
    fill(canvas, [](double u, double v) {
        double x = u * 2.0 - 1.0;
        double y = 1.0 - v * 2.0;
        double r2 = x * x + y * y;
        if (r2 > 0.998) {
            const double s = std::sqrt(0.998 / r2);
            x *= s;
            y *= s;
            r2 = 0.998;
        }
        const double z = std::sqrt(1.0 - r2);
        // Reflection of a ray looking down -z off a sphere with normal (x, y, z).
        const double rx = 2.0 * z * x;
        const double ry = 2.0 * z * y;
        const double rz = 2.0 * z * z - 1.0;
        Colour colour;
        if (ry >= 0.0) {
            const double cloud = tileFbm(rx * 0.25 + 0.5, rz * 0.25 + 0.5, 4, 4, 7);
            colour = mixColour({0.85f, 0.82f, 0.78f}, {0.18f, 0.32f, 0.72f}, std::sqrt(ry));
            colour = mixColour(colour, {0.95f, 0.95f, 1.0f}, smoothStep(0.55, 0.8, cloud) * 0.5 * ry);
        } else {
            const double band = tileFbm(rx * 0.3 + 0.5, rz * 0.3 + 0.5, 8, 3, 9);
            colour = mixColour({0.45f, 0.38f, 0.32f}, {0.06f, 0.05f, 0.05f}, std::sqrt(-ry));
            colour = scaleColour(colour, 0.7 + 0.5 * band);
        }
        // A bright horizon line and two window lights give the chrome its sparkle.
        colour = mixColour(colour, {1.0f, 1.0f, 1.0f}, stableExp(-ry * ry * 900.0) * 0.8);
        const double lightA = (rx - 0.5) * (rx - 0.5) + (ry - 0.6) * (ry - 0.6) + (rz + 0.2) * (rz + 0.2);
        const double lightB = (rx + 0.7) * (rx + 0.7) + (ry - 0.3) * (ry - 0.3) + (rz - 0.4) * (rz - 0.4);
        colour = mixColour(colour, {1.0f, 0.98f, 0.9f}, stableExp(-lightA * 40.0));
        colour = mixColour(colour, {0.9f, 0.95f, 1.0f}, stableExp(-lightB * 60.0) * 0.8);
        return colour;
    });
    return canvas;
}

// Rewind icon: white on black, as it darkens the screen where it is bright.
Canvas rewindIcon()
{
    Canvas canvas(128, 128);
    Mask icon(128, 128);
    drawPolygonMask(icon, {18, 64, 62, 26, 62, 102});
    drawPolygonMask(icon, {58, 64, 102, 26, 102, 102});
    drawPolygonMask(icon, {104, 26, 114, 26, 114, 102, 104, 102});
    Mask frame(128, 128);
    for (int y = 0; y < 128; ++y) {
        for (int x = 0; x < 128; ++x) {
            const bool border = (x >= 4 && x < 8) || (x >= 120 && x < 124) || (y >= 6 && y < 10) || (y >= 118 && y < 122);
            const bool inside = x >= 4 && x < 124 && y >= 6 && y < 122;
            frame.at(x, y) = border && inside ? 0.7f : 0.0f;
        }
    }
    paintThrough(canvas, frame, {1.0f, 1.0f, 1.0f}, 1.0);
    paintThrough(canvas, icon, {1.0f, 1.0f, 1.0f}, 1.0);
    return canvas;
}

// Banner: a toothed ribbon with the name; the mask cuts out the teeth.
void banner(Canvas& canvas, Mask& mask)
{
    const double toothPeriod = 32.0;
    const double toothDepth = 26.0;
    fillMask(mask, [&](double u, double v) {
        const double x = u * 512.0;
        const double y = v * 256.0;
        const double phase = std::fabs(std::fmod(x, toothPeriod) / toothPeriod - 0.5) * 2.0;   // 1 at the tips
        const double topEdge = 34.0 + toothDepth * phase;
        const double bottomEdge = 222.0 - toothDepth * phase;
        return smoothStep(topEdge - 1.0, topEdge + 1.0, y) * (1.0 - smoothStep(bottomEdge - 1.0, bottomEdge + 1.0, y));
    });
    fill(canvas, [](double u, double v) {
        const double metal = tileFbm(u * 4.0, v, 4, 4, 21);
        const double shade = 0.6 + 0.4 * stableSin(v * STABLE_PI);
        Colour base = ramp(v, {0.95f, 0.55f, 0.1f}, {0.85f, 0.15f, 0.1f}, {0.55f, 0.05f, 0.25f}, {0.3f, 0.05f, 0.35f});
        base = scaleColour(base, shade * (0.8 + 0.4 * metal));
        const double stripe = std::fabs(v - 0.3) < 0.012 || std::fabs(v - 0.7) < 0.012 ? 1.0 : 0.0;
        return mixColour(base, {1.0f, 0.9f, 0.6f}, stripe * 0.7);
    });
    Mask letters(512, 256);
    drawCentredTextMask(letters, "KESU TAMRICK", 105.0, 6.5, 0.0);
    Mask shadow = letters;
    blurMask(shadow, 3, false);
    paintThrough(canvas, shadow, {0.05f, 0.0f, 0.05f}, 0.8);
    paintThrough(canvas, letters, {1.0f, 0.97f, 0.85f}, 1.0);
}

// A tileable marble of deep colours: the orbit effect's base picture.
Canvas marble()
{
    Canvas canvas(256, 256);
    fill(canvas, [](double u, double v) {
        const double warp = tileFbm(u, v, 4, 5, 31);
        const double bands = 0.5 + 0.5 * stableSin(TWO_PI * (u * 2.0 + v) + warp * 9.0);
        const double detail = tileFbm(u, v, 16, 3, 33);
        return ramp(bands * 0.85 + detail * 0.15, {0.05f, 0.05f, 0.25f}, {0.3f, 0.1f, 0.55f}, {0.9f, 0.35f, 0.25f},
                    {1.0f, 0.85f, 0.45f});
    });
    return canvas;
}

// Modulation layer: mid grey (which leaves the base unchanged under the doubled product)
// with brighter rings and darker cells.
Canvas modulation()
{
    Canvas canvas(256, 256);
    fill(canvas, [](double u, double v) {
        const double cellsU = u * 8.0;
        const double cellsV = v * 8.0;
        const double fx = cellsU - std::floor(cellsU) - 0.5;
        const double fy = cellsV - std::floor(cellsV) - 0.5;
        const double r = std::sqrt(fx * fx + fy * fy);
        const double ring = stableExp(-(r - 0.32) * (r - 0.32) * 300.0);
        const double cloud = tileFbm(u, v, 4, 4, 41);
        const double value = 0.42 + 0.18 * cloud + 0.35 * ring;
        return Colour{static_cast<float>(value * 1.05), static_cast<float>(value), static_cast<float>(value * 0.95)};
    });
    return canvas;
}

// The ribbon: a glowing grid band; s runs along the ribbon and repeats.
Canvas ribbonGrid()
{
    Canvas canvas(128, 128);
    Mask lines(128, 128);
    fillMask(lines, [](double u, double v) {
        const double gu = std::fabs(u * 4.0 - std::floor(u * 4.0 + 0.5));
        const double gv = std::fabs(v * 4.0 - std::floor(v * 4.0 + 0.5));
        const double grid = std::max(1.0 - smoothStep(0.02, 0.06, gu), 1.0 - smoothStep(0.02, 0.06, gv));
        const double edges = std::max(1.0 - smoothStep(0.0, 0.05, std::fabs(v - 0.17)),
                                      1.0 - smoothStep(0.0, 0.05, std::fabs(v - 0.83)));
        return std::max(grid * 0.8, edges);
    });
    Mask glow = lines;
    blurMask(glow, 4, true);
    fill(canvas, [](double, double v) {
        const double band = v > 0.15 && v < 0.85 ? 0.08 : 0.0;
        return Colour{0.0f, static_cast<float>(band * 0.6), static_cast<float>(band)};
    });
    addThrough(canvas, glow, {0.1f, 0.6f, 1.0f}, 1.5);
    addThrough(canvas, lines, {0.7f, 0.95f, 1.0f}, 1.0);
    return canvas;
}

// Far robot sheet: a dim circuit board of traces and pads.
Canvas circuit()
{
    Canvas canvas(256, 256);
    Mask traces(256, 256);
    const int cells = 16;
    for (int cy = 0; cy < cells; ++cy) {
        for (int cx = 0; cx < cells; ++cx) {
            const double choice = hashUnit(cx, cy, 51);
            const int x0 = cx * 16 + 8;
            const int y0 = cy * 16 + 8;
            // Each cell runs a trace right or down to its neighbour, some end in a pad.
            if (choice < 0.45) {
                for (int x = x0; x < x0 + 16; ++x) {
                    traces.at(x % 256, y0) = 1.0f;
                    traces.at(x % 256, (y0 + 1) % 256) = 1.0f;
                }
            } else if (choice < 0.85) {
                for (int y = y0; y < y0 + 16; ++y) {
                    traces.at(x0, y % 256) = 1.0f;
                    traces.at((x0 + 1) % 256, y % 256) = 1.0f;
                }
            }
            if (hashUnit(cx, cy, 53) < 0.3) {
                for (int y = -3; y <= 3; ++y) {
                    for (int x = -3; x <= 3; ++x) {
                        if (x * x + y * y <= 9) {
                            traces.at((x0 + x + 256) % 256, (y0 + y + 256) % 256) = 1.0f;
                        }
                    }
                }
            }
        }
    }
    fill(canvas, [](double u, double v) {
        const double n = tileFbm(u, v, 4, 4, 55);
        return mixColour({0.02f, 0.04f, 0.1f}, {0.08f, 0.12f, 0.3f}, n);
    });
    Mask glow = traces;
    blurMask(glow, 3, true);
    addThrough(canvas, glow, {0.1f, 0.4f, 0.9f}, 0.8);
    paintThrough(canvas, traces, {0.45f, 0.75f, 1.0f}, 0.85);
    return canvas;
}

// Near robot sheet, drawn additively: sparse sparks and streaks on black.
Canvas sparkField()
{
    Canvas canvas(256, 256);
    Mask sparks(256, 256);
    StableRandom random(61);
    for (int i = 0; i < 70; ++i) {
        const int cx = random.below(256);
        const int cy = random.below(256);
        const int length = 4 + random.below(20);
        for (int k = -length; k <= length; ++k) {
            const float fade = static_cast<float>(1.0 - std::fabs(static_cast<double>(k)) / (length + 1));
            float& horizontal = sparks.at((cx + k + 256) % 256, cy);
            horizontal = std::max(horizontal, fade);
            if (i % 3 == 0) {
                float& vertical = sparks.at(cx, (cy + k / 2 + 256) % 256);
                vertical = std::max(vertical, fade * 0.7f);
            }
        }
    }
    Mask glow = sparks;
    blurMask(glow, 3, true);
    addThrough(canvas, glow, {0.9f, 0.4f, 0.1f}, 2.0);
    addThrough(canvas, sparks, {1.0f, 0.9f, 0.6f}, 1.0);
    return canvas;
}

// Small logo for the finale's column of sprites, on black: they are drawn additively.
Canvas smallLogo()
{
    Canvas canvas(128, 128);
    Mask big(128, 128);
    drawCentredTextMask(big, "KESU", 28.0, 5.0, 0.05);
    Mask small(128, 128);
    drawCentredTextMask(small, "TAMRICK", 72.0, 2.6, 0.0);
    glowText(canvas, big, 4, {1.0f, 0.45f, 0.1f}, 1.3, {1.0f, 0.92f, 0.75f});
    glowText(canvas, small, 2, {1.0f, 0.45f, 0.1f}, 0.8, {1.0f, 0.8f, 0.55f});
    for (int x = 14; x < 114; ++x) {
        canvas.add(x, 98, {1.0f, 0.6f, 0.2f}, 0.8 * smoothStep(14.0, 40.0, x) * smoothStep(114.0, 88.0, x));
    }
    return canvas;
}

// The big logo with its outline mask, in the upper part of the square (the trail shows
// rows 5 % to 70 %).
void bigLogo(Canvas& canvas, Mask& mask)
{
    Mask big(256, 256);
    drawCentredTextMask(big, "KESU", 22.0, 9.5, 0.03);
    Mask small(256, 256);
    drawCentredTextMask(small, "TAMRICK", 110.0, 5.0, 0.03);
    Mask letters = big;
    for (std::size_t i = 0; i < letters.value.size(); ++i) {
        letters.value[i] = std::max(letters.value[i], small.value[i]);
    }
    Mask outline = letters;
    blurMask(outline, 4, false);
    fillMask(mask, [&](double u, double v) {
        const int x = static_cast<int>(u * 256.0);
        const int y = static_cast<int>(v * 256.0);
        return std::max(static_cast<double>(letters.at(x, y)), smoothStep(0.02, 0.25, outline.at(x, y)) * 0.75);
    });
    fill(canvas, [](double u, double v) {
        // Chrome lettering: sky above a bright horizon line, warm ground below.
        const double row = v * 256.0;
        const double horizon = row < 80.0 ? (row - 22.0) / 66.5 : (row - 110.0) / 35.0;
        Colour letter = horizon < 0.5 ? mixColour({0.55f, 0.75f, 1.0f}, {1.0f, 1.0f, 1.0f}, horizon * 2.0)
                                      : mixColour({1.0f, 0.75f, 0.35f}, {0.6f, 0.25f, 0.1f}, (horizon - 0.5) * 2.0);
        const double sheen = tileFbm(u, v, 8, 3, 71);
        return scaleColour(letter, 0.85 + 0.3 * sheen);
    });
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            const double rim = 1.0 - letters.at(x, y);
            canvas.blend(x, y, {0.04f, 0.05f, 0.2f}, rim);
        }
    }
}

// Screen-blended light layer: tileable caustics, mostly dark with bright seams.
Canvas caustics()
{
    Canvas canvas(256, 256);
    fill(canvas, [](double u, double v) {
        const double a = tileFbm(u, v, 4, 4, 81);
        const double b = tileFbm(u + 0.37, v + 0.11, 4, 4, 83);
        const double seamA = 1.0 - std::fabs(a - 0.5) * 2.0;
        const double seamB = 1.0 - std::fabs(b - 0.5) * 2.0;
        const double light = stablePow(std::max(seamA, seamB), 8.0) + 0.5 * stablePow(seamA * seamB, 3.0);
        return Colour{static_cast<float>(clamp01(light * 0.5)), static_cast<float>(clamp01(light * 0.8)),
                      static_cast<float>(clamp01(light * 1.0 + 0.05))};
    });
    return canvas;
}

// Translucent layer: warm diagonal bands, its mask soft tileable clouds.
void veil(Canvas& canvas, Mask& mask)
{
    fill(canvas, [](double u, double v) {
        const double band = 0.5 + 0.5 * stableSin(TWO_PI * (u + v) * 3.0 + tileFbm(u, v, 4, 3, 91) * 4.0);
        return ramp(band, {0.5f, 0.05f, 0.3f}, {0.9f, 0.2f, 0.2f}, {1.0f, 0.55f, 0.1f}, {1.0f, 0.9f, 0.5f});
    });
    fillMask(mask, [](double u, double v) {
        const double cloud = tileFbm(u, v, 4, 5, 93);
        return smoothStep(0.35, 0.7, cloud);
    });
}

// Meadow ground: dark soil with patches of grass.
Canvas ground()
{
    Canvas canvas(256, 256);
    fill(canvas, [](double u, double v) {
        const double patch = tileFbm(u, v, 4, 5, 101);
        const double grain = tileFbm(u, v, 32, 2, 103);
        Colour soil = mixColour({0.2f, 0.13f, 0.07f}, {0.32f, 0.22f, 0.12f}, grain);
        Colour grass = mixColour({0.12f, 0.3f, 0.06f}, {0.3f, 0.5f, 0.1f}, grain);
        return mixColour(soil, grass, smoothStep(0.4, 0.6, patch));
    });
    return canvas;
}

// Riveted steel plates for the factory.
Canvas steelPlates()
{
    Canvas canvas(256, 256);
    fill(canvas, [](double u, double v) {
        const double brushed = tileFbm(u * 1.0, v, 2, 2, 111) * 0.3 + tileFbm(u, v, 64, 1, 113) * 0.15;
        const double plateU = u * 2.0 - std::floor(u * 2.0);
        const double plateV = v * 2.0 - std::floor(v * 2.0);
        const double seam = std::min(std::min(plateU, 1.0 - plateU), std::min(plateV, 1.0 - plateV));
        double value = 0.45 + brushed;
        value *= 0.55 + 0.45 * smoothStep(0.0, 0.03, seam);
        for (int corner = 0; corner < 4; ++corner) {
            const double cu = corner % 2 == 0 ? 0.07 : 0.93;
            const double cv = corner < 2 ? 0.07 : 0.93;
            const double d = (plateU - cu) * (plateU - cu) + (plateV - cv) * (plateV - cv);
            value += 0.35 * stableExp(-d * 3000.0);
        }
        return Colour{static_cast<float>(value * 0.92), static_cast<float>(value * 0.95), static_cast<float>(value)};
    });
    return canvas;
}

// Catwalk grating: bars around square holes; the mask makes the holes see-through.
void grating(Canvas& canvas, Mask& mask)
{
    fillMask(mask, [](double u, double v) {
        const double cu = u * 8.0 - std::floor(u * 8.0);
        const double cv = v * 8.0 - std::floor(v * 8.0);
        const double hole = smoothStep(0.16, 0.2, cu) * smoothStep(0.84, 0.8, cu) * smoothStep(0.16, 0.2, cv) *
                            smoothStep(0.84, 0.8, cv);
        return 1.0 - hole;
    });
    fill(canvas, [](double u, double v) {
        const double rust = tileFbm(u, v, 4, 4, 121);
        return mixColour({0.55f, 0.55f, 0.6f}, {0.5f, 0.3f, 0.15f}, smoothStep(0.5, 0.75, rust));
    });
}

// Yellow and black hazard stripes.
Canvas hazardStripes()
{
    Canvas canvas(128, 128);
    fill(canvas, [](double u, double v) {
        const double s = (u + v) * 4.0;
        const double f = s - std::floor(s);
        const double wear = tileFbm(u, v, 8, 3, 131);
        Colour base = f < 0.5 ? Colour{0.95f, 0.75f, 0.05f} : Colour{0.08f, 0.08f, 0.08f};
        return scaleColour(base, 0.75 + 0.35 * wear);
    });
    return canvas;
}

// Pipe skin: copper with bright bands; u runs around the pipe, v along it.
Canvas pipeSkin()
{
    Canvas canvas(128, 128);
    fill(canvas, [](double u, double v) {
        const double band = v * 4.0 - std::floor(v * 4.0);
        const double ring = band < 0.1 ? 0.5 : 0.0;
        const double patina = tileFbm(u, v, 4, 4, 141);
        const double highlight = 0.5 + 0.5 * stableCos(TWO_PI * u);
        Colour copper = mixColour({0.55f, 0.25f, 0.12f}, {0.95f, 0.6f, 0.35f}, highlight);
        copper = mixColour(copper, {0.2f, 0.45f, 0.38f}, smoothStep(0.55, 0.8, patina) * 0.6);
        return mixColour(copper, {0.9f, 0.9f, 0.85f}, ring);
    });
    return canvas;
}

// Tunnel wall panels with light strips.
Canvas techPanels()
{
    Canvas canvas(256, 256);
    fill(canvas, [](double u, double v) {
        const double pu = u * 4.0 - std::floor(u * 4.0);
        const double pv = v * 2.0 - std::floor(v * 2.0);
        const int cell = static_cast<int>(u * 4.0) + 4 * static_cast<int>(v * 2.0);
        const double tone = 0.25 + 0.2 * hashUnit(cell, 0, 151);
        const double inset = std::min(std::min(pu, 1.0 - pu), std::min(pv, 1.0 - pv));
        double value = tone * (0.5 + 0.5 * smoothStep(0.0, 0.05, inset));
        value += 0.05 * tileFbm(u, v, 16, 2, 153);
        Colour colour{static_cast<float>(value * 0.9), static_cast<float>(value * 0.95), static_cast<float>(value * 1.1)};
        const double strip = std::fabs(pv - 0.5) < 0.03 && hashUnit(cell, 1, 155) < 0.5 ? 1.0 : 0.0;
        return mixColour(colour, {0.5f, 0.9f, 1.0f}, strip);
    });
    return canvas;
}

// One credits plate: white lines on black, drawn additively over the cube.
Canvas creditPlate(const std::string& heading, const std::string& name, Colour tint)
{
    Canvas canvas(512, 128);
    // Each line is scaled to fit the plate's width with a margin.
    const double headingCell = std::min(4.0, 480.0 / fontTextWidth(heading));
    const double nameCell = std::min(6.5, 490.0 / fontTextWidth(name));
    Mask top(512, 128);
    drawCentredTextMask(top, heading, 14.0, headingCell, 0.0);
    Mask bottom(512, 128);
    drawCentredTextMask(bottom, name, 88.0 - FONT_GLYPH_HEIGHT * nameCell * 0.5, nameCell, 0.0);
    glowText(canvas, top, 3, tint, 0.9, mixColour(tint, {1.0f, 1.0f, 1.0f}, 0.5));
    glowText(canvas, bottom, 4, tint, 1.0, {1.0f, 1.0f, 1.0f});
    return canvas;
}

// Glowing circuit face of the inner cube.
Canvas cubeFace()
{
    Canvas canvas(128, 128);
    fill(canvas, [](double u, double v) {
        const double du = std::fabs(u - 0.5);
        const double dv = std::fabs(v - 0.5);
        const double square = std::max(du, dv);
        const double rings = 0.5 + 0.5 * stableCos(square * 50.0);
        const double border = smoothStep(0.42, 0.48, square);
        const double value = 0.15 + 0.35 * stablePow(rings, 6.0) * (1.0 - border) + 0.6 * border;
        return Colour{static_cast<float>(value * 0.4), static_cast<float>(value * 0.8), static_cast<float>(value)};
    });
    return canvas;
}

// Terrain of the final scene: rock and grass by height-like noise.
Canvas terrain()
{
    Canvas canvas(256, 256);
    fill(canvas, [](double u, double v) {
        const double n = tileFbm(u, v, 4, 6, 161);
        const double fine = tileFbm(u, v, 32, 2, 163);
        Colour rock = mixColour({0.3f, 0.26f, 0.24f}, {0.55f, 0.5f, 0.45f}, fine);
        Colour moss = mixColour({0.15f, 0.25f, 0.12f}, {0.3f, 0.38f, 0.18f}, fine);
        return mixColour(moss, rock, smoothStep(0.45, 0.6, n));
    });
    return canvas;
}

// Tower walls: dark stone with rows of lit windows.
Canvas towerWall()
{
    Canvas canvas(128, 128);
    fill(canvas, [](double u, double v) {
        const int column = static_cast<int>(u * 8.0);
        const int row = static_cast<int>(v * 16.0);
        const double cu = u * 8.0 - column;
        const double cv = v * 16.0 - row;
        const bool window = cu > 0.3 && cu < 0.7 && cv > 0.25 && cv < 0.75;
        const double lit = hashUnit(column, row, 171);
        const double stone = 0.12 + 0.1 * tileFbm(u, v, 8, 3, 173);
        if (window && lit < 0.55) {
            return mixColour({1.0f, 0.75f, 0.35f}, {0.6f, 0.85f, 1.0f}, lit / 0.55 > 0.8 ? 1.0 : 0.0);
        }
        return Colour{static_cast<float>(stone), static_cast<float>(stone * 1.05), static_cast<float>(stone * 1.2)};
    });
    return canvas;
}

// Backdrop of the title's elements: a starry nebula.
Canvas nebula()
{
    Canvas canvas(256, 256);
    fill(canvas, [](double u, double v) {
        const double cloud = tileFbm(u, v, 2, 6, 181);
        const double wisps = tileFbm(u + cloud * 0.3, v, 4, 5, 183);
        Colour colour = ramp(cloud * 0.7 + wisps * 0.3, {0.01f, 0.01f, 0.04f}, {0.08f, 0.03f, 0.18f},
                             {0.2f, 0.1f, 0.35f}, {0.55f, 0.35f, 0.5f});
        const double star = hashUnit(static_cast<int>(u * 256.0), static_cast<int>(v * 256.0), 185);
        if (star > 0.994) {
            colour = mixColour(colour, {1.0f, 1.0f, 1.0f}, (star - 0.994) / 0.006);
        }
        return colour;
    });
    return canvas;
}

// Dusk sky for the inside of the final scene's dome: zenith at the top row, the horizon
// across the middle, haze below; it repeats across so the dome can wrap it several times.
Canvas duskSky()
{
    Canvas canvas(256, 256);
    fill(canvas, [](double u, double v) {
        const double height = 1.0 - 2.0 * v;   // 1 at the zenith, 0 at the horizon
        Colour colour;
        if (height >= 0.0) {
            colour = ramp(1.0 - height, {0.02f, 0.03f, 0.12f}, {0.1f, 0.12f, 0.35f}, {0.55f, 0.3f, 0.45f},
                          {1.0f, 0.55f, 0.25f});
            const double cloud = tileFbm(u, v * 4.0, 4, 5, 201);
            colour = mixColour(colour, {0.9f, 0.45f, 0.35f}, smoothStep(0.55, 0.75, cloud) * (1.0 - height) * 0.6);
            const double star = hashUnit(static_cast<int>(u * 256.0), static_cast<int>(v * 256.0), 203);
            if (star > 0.992 && height > 0.35) {
                colour = mixColour(colour, {1.0f, 1.0f, 0.95f}, (star - 0.992) / 0.008 * height);
            }
        } else {
            colour = mixColour({0.6f, 0.35f, 0.25f}, {0.05f, 0.04f, 0.05f}, std::min(1.0, -height * 4.0));
        }
        return colour;
    });
    return canvas;
}

// Glass panel: a pale tint with bright rims; its mask lets most of the view through
// and keeps the rims and a few streaks solid.
void glassPanel(Canvas& canvas, Mask& mask)
{
    fill(canvas, [](double u, double v) {
        const double rim = std::max(std::fabs(u - 0.5), std::fabs(v - 0.5));
        return mixColour({0.55f, 0.75f, 0.95f}, {1.0f, 1.0f, 1.0f}, smoothStep(0.42, 0.48, rim));
    });
    fillMask(mask, [](double u, double v) {
        const double rim = std::max(std::fabs(u - 0.5), std::fabs(v - 0.5));
        const double streak = stableExp(-(u + v - 0.7) * (u + v - 0.7) * 200.0) * 0.5;
        return 0.28 + 0.72 * smoothStep(0.42, 0.47, rim) + streak;
    });
}

// Mask of the cube heart: its circuit rings and rim solid, the rest half see-through.
Mask cubeFaceMask()
{
    Mask mask(128, 128);
    fillMask(mask, [](double u, double v) {
        const double square = std::max(std::fabs(u - 0.5), std::fabs(v - 0.5));
        const double rings = 0.5 + 0.5 * stableCos(square * 50.0);
        return 0.5 + 0.5 * std::max(stablePow(rings, 4.0), smoothStep(0.4, 0.46, square));
    });
    return mask;
}

// Brushed gold for the title's letters.
Canvas brushedGold()
{
    Canvas canvas(128, 128);
    fill(canvas, [](double u, double v) {
        const double streak = tileFbm(u, v * 0.125, 16, 3, 191);
        const double value = 0.7 + 0.3 * streak;
        return Colour{static_cast<float>(value), static_cast<float>(value * 0.78), static_cast<float>(value * 0.42)};
    });
    return canvas;
}

} // namespace

std::vector<PicturePair> pictureList()
{
    return {
        {"w8scr.jpg", ""},      {"particle.jpg", ""}, {"textur10.jpg", ""}, {"rewind.jpg", ""},
        {"zub.jpg", "zub_mask.jpg"}, {"textura1.jpg", ""}, {"textura2.jpg", ""}, {"grid_sm2.jpg", ""},
        {"textur13.jpg", ""},   {"textur14.jpg", ""}, {"kesusml.jpg", ""},  {"grdk.jpg", "grdkmask.jpg"},
        {"textura4.jpg", ""},   {"textura5.jpg", "mask2.jpg"}, {"ground.jpg", ""}, {"steel.jpg", ""},
        {"grate.jpg", "gratemsk.jpg"}, {"hazard.jpg", ""}, {"pipe.jpg", ""}, {"panels.jpg", ""},
        {"credit1.jpg", ""},    {"credit2.jpg", ""},  {"credit3.jpg", ""},  {"credit4.jpg", ""},
        {"terrain.jpg", ""},  {"tower.jpg", ""},    {"nebula.jpg", ""},
        {"gold.jpg", "goldmsk.jpg"}, {"sky.jpg", ""},       {"glass.jpg", "glassmsk.jpg"},
        {"cubeface.jpg", "cubemsk.jpg"},
    };
}

bool writePictures(const std::string& dataDir, std::string& error)
{
    auto save = [&](const std::string& name, const Canvas& canvas) {
        return writeCanvasJpeg(dataDir + name, canvas, error);
    };
    auto saveMask = [&](const std::string& name, const Mask& mask) { return writeMaskJpeg(dataDir + name, mask, error); };

    Canvas bannerPicture(512, 256);
    Mask bannerMask(512, 256);
    banner(bannerPicture, bannerMask);
    Canvas logoPicture(256, 256);
    Mask logoMask(256, 256);
    bigLogo(logoPicture, logoMask);
    Canvas veilPicture(256, 256);
    Mask veilMask(256, 256);
    veil(veilPicture, veilMask);
    Canvas gratePicture(128, 128);
    Mask grateMask(128, 128);
    grating(gratePicture, grateMask);

    // The title letters' opacity map is solid: it only selects the two-pass drawing.
    Mask solid(128, 128);
    std::fill(solid.value.begin(), solid.value.end(), 1.0f);
    Canvas glassPicture(128, 128);
    Mask glassMask(128, 128);
    glassPanel(glassPicture, glassMask);

    return save("w8scr.jpg", waitScreen()) && save("particle.jpg", particle()) &&
           save("textur10.jpg", chromeSphereMap()) && save("rewind.jpg", rewindIcon()) &&
           save("zub.jpg", bannerPicture) && saveMask("zub_mask.jpg", bannerMask) && save("textura1.jpg", marble()) &&
           save("textura2.jpg", modulation()) && save("grid_sm2.jpg", ribbonGrid()) &&
           save("textur13.jpg", circuit()) && save("textur14.jpg", sparkField()) &&
           save("kesusml.jpg", smallLogo()) && save("grdk.jpg", logoPicture) && saveMask("grdkmask.jpg", logoMask) &&
           save("textura4.jpg", caustics()) && save("textura5.jpg", veilPicture) && saveMask("mask2.jpg", veilMask) &&
           save("ground.jpg", ground()) && save("steel.jpg", steelPlates()) && save("grate.jpg", gratePicture) &&
           saveMask("gratemsk.jpg", grateMask) && save("hazard.jpg", hazardStripes()) && save("pipe.jpg", pipeSkin()) &&
           save("panels.jpg", techPanels()) &&
           save("credit1.jpg", creditPlate("A PRODUCTION OF", "KESU TAMRICK", {0.2f, 0.5f, 1.0f})) &&
           save("credit2.jpg", creditPlate("CODE AND PICTURES", "MADE BY NUMBERS", {1.0f, 0.5f, 0.1f})) &&
           save("credit3.jpg", creditPlate("MUSIC", "SAWTOOTH ROOM", {0.3f, 1.0f, 0.4f})) &&
           save("credit4.jpg", creditPlate("GREETINGS TO", "EVERY DEMO CREW", {1.0f, 0.3f, 0.7f})) &&
           save("cubeface.jpg", cubeFace()) && save("terrain.jpg", terrain()) && save("tower.jpg", towerWall()) &&
           save("nebula.jpg", nebula()) && save("gold.jpg", brushedGold()) &&
           save("sky.jpg", duskSky()) &&
           save("glass.jpg", glassPicture) && saveMask("glassmsk.jpg", glassMask) &&
           saveMask("cubemsk.jpg", cubeFaceMask()) &&
           saveMask("goldmsk.jpg", solid);
}
