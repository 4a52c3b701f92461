// colour_map.h -- the ground's colours: materials by height, slope and moisture, with baked
// sunlight
#pragma once

#include <cstdint>

#include "scenegen/indexed_image.h"
#include "scenegen/terrain.h"

// The palette is eight materials of 32 shades each: entry material * 32 +
// shade, shade 0 the darkest (deep shadow, or deep water) and 31 the brightest.
enum Material : int {
    kWater = 0,
    kSand,
    kMeadow,
    kGrass,
    kForest,
    kHeath,
    kRock,
    kSnow,
    kMaterialCount
};
constexpr int kShades = 32;

// The 256-entry palette of the colour map.
std::array<PaletteColour, 256> GroundPalette();

// The colour map for `terrain`: a 256 x 256 picture whose cells line up with
// the height map's. Lit by a low sun from the north-west with cast shadows;
// wraps at its edges as the terrain does. Called by the scene generator.
IndexedImage GenerateColourMap(const Terrain& terrain, uint64_t seed);
