// tables.h -- colour, haze and sine lookup tables that keep the renderer integer-only
#pragma once

#include <array>
#include <cstdint>

#include "shared/scene_types.h"

// The RGB565 value of each channel value 0..255 alone: red[i] =
// PackRgb565(i, 0, 0), green[i] = PackRgb565(0, i, 0), blue[i] =
// PackRgb565(0, 0, i). Palette conversion ORs one entry of each.
struct ColourTables {
    std::array<uint32_t, 256> red;
    std::array<uint32_t, 256> green;
    std::array<uint32_t, 256> blue;
};

// sin(i * 6.28 / 4096) * 65536, truncated toward zero. Index with an angle
// (4096 per turn) masked by 4095; the cosine of a is entry (a + 1024) & 4095.
using SineTable = std::array<int32_t, kAngleUnits>;

// Packs 8-bit channels (clamped to 0..255) into RGB565: red in bits 15..11,
// green in 10..5, blue in 4..0. The low bits of each channel are dropped.
uint16_t PackRgb565(int r, int g, int b);

// The channel tables. The demo builds them once at start-up, before any
// palette conversion.
ColourTables BuildColourTables();

// The sine table, computed in double precision. The demo builds it once at
// start-up; every renderer reads it.
SineTable BuildSineTable();

// The haze colours of a colour map's 256-entry palette as the bitmap reader
// returns it (entries of bytes red, green, blue, 0). Called by the scene
// reader.
ShadeTable BuildShadeTable(const uint32_t* palette);

// Replaces the image's 32-bit palette by 256 RGB565 entries, each
// red[R] | green[G] | blue[B] of `tables`. An image without a palette is
// unchanged.
void ConvertPaletteTo565(BitmapImage& image, const ColourTables& tables);

// The channels of a palette entry as the bitmap reader stores it.
constexpr int PaletteRed(uint32_t entry) {
    return static_cast<int>(entry & 0xFF);
}
constexpr int PaletteGreen(uint32_t entry) {
    return static_cast<int>((entry >> 8) & 0xFF);
}
constexpr int PaletteBlue(uint32_t entry) {
    return static_cast<int>((entry >> 16) & 0xFF);
}
