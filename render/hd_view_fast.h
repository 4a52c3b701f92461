// hd_view_fast.h -- what the HD view's fast paths share: the frame plan and the tile kernels
#pragma once

#include <cstdint>
#include <vector>

#include "render/hd_view_math.h"

namespace hd_detail {

// Columns marched together and staged before their rows are written.
constexpr int kTileColumns = 16;
// Columns of sky kept after the resampled sky's last, repeating its first,
// so that a tile's sky row is one straight copy.
constexpr int kSkyPad = kTileColumns;

// A frame ready to draw: the set-up, the steps, each column's direction and
// the sky at the frame's scale.
struct Plan {
    const HdTerrain* terrain = nullptr;
    HdFrame frame;
    FrameSetup setup;
    std::vector<Direction> directions;
    const uint32_t* sky = nullptr;  // setup.skyRows rows of setup.skyCols + kSkyPad
    int skyStride = 0;
};

// What a tile's march leaves for its rows: per column, the last row not yet
// drawn (-1 when none), and that row's partial ground (weighted, cover).
struct TileEnds {
    int next[kTileColumns];
    uint64_t weighted[kTileColumns];
    uint32_t cover[kTileColumns];
};

// Marches columns col0 .. col0 + count - 1 (count <= kTileColumns), writing
// their ground rows into `tile` (row r of column col0 + i at r * 16 + i).
void MarchTileScalar(const Plan& plan, int col0, int count, uint32_t* tile, TileEnds& ends);
// The same with AVX2, eight columns at a time (only where the processor has it).
void MarchTileAvx2(const Plan& plan, int col0, int count, uint32_t* tile, TileEnds& ends);
bool HaveAvx2Kernel();

}  // namespace hd_detail
