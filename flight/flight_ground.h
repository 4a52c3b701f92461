// flight_ground.h -- what a flight is planned over: a height map and the land's surface before
// rounding
#pragma once

#include <cstdint>
#include <vector>

#include "shared/wrap_grid.h"

// What a flight is planned over: the 256 x 256 height bytes the renderer
// reads (row y first), and the land's surface in bytes before rounding (the
// generator's has lake and sea beds below 0 under water surfaces of 0; a
// picture's is its heights). The route seeks low surface; clearance and the
// view are judged on the bytes.
struct FlightGround {
    std::vector<uint8_t> height;
    WrapGrid surface;
};
