// gif_palette_test.cpp -- the GIF palette: exact for few colours, a median cut for many, nearest
// entries, the same palette for the same counts
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "record/gif_palette.h"
#include "record/picture.h"

namespace {

uint32_t Opaque(uint16_t pixel) {
    const uint32_t rgb = WidenedRgb(pixel);
    return 0xFF000000u | (rgb & 0xFF) << 16 | (rgb >> 8 & 0xFF) << 8 | rgb >> 16;
}

TEST(GifPalette, FewColoursGetEntriesOfTheirOwn) {
    std::vector<uint32_t> counts(65536);
    const uint16_t colours[] = {0x0000, 0xFFFF, 0xF800, 0x07E0, 0x001F, 0x1234};
    for (size_t i = 0; i < std::size(colours); ++i)
        counts[colours[i]] = static_cast<uint32_t>(10 + i);
    const GifPalette palette = BuildGifPalette(counts);
    EXPECT_TRUE(palette.exact);
    EXPECT_EQ(palette.colours, static_cast<int>(std::size(colours)));
    for (const uint16_t colour : colours)
        EXPECT_EQ(palette.argb[palette.indexOf[colour]], Opaque(colour)) << colour;
    // The entries after the colours are transparent, for the encoder.
    EXPECT_EQ(palette.argb[static_cast<size_t>(palette.colours)] >> 24, 0u);
}

TEST(GifPalette, ManyColoursAreCutIntoAtMostTheLimit) {
    std::vector<uint32_t> counts(65536);
    for (uint32_t pixel = 0; pixel < 65536; pixel += 3)
        counts[pixel] = 1 + pixel % 5;
    const GifPalette palette = BuildGifPalette(counts);
    EXPECT_FALSE(palette.exact);
    EXPECT_EQ(palette.colours, kGifColours);
    std::set<uint32_t> entries(palette.argb.begin(), palette.argb.begin() + palette.colours);
    EXPECT_EQ(entries.size(), static_cast<size_t>(kGifColours));  // no two alike
    // Every value maps to its nearest entry.
    for (uint32_t pixel = 0; pixel < 65536; pixel += 257) {
        const uint32_t rgb = WidenedRgb(static_cast<uint16_t>(pixel));
        auto distance = [&](uint32_t argb) {
            const int dr = static_cast<int>(argb >> 16 & 0xFF) - static_cast<int>(rgb & 0xFF);
            const int dg = static_cast<int>(argb >> 8 & 0xFF) - static_cast<int>(rgb >> 8 & 0xFF);
            const int db = static_cast<int>(argb & 0xFF) - static_cast<int>(rgb >> 16);
            return dr * dr + dg * dg + db * db;
        };
        const int chosen = distance(palette.argb[palette.indexOf[pixel]]);
        for (int e = 0; e < palette.colours; ++e)
            ASSERT_LE(chosen, distance(palette.argb[static_cast<size_t>(e)])) << pixel;
    }
    const GifPalette again = BuildGifPalette(counts);
    EXPECT_EQ(again.argb, palette.argb);
    EXPECT_EQ(again.indexOf, palette.indexOf);
}

TEST(GifPalette, NoColoursGiveBlack) {
    const GifPalette palette = BuildGifPalette(std::vector<uint32_t>(65536));
    EXPECT_EQ(palette.colours, 1);
    EXPECT_EQ(palette.argb[0], 0xFF000000u);
    EXPECT_EQ(palette.indexOf[0xFFFF], 0);
}

}  // namespace
