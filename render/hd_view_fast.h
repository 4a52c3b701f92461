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
    // For k = 0 .. log2(side): the first step whose samples the block maxima
    // of level k do not bound (Step::minBlock > k), or the step count.
    std::vector<int> stepLimit;
};

// The first of steps[from + 1 .. limit - 1] farther than d8 (limit when
// none is); steps[from] is not farther.
inline int FirstStepBeyond(const std::vector<Step>& steps, int from, int limit, uint64_t d8) {
    int lo = from, hi = limit;
    for (int jump = 1;; jump *= 2) {
        const int probe = lo + jump;
        if (probe >= limit) break;
        if (steps[static_cast<size_t>(probe)].d8 > d8) {
            hi = probe;
            break;
        }
        lo = probe;
    }
    while (hi - lo > 1) {
        const int mid = lo + (hi - lo) / 2;
        if (steps[static_cast<size_t>(mid)].d8 > d8)
            hi = mid;
        else
            lo = mid;
    }
    return hi;
}

// How far (d8) a ray at `pos` moving `dir` a unit of d8 stays in its block
// of 2^shift position units along one axis.
inline uint64_t StayInBlock(uint32_t pos, int32_t dir, int shift) {
    const uint32_t offset = pos & ((1u << shift) - 1u);
    if (dir > 0) return (((1u << shift) - 1u) - offset) / static_cast<uint32_t>(dir);
    if (dir < 0) return offset / static_cast<uint32_t>(-dir);
    return UINT64_MAX;
}

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
// The same with AVX-512, the tile's sixteen columns at once (only where the
// processor has AVX-512 F, BW, DQ and VL).
void MarchTileAvx512(const Plan& plan, int col0, int count, uint32_t* tile, TileEnds& ends);
bool HaveAvx512Kernel();

}  // namespace hd_detail
