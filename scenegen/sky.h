// sky.h -- the sky picture: deep blue overhead paling to the haze at the horizon, with drifting
// clouds
#pragma once

#include <cstdint>

#include "scenegen/indexed_image.h"
#include "shared/scene_format.h"

// The 512 x 256 sky for `seed`. Row 255 lies at the horizon and is nearly
// white so that it meets the renderer's white haze; columns 511 and 0 are
// neighbours, since the sky turns all the way round. Palette entry
// level * 8 + cloud: 32 steps of the blue gradient, each with 8 cloud densities.
IndexedImage GenerateSky(uint64_t seed);
