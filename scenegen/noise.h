// noise.h -- tileable gradient noise and its fractal sums for maps that wrap around
#pragma once

#include <cstdint>

#include "shared/wrap_grid.h"

// Gradient noise on a lattice of `period` x `period` points that repeats
// every `period` units in x and in y; about -1..1. `salt` picks an
// independent field.
double PeriodicNoise(double x, double y, int period, uint32_t salt);

// Gradient noise that repeats every `periodX` units in x and never in y.
double PeriodicNoiseX(double x, double y, int periodX, uint32_t salt);

// Fractal sum over `octaves` octaves on a map of `mapSize` cells: the first
// has `basePeriod` lattice cells across the map, each further one twice as
// many and `gain` times the weight. Normalised to about -1..1.
double Fbm(double x, double y, int mapSize, int basePeriod, int octaves, double gain,
           uint32_t salt);

// Ridged fractal: sharp crests where the noise crosses zero, each octave
// weighted by the one before so that detail gathers on the ridges. About 0..1.
double RidgedFbm(double x, double y, int mapSize, int basePeriod, int octaves, uint32_t salt);
