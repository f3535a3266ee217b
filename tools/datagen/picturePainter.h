// Drawing kit for the generated pictures: a floating-point RGB canvas, grey masks,
// tileable lattice noise, smooth text in the generator's bitmap font, blurs, and JPEG
// output through the platform encoder. Rows are stored top row first.
#pragma once

#include <string>
#include <vector>

struct Colour {
    float r, g, b;
};

Colour mixColour(Colour a, Colour b, double amount);
Colour scaleColour(Colour a, double factor);

struct Canvas {
    int width;
    int height;
    std::vector<float> rgb;   // three floats per pixel, 0 .. 1

    Canvas(int canvasWidth, int canvasHeight);
    Colour get(int x, int y) const;
    void set(int x, int y, Colour colour);
    // Moves the pixel towards `colour` by `amount` (0 .. 1).
    void blend(int x, int y, Colour colour, double amount);
    void add(int x, int y, Colour colour, double amount);
};

// Grey values 0 .. 1, one per pixel; coverage for text and shapes, and the JPEG masks.
struct Mask {
    int width;
    int height;
    std::vector<float> value;

    Mask(int maskWidth, int maskHeight);
    float at(int x, int y) const;
    float& at(int x, int y);
};

// Value noise on a lattice of `period` cells that wraps, so x and y in [0, period) tile.
double tileNoise(double x, double y, int period, int seed);
// Sum of `octaves` noise layers over a texture coordinate (u, v) in [0, 1), tileable:
// each octave doubles the lattice period. Result roughly in 0 .. 1.
double tileFbm(double u, double v, int basePeriod, int octaves, int seed);

// Smooth step from 0 at edge0 to 1 at edge1.
double smoothStep(double edge0, double edge1, double x);

// Coverage of a line of text whose top-left corner is at (left, top) in pixels and whose
// font pixels are `cell` pixels square; 4 x 4 samples per pixel. `inset` shrinks each font
// pixel by that fraction on every side, for a dotted, blocky look.
void drawTextMask(Mask& mask, const std::string& text, double left, double top, double cell, double inset);
// The same centred horizontally on the picture.
void drawCentredTextMask(Mask& mask, const std::string& text, double top, double cell, double inset);

// Coverage of a convex polygon given as pixel coordinates (x0, y0, x1, y1, ...).
void drawPolygonMask(Mask& mask, const std::vector<double>& points);

// Three passes of a box blur of the given radius (close to a Gaussian). With `wrap` the
// blur wraps around the edges, for tileable pictures.
void blurMask(Mask& mask, int radius, bool wrap);

// Paints `colour` through the mask: each pixel moves towards the colour by mask x amount.
void paintThrough(Canvas& canvas, const Mask& mask, Colour colour, double amount);
void addThrough(Canvas& canvas, const Mask& mask, Colour colour, double amount);

// Writes the canvas as a colour JPEG, or the mask as a grey JPEG, at quality 90.
bool writeCanvasJpeg(const std::string& path, const Canvas& canvas, std::string& error);
bool writeMaskJpeg(const std::string& path, const Mask& mask, std::string& error);
