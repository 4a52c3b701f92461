// tables_test.cpp -- the colour, haze and sine tables' telling entries
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "render/tables.h"

namespace {

struct PackCase {
    int r, g, b;
    uint16_t expected;
};

TEST(PackRgb565, ClampsAndDropsLowBits) {
    const PackCase cases[] = {
        {255, 255, 255, 0xFFFF}, {256, -1, 300, 0xF81F},   {7, 3, 7, 0x0000},
        {255, 0, 0, 0xF800},     {0, 255, 0, 0x07E0},      {0, 0, 255, 0x001F},
        {8, 4, 8, 0x0821},       {-100, 1000, -5, 0x07E0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PackRgb565(c.r, c.g, c.b), c.expected) << c.r << "," << c.g << "," << c.b;
    }
}

TEST(ColourTables, EachChannelAlone) {
    const ColourTables tables = BuildColourTables();
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(tables.red[i], PackRgb565(i, 0, 0));
        EXPECT_EQ(tables.green[i], PackRgb565(0, i, 0));
        EXPECT_EQ(tables.blue[i], PackRgb565(0, 0, i));
    }
}

TEST(SineTable, TellingRows) {
    const SineTable SineTable = BuildSineTable();
    const struct {
        int index;
        int32_t value;
    } rows[] = {{0, 0},        {1, 100},    {256, 25067},   {512, 46322},
                {1024, 65535}, {2048, 104}, {3072, -65535}, {4095, -309}};
    for (const auto& r : rows)
        EXPECT_EQ(SineTable[r.index], r.value) << "entry " << r.index;
}

TEST(SineTable, TruncatesTowardZeroOnBothSides) {
    const SineTable SineTable = BuildSineTable();
    // Entries past the half turn are negative and must round toward zero,
    // never down: check against the exact product truncated.
    for (int i : {1, 700, 2049, 2500, 3333, 4000}) {
        const double exact = std::sin(i * (6.28 / 4096)) * 65536.0;
        EXPECT_EQ(SineTable[i], static_cast<int32_t>(std::trunc(exact))) << i;
    }
}

std::vector<uint32_t> Palette(std::initializer_list<std::array<int, 3>> colours) {
    std::vector<uint32_t> palette(256, 0);
    size_t e = 0;
    for (const auto& c : colours)
        palette[e++] = uint32_t(c[0]) | (uint32_t(c[1]) << 8) | (uint32_t(c[2]) << 16);
    return palette;
}

TEST(ShadeTable, LevelsBlendTowardWhiteByTheSquare) {
    const auto palette = Palette({{0, 0, 0}, {255, 255, 255}, {200, 100, 50}, {1, 2, 3}});
    const ShadeTable shade = BuildShadeTable(palette.data());
    // Level 0 is the colour itself.
    EXPECT_EQ(shade[2 * 32 + 0], PackRgb565(200, 100, 50));
    // Levels 0..5 have no haze share yet.
    EXPECT_EQ(shade[2 * 32 + 5], PackRgb565(200, 100, 50));
    // Level 31 of black is (0 * 2 + 7680) / 32 = 240 in each channel.
    EXPECT_EQ(shade[0 * 32 + 31], 0xF79E);
    EXPECT_EQ(shade[0 * 32 + 31], PackRgb565(240, 240, 240));
    // A channel at 255 stays 255 at every level.
    for (int level = 0; level < 32; ++level)
        EXPECT_EQ(shade[1 * 32 + level], 0xFFFF) << level;
    // Level 16: a = 8, keep 24, haze 2048.
    EXPECT_EQ(shade[2 * 32 + 16],
              PackRgb565((200 * 24 + 2048) / 32, (100 * 24 + 2048) / 32, (50 * 24 + 2048) / 32));
    // Level 8: a = 2.
    EXPECT_EQ(shade[3 * 32 + 8],
              PackRgb565((1 * 30 + 512) / 32, (2 * 30 + 512) / 32, (3 * 30 + 512) / 32));
}

TEST(ShadeTable, ReadsRedGreenBlueFromTheEntryBytes) {
    const auto palette = Palette({{255, 0, 0}, {0, 255, 0}, {0, 0, 255}});
    const ShadeTable shade = BuildShadeTable(palette.data());
    EXPECT_EQ(shade[0 * 32], 0xF800);
    EXPECT_EQ(shade[1 * 32], 0x07E0);
    EXPECT_EQ(shade[2 * 32], 0x001F);
}

TEST(ConvertPaletteTo565, ConvertsAll256EntriesAndDropsTheOldPalette) {
    BitmapImage image;
    image.palette = Palette({{255, 0, 0}, {8, 4, 8}});
    image.palette[255] = 0x00FFFFFF;
    ConvertPaletteTo565(image, BuildColourTables());
    ASSERT_EQ(image.palette565.size(), 256u);
    EXPECT_TRUE(image.palette.empty());
    EXPECT_EQ(image.palette565[0], 0xF800);
    EXPECT_EQ(image.palette565[1], 0x0821);
    EXPECT_EQ(image.palette565[2], 0x0000);
    EXPECT_EQ(image.palette565[255], 0xFFFF);
}

TEST(ConvertPaletteTo565, LeavesAnImageWithoutPaletteUnchanged) {
    BitmapImage image;
    image.width = 3;
    ConvertPaletteTo565(image, BuildColourTables());
    EXPECT_TRUE(image.palette.empty());
    EXPECT_TRUE(image.palette565.empty());
    EXPECT_EQ(image.width, 3);
}

}  // namespace
