#include "tools/capture/contactSheet.h"

#include "render/bitmapFont.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr std::uint8_t groundGrey = 24;

void setPixel(std::vector<std::uint8_t>& rgba, int width, int height, int x, int y, std::uint8_t value)
{
    if (x < 0 || y < 0 || x >= width || y >= height) return;
    std::uint8_t* pixel = &rgba[(static_cast<std::size_t>(y) * width + x) * 4];
    pixel[0] = pixel[1] = pixel[2] = value;
    pixel[3] = 255;
}

} // namespace

ContactSheet makeContactSheet(int count, int tileWidth, int tileHeight)
{
    ContactSheet sheet;
    sheet.columns = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(count))));
    sheet.rows = (count + sheet.columns - 1) / sheet.columns;
    sheet.tileWidth = tileWidth;
    sheet.tileHeight = tileHeight;
    sheet.width = sheet.columns * (tileWidth + CONTACT_SHEET_GAP) + CONTACT_SHEET_GAP;
    sheet.height = sheet.rows * (tileHeight + CONTACT_SHEET_GAP) + CONTACT_SHEET_GAP;
    sheet.rgba.assign(static_cast<std::size_t>(sheet.width) * sheet.height * 4, groundGrey);
    for (std::size_t i = 3; i < sheet.rgba.size(); i += 4) sheet.rgba[i] = 255;
    return sheet;
}

void tileOrigin(const ContactSheet& sheet, int index, int& x, int& y)
{
    x = CONTACT_SHEET_GAP + (index % sheet.columns) * (sheet.tileWidth + CONTACT_SHEET_GAP);
    y = CONTACT_SHEET_GAP + (index / sheet.columns) * (sheet.tileHeight + CONTACT_SHEET_GAP);
}

void placeTile(ContactSheet& sheet, int index, const std::uint8_t* frameBottomRowFirst, const std::string& label)
{
    int left = 0, top = 0;
    tileOrigin(sheet, index, left, top);
    const std::size_t rowBytes = static_cast<std::size_t>(sheet.tileWidth) * 4;
    for (int row = 0; row < sheet.tileHeight; ++row) {
        const std::uint8_t* source = frameBottomRowFirst + (sheet.tileHeight - 1 - row) * rowBytes;
        std::uint8_t* target = &sheet.rgba[(static_cast<std::size_t>(top + row) * sheet.width + left) * 4];
        std::memcpy(target, source, rowBytes);
        // The screen shows no alpha; some effects clear it to 0.
        for (std::size_t i = 3; i < rowBytes; i += 4) target[i] = 255;
    }
    const int scale = sheet.tileHeight >= 200 ? 2 : 1;
    drawLabel(sheet.rgba, sheet.width, sheet.height, left, top, label, scale);
}

void drawLabel(std::vector<std::uint8_t>& rgba, int width, int height, int x, int y, const std::string& text,
               int scale)
{
    // One font pixel of black margin on each side keeps the text legible on bright frames.
    const int boxWidth = (fontTextWidth(text) + 2) * scale;
    const int boxHeight = (FONT_GLYPH_HEIGHT + 2) * scale;
    for (int row = 0; row < boxHeight; ++row) {
        for (int column = 0; column < boxWidth; ++column) setPixel(rgba, width, height, x + column, y + row, 0);
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        const int glyphLeft = x + (1 + static_cast<int>(i) * FONT_ADVANCE) * scale;
        for (int row = 0; row < FONT_GLYPH_HEIGHT; ++row) {
            for (int column = 0; column < FONT_GLYPH_WIDTH; ++column) {
                if (!fontPixel(text[i], column, row)) continue;
                for (int dy = 0; dy < scale; ++dy) {
                    for (int dx = 0; dx < scale; ++dx) {
                        setPixel(rgba, width, height, glyphLeft + column * scale + dx, y + (1 + row) * scale + dy, 255);
                    }
                }
            }
        }
    }
}

std::string timeLabel(double seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f s", seconds);
    return text;
}
