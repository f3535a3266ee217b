#include "tools/capture/contactSheet.h"

#include <gtest/gtest.h>

#include <array>

namespace {

using Rgb = std::array<int, 3>;

Rgb pixelAt(const ContactSheet& sheet, int x, int y)
{
    const std::uint8_t* pixel = &sheet.rgba[(static_cast<std::size_t>(y) * sheet.width + x) * 4];
    return {pixel[0], pixel[1], pixel[2]};
}

// A frame as GL reads it: row 0 is the bottom. The bottom row is red, the rest blue.
std::vector<std::uint8_t> redBottomFrame(int width, int height)
{
    std::vector<std::uint8_t> frame(static_cast<std::size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint8_t* pixel = &frame[(static_cast<std::size_t>(y) * width + x) * 4];
            pixel[0] = y == 0 ? 200 : 0;
            pixel[2] = y == 0 ? 0 : 150;
            pixel[3] = 0;   // effects may leave alpha 0; the sheet must still be opaque
        }
    }
    return frame;
}

} // namespace

TEST(ContactSheet, TwelveTilesMakeFourColumnsOfThreeRowsWithGaps)
{
    const ContactSheet sheet = makeContactSheet(12, 80, 45);
    EXPECT_EQ(sheet.columns, 4);
    EXPECT_EQ(sheet.rows, 3);
    EXPECT_EQ(sheet.width, 4 * 84 + 4);
    EXPECT_EQ(sheet.height, 3 * 49 + 4);
    int x = 0, y = 0;
    tileOrigin(sheet, 5, x, y);   // second row, second column
    EXPECT_EQ(x, 4 + 84);
    EXPECT_EQ(y, 4 + 49);
}

TEST(ContactSheet, FiveTilesNeedThreeColumnsAndTwoRows)
{
    const ContactSheet sheet = makeContactSheet(5, 10, 10);
    EXPECT_EQ(sheet.columns, 3);
    EXPECT_EQ(sheet.rows, 2);
}

TEST(ContactSheet, TileShowsTheFrameUprightAndOpaqueBesideItsLabel)
{
    ContactSheet sheet = makeContactSheet(4, 60, 30);
    const std::vector<std::uint8_t> frame = redBottomFrame(60, 30);
    placeTile(sheet, 3, frame.data(), "1.50 s");
    int left = 0, top = 0;
    tileOrigin(sheet, 3, left, top);
    EXPECT_EQ(pixelAt(sheet, left + 30, top + 29), (Rgb{200, 0, 0}));   // the bottom row stays at the bottom
    EXPECT_EQ(pixelAt(sheet, left + 50, top + 20), (Rgb{0, 0, 150}));
    EXPECT_EQ(sheet.rgba[(static_cast<std::size_t>(top + 20) * sheet.width + left + 50) * 4 + 3], 255);
    // The label box is black with white glyph pixels: the "1" has its stem in column 2 of
    // its 5 x 7 cell, one pixel in from the box's edge.
    EXPECT_EQ(pixelAt(sheet, left, top), (Rgb{0, 0, 0}));
    EXPECT_EQ(pixelAt(sheet, left + 1 + 2, top + 1 + 3), (Rgb{255, 255, 255}));
    // Tile 0 was never placed: still the ground.
    int left0 = 0, top0 = 0;
    tileOrigin(sheet, 0, left0, top0);
    EXPECT_EQ(pixelAt(sheet, left0 + 30, top0 + 15), (Rgb{24, 24, 24}));
}

TEST(ContactSheet, LabelScalesWithTallTilesAndIsClippedAtThePictureEdge)
{
    std::vector<std::uint8_t> rgba(20 * 10 * 4, 100);
    drawLabel(rgba, 20, 10, 12, 4, "88", 2);   // runs past the right and bottom edges
    const auto at = [&](int x, int y) { return rgba[(static_cast<std::size_t>(y) * 20 + x) * 4]; };
    EXPECT_EQ(at(12, 4), 0);
    EXPECT_EQ(at(11, 4), 100);
    // "8" row 0 is .###. : font column 1 covers pixels 12 + 2 + 2 .. 12 + 2 + 3, rows 6 and 7.
    EXPECT_EQ(at(16, 6), 255);
    EXPECT_EQ(at(17, 7), 255);
    EXPECT_EQ(at(15, 6), 0);
}

TEST(ContactSheet, TimeLabelShowsHundredths)
{
    EXPECT_EQ(timeLabel(7.3), "7.30 s");
    EXPECT_EQ(timeLabel(172.98334), "172.98 s");
}
