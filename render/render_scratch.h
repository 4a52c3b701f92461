// render_scratch.h -- the memory a renderer keeps from frame to frame: plan, sky colours, staging,
// march records
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "render/sky_colours.h"
#include "render/terrain_view_group.h"
#include "render/terrain_view_plan.h"

namespace terrain_fast {

// A copy of the height map with room after its last cell, so that a gather
// reading four bytes at any cell stays inside the buffer.
struct PaddedHeightMap {
    alignas(32) uint8_t bytes[kMapCells + 32] = {};
};

// Everything the fast paths reuse from one frame to the next, owned by one
// TerrainRenderer and so used by one thread at a time. Large (about half a
// megabyte): made once per renderer, and only the bookkeeping is cleared;
// the rest is written before it is read.
struct RenderScratch {
    MarchPlan plan;
    SkyColours sky;                                  // the AVX2 path's sky rows in colours
    GroupRecord<8> wideRecord;                       // the AVX2 path's march of eight columns
    GroupRecord<4> narrowRecord;                     // the SSE2 path's march of four
    std::vector<const uint16_t*> skyLines;           // the AVX2 path's sky row of each view row
    std::unique_ptr<PaddedHeightMap> paddedHeights;  // the gathering AVX2 path's map copy

    // `columns` scratch columns of ground colours, each at least `rows` +
    // kFillRunWidth entries and 32-byte aligned, `columnStride` entries apart.
    uint16_t* Staging(int columns, int rows, int& columnStride);

private:
    std::vector<uint16_t> staging_;
};

}  // namespace terrain_fast
