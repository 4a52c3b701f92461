// erosion.h -- weathering of a wrapping height field: rain droplets carving valleys, slopes
// settling
#pragma once

#include <cstdint>

#include "scenegen/noise.h"

// Runs `droplets` rain droplets from seeded random starts. Each runs downhill
// with some inertia, picks up soil where it speeds up and drops it where it
// slows, so valleys deepen and fans of sediment fill their floors. Heights
// are in map bytes (about 0..255 before the final shaping).
void ErodeByRain(WrapGrid& height, int droplets, uint64_t seed);

// Moves material from any cell to lower neighbours wherever the drop to them
// exceeds `talus` (in height units per cell), `iterations` times: steep
// spikes slump into screes.
void SettleSlopes(WrapGrid& height, int iterations, double talus, double rate);

// A gentle 3x3 blur mixed in by `amount` (0..1).
void Smooth(WrapGrid& height, double amount);
