// tables.h -- colour, haze and sine lookup tables that keep the renderer integer-only
#pragma once

#include <cstdint>

#include "shared/scene_types.h"

constexpr int kFogLevels = 32;     // haze levels per palette colour
constexpr int kAngleUnits = 4096;  // angle units per full turn
constexpr int kAngleMask = kAngleUnits - 1;

// RGB565 of each channel value 0..255 alone; built by BuildColourTables.
extern uint32_t RedTable[256];
extern uint32_t GreenTable[256];
extern uint32_t BlueTable[256];

// sin(i * 6.28 / 4096) * 65536, truncated toward zero. Index with an angle
// (4096 per turn) masked by 4095; the cosine of a is SineTable[(a + 1024) & 4095].
extern int32_t SineTable[kAngleUnits];

// RGB565 colour of palette index e at fog level L (0 = clear .. 31 = almost
// white) at index e * 32 + L. Built by the scene loader from the colour map.
extern uint32_t ShadeTable[256 * kFogLevels];

// Packs 8-bit channels (clamped to 0..255) into RGB565: red in bits 15..11,
// green in 10..5, blue in 4..0. The low bits of each channel are dropped.
uint16_t PackRgb565(int r, int g, int b);

// Fills RedTable, GreenTable and BlueTable. Called once at start-up, before
// any palette conversion.
void BuildColourTables();

// Fills SineTable. Called once at start-up.
void BuildSineTable();

// Fills ShadeTable from a colour map's 256-entry palette as the bitmap reader
// returns it (entries of bytes red, green, blue, 0). Called by LoadScene.
void BuildShadeTable(const uint32_t* palette);

// Replaces the image's 32-bit palette by 256 RGB565 entries, built from
// RedTable | GreenTable | BlueTable. An image without a palette is unchanged.
void ConvertPaletteTo565(BitmapImage& image);

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
