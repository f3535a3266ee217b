// Contact sheets: frames of the demo laid out in a grid on one picture, each labelled with
// its demo time in a small bitmap font. Works on RGBA pixels in memory; no GL.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ContactSheet {
    int columns = 0;
    int rows = 0;
    int tileWidth = 0;
    int tileHeight = 0;
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba;   // width x height, top row first
};

// Space between tiles and around the edge, in pixels.
constexpr int CONTACT_SHEET_GAP = 4;

// A sheet for `count` tiles of tileWidth x tileHeight: as many columns as the square root of
// the count rounded up, as many rows as then needed, on a dark grey ground.
ContactSheet makeContactSheet(int count, int tileWidth, int tileHeight);

// Copies one frame as read back from GL (rows bottom first) into tile `index` (row by row,
// left to right) and writes `label` in its upper left corner.
void placeTile(ContactSheet& sheet, int index, const std::uint8_t* frameBottomRowFirst, const std::string& label);

// Upper left corner of tile `index` on the sheet.
void tileOrigin(const ContactSheet& sheet, int index, int& x, int& y);

// Writes text in white on a black box whose upper left corner is (x, y), each font pixel
// scale x scale pixels; whatever falls outside the picture is left out.
void drawLabel(std::vector<std::uint8_t>& rgba, int width, int height, int x, int y, const std::string& text,
               int scale);

// "86.50 s": the demo time a tile shows, to a hundredth of a second.
std::string timeLabel(double seconds);
