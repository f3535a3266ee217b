// The generator's own 5 x 7 bitmap font: one glyph per printable character of the texts
// in the pack. Pictures draw it smoothly scaled; the title and closing-logo scenes turn
// its pixels into blocks and cubes.
#pragma once

#include <string>

constexpr int FONT_GLYPH_WIDTH = 5;
constexpr int FONT_GLYPH_HEIGHT = 7;
// Glyph width plus one column of spacing.
constexpr int FONT_ADVANCE = 6;

// True where the glyph of `c` has a pixel; column 0 is the left, row 0 the top. Lower
// case draws as upper case; characters without a glyph draw as a blank.
bool fontPixel(char c, int column, int row);

// Width of the text in font cells, without the spacing after the last glyph.
int fontTextWidth(const std::string& text);
