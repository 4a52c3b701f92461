// terrain.h -- the landscape's height map: fractal relief with ridges, weathered, shaped to 0..255
#pragma once

#include <cstdint>
#include <vector>

#include "scenegen/noise.h"
#include "shared/scene_format.h"

struct Terrain {
    // Height bytes, row y first then column x (index y * 256 + x), as the
    // renderer reads them. Water surfaces are 0.
    std::vector<uint8_t> height;
    // The same land surface before rounding, in bytes; under water it goes
    // below 0 to the lake or sea bed (how deep the water is).
    WrapGrid relief;
    // 0..1 where the ground is wet or sheltered enough to grow trees.
    WrapGrid moisture;
};

// Builds the landscape for `seed`. Called by the scene generator first; the
// colour map and the flight are planned on its result.
Terrain GenerateTerrain(uint64_t seed);
