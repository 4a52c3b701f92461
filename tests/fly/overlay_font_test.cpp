// overlay_font_test.cpp -- the overlay's bitmap font: every printable character drawn, text placed
// and clipped
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "fly/overlay_font.h"

namespace {

OverlayImage Blank(int width, int height) {
    OverlayImage image;
    image.width = width;
    image.height = height;
    image.pixels.assign(static_cast<size_t>(width) * height, 0u);
    return image;
}

std::string Glyph(char c) {
    std::string bits;
    for (int r = 0; r < kGlyphHeight; ++r)
        for (int col = 0; col < kGlyphWidth; ++col)
            bits += GlyphPixel(c, col, r) ? '#' : '.';
    return bits;
}

TEST(OverlayFontTest, EveryPrintableCharacterHasAGlyphOfItsOwn) {
    std::set<std::string> seen;
    for (char c = '!'; c <= '~'; ++c) {
        const std::string g = Glyph(c);
        EXPECT_NE(g.find('#'), std::string::npos) << "'" << c << "' draws something";
        EXPECT_TRUE(seen.insert(g).second) << "'" << c << "' looks like another character";
    }
    EXPECT_EQ(Glyph(' ').find('#'), std::string::npos);
    EXPECT_EQ(Glyph('\x01'), Glyph('?')) << "characters without a glyph show as '?'";
    EXPECT_EQ(Glyph('I'), ".###...#....#....#....#....#...###.");
    EXPECT_FALSE(GlyphPixel('I', 5, 0));
    EXPECT_FALSE(GlyphPixel('I', 1, 7));
}

TEST(OverlayFontTest, TextIsDrawnWhereAskedAndClippedToTheImage) {
    OverlayImage image = Blank(20, 10);
    DrawText(image, 1, 2, "T.", 0xFF123456u);
    // 'T' is a full top row and a middle column.
    for (int x = 1; x <= 5; ++x)
        EXPECT_EQ(image.pixels[2 * 20 + x], 0xFF123456u) << x;
    EXPECT_EQ(image.pixels[2 * 20 + 0], 0u);
    EXPECT_EQ(image.pixels[8 * 20 + 3], 0xFF123456u);
    EXPECT_EQ(image.pixels[8 * 20 + 1], 0u);
    // '.' starts one advance on.
    EXPECT_EQ(image.pixels[8 * 20 + 1 + kCharAdvance + 1], 0xFF123456u);
    EXPECT_EQ(TextWidth("T."), 2 * kCharAdvance);

    OverlayImage small = Blank(4, 3);
    DrawText(small, -2, -3, "WWWW", 0xFFFFFFFFu);  // mostly outside: no write out of bounds
    DrawText(small, 3, 2, "W", 0xFFFFFFFFu);
    EXPECT_EQ(small.pixels.size(), 12u);
    EXPECT_EQ(small.pixels[2 * 4 + 3], 0xFFFFFFFFu);
}

TEST(OverlayFontTest, RectanglesAreClipped) {
    OverlayImage image = Blank(5, 4);
    FillRect(image, -3, 2, 5, 10, 7u);
    int set = 0;
    for (const uint32_t p : image.pixels)
        set += p == 7u;
    EXPECT_EQ(set, 2 * 2);
    FillRect(image, 10, 0, 3, 3, 9u);
    FillRect(image, 0, 0, -1, 3, 9u);
    for (const uint32_t p : image.pixels)
        EXPECT_NE(p, 9u);
}

}  // namespace
