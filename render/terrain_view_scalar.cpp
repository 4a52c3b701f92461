// terrain_view_scalar.cpp -- the renderer's portable fast path: one column at a time, rows of a hit
// projected at once
#include <algorithm>

#include "render/render_scratch.h"
#include "render/terrain_view_fast.h"

namespace terrain_fast {

namespace {

// Fills ground[from, to) with `colour`, kFillRunWidth entries at a time
// (entries up to from + kFillRunWidth may be written; later runs overwrite
// them).
inline void StageRun(uint16_t* ground, int from, int to, uint16_t colour) {
    do {
        for (int i = 0; i < kFillRunWidth; ++i)
            ground[from + i] = colour;
        from += kFillRunWidth;
    } while (from < to);
}

}  // namespace

// The portable path: one column at a time. A step costs what it costs in
// the reference (two additions, a cell, a height read, one comparison with
// the ray); where the ground rises above the ray, the rows it covers come
// from the projection in one go instead of row by row, and the ray jumps to
// the height it has in the reference after those rows.
void RenderScalar(const MarchPlan& plan, RenderScratch& scratch) {
    const TerrainSources& src = *plan.sources;
    int stride = 0;
    uint16_t* const ground = scratch.Staging(1, plan.rows, stride);
    const int rows = plan.rows;
    const uint32_t height = static_cast<uint32_t>(plan.height);
    const uint32_t k0 = static_cast<uint32_t>(plan.k0);
    for (int col = 0; col < plan.width; ++col) {
        uint32_t dx, dy;
        ColumnDirection(plan, col, dx, dy);
        uint32_t x = plan.startX;
        uint32_t y = plan.startY;
        uint32_t rayHeight = height;
        uint32_t slope = k0 * kSlopeUnit;
        int fill = 0;
        for (int s = 0; s < kMarchSteps; ++s) {
            x += dx;
            y += dy;
            const unsigned cell = ((y >> 16) & 0xFF00u) | (x >> 24);
            rayHeight += slope;
            const uint32_t h = src.heightMap[cell];
            if (static_cast<int32_t>(h << kHeightShift) > static_cast<int32_t>(rayHeight)) {
                const int to = std::min(ProjectedRows(plan, s, h), rows);
                const uint16_t colour = static_cast<uint16_t>(
                    src.shadeTable[src.colourMap[cell] * kFogLevels + (s >> 3)]);
                StageRun(ground, fill, to, colour);
                fill = to;
                if (fill == rows) break;
                // R(s, fill) and the slope after `fill` rows, as in the reference.
                slope = (k0 + static_cast<uint32_t>(fill)) * kSlopeUnit;
                rayHeight = height + static_cast<uint32_t>(s + 1) * slope;
            }
        }
        WriteColumn(plan, col, ground, fill);
    }
}

}  // namespace terrain_fast
