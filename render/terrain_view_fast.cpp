// terrain_view_fast.cpp -- frame planning, column output, the portable fast path and path dispatch
#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>
#include <memory>
#include <vector>

#include "render/cpu_features.h"
#include "render/terrain_view_paths.h"
#include "render/terrain_view_plan.h"
#include "render/terrain_view_simd.h"

namespace terrain_fast {

namespace {

bool FitsInt32(int64_t v) {
    return v >= INT32_MIN && v <= INT32_MAX;
}

}  // namespace

bool PlanFrame(const ViewGeometry& view, const TerrainSources& sources, const CameraState& camera,
               FramePlan& plan) {
    const int rows = view.bottomRow + 1;
    // Ray heights are height + (s + 1) * 1536 * (k0 + j) for steps s < 256 and
    // filled rows j <= rows; the extremes lie at the corners of that range.
    const int64_t k0 = static_cast<int64_t>(camera.horizon) - view.bottomRow + 1;
    for (int64_t reach : {int64_t{1}, int64_t{kMarchSteps}})
        for (int64_t k : {k0, k0 + rows})
            if (!FitsInt32(camera.height + reach * kSlopeUnit * k)) return false;

    plan.sources = &sources;
    plan.origin = view.origin;
    plan.xStep = view.properties.cbxPitch / 2;
    plan.yStep = view.properties.cbyPitch / 2;
    plan.width = view.width;
    plan.rows = rows;
    plan.startX = static_cast<uint32_t>(camera.x) << 8;
    plan.startY = static_cast<uint32_t>(camera.y) << 8;
    plan.heading = static_cast<uint32_t>(camera.heading);
    const int32_t lift =
        static_cast<int32_t>(static_cast<uint32_t>(camera.height) - 0x60000u) >> 18;
    const int32_t band = static_cast<int32_t>(static_cast<uint32_t>(camera.horizon) +
                                              static_cast<uint32_t>(lift) - 20u);
    plan.band = std::clamp<int32_t>(band, 0, view.bottomRow);
    plan.skyShift = static_cast<int32_t>(0u - static_cast<uint32_t>(camera.heading)) >> 1;
    // height = 1536 * heightCells + rest, 0 <= rest < 1536.
    const int64_t height = camera.height;
    const int64_t heightCells = (height >= 0 ? height : height - 1535) / 1536;
    const int64_t rest = height - heightCells * 1536;
    plan.heightRound = static_cast<int32_t>((1535 - rest) >> 9);
    plan.height = camera.height;
    plan.k0 = static_cast<int32_t>(k0);
    for (int s = 0; s < kMarchSteps; ++s) {
        const int64_t m = s + 1;
        const int64_t offset = kStepOffset[s];
        plan.stepAdd[s] = static_cast<int32_t>(m - 1 + m * offset - heightCells);
        plan.stepAddTwice[s] = 2 * plan.stepAdd[s] + 1;
        plan.stepSub[s] = static_cast<int32_t>(offset + k0);
    }
    return true;
}

void WriteColumn(const FramePlan& plan, int col, const uint16_t* ground, int fill) {
    uint16_t* const origin = plan.origin;
    const ptrdiff_t yStep = plan.yStep;
    const ptrdiff_t top = static_cast<ptrdiff_t>(col) * plan.xStep;
    const int bottomRow = plan.rows - 1;
    ptrdiff_t pos = top + static_cast<ptrdiff_t>(bottomRow) * yStep;
    for (int i = 0; i < fill; ++i) {
        origin[pos] = ground[i];
        pos -= yStep;
    }
    if (fill == plan.rows) return;

    const int next = bottomRow - fill;
    const int band = plan.band;
    const int skyRows = std::min(band, next + 1);
    const unsigned sx = static_cast<unsigned>(plan.skyShift + col) & 511u;
    const uint8_t* skyPixels = plan.sources->skyPixels;
    const uint16_t* skyPalette = plan.sources->skyPalette;
    pos = top;
    int k = 0;
    // A band taller than 255 rows shows the picture's first row above it.
    for (; k < skyRows && k < band - 255; ++k) {
        origin[pos] = skyPalette[skyPixels[sx]];
        pos += yStep;
    }
    for (ptrdiff_t at = (255 - band + k) * 512 + sx; k < skyRows; ++k) {
        origin[pos] = skyPalette[skyPixels[at]];
        at += 512;
        pos += yStep;
    }
    for (int row = band; row <= next; ++row) {
        origin[pos] = kHazeColour;
        pos += yStep;
    }
}

void SkyColours::Begin(const TerrainSources& sources) {
    sources_ = &sources;
    ++frame_;
    if (std::memcmp(palette_, sources.skyPalette, sizeof palette_) != 0) {
        std::memcpy(palette_, sources.skyPalette, sizeof palette_);
        std::fill(std::begin(converted_), std::end(converted_), false);
    }
}

void SkyColours::Check(int skyRow) {
    checked_[skyRow] = frame_;
    const uint8_t* const picture = sources_->skyPixels + static_cast<ptrdiff_t>(skyRow) * kWidth;
    uint8_t* const copy = pictureRows_[skyRow];
    if (converted_[skyRow] && std::memcmp(copy, picture, kWidth) == 0) return;
    std::memcpy(copy, picture, kWidth);
    uint16_t* const out = colours_[skyRow];
    for (int col = 0; col < kWidth; ++col)
        out[col] = palette_[copy[col]];
    for (int col = 0; col < kPad; ++col)
        out[kWidth + col] = out[col];
    converted_[skyRow] = true;
}

SkyColours& ThreadSkyColours() {
    // Large (about 400 kilobytes): made on first use, one per thread. Only
    // the bookkeeping is cleared; rows are written before they are read.
    thread_local std::unique_ptr<SkyColours> colours;
    if (!colours) colours.reset(new SkyColours);
    return *colours;
}

uint16_t* StagingColumns(int columns, int rows, int& columnStride) {
    thread_local std::vector<uint16_t> staging;
    // Rows rounded up so that every column starts 32-byte aligned in the block.
    columnStride = (rows + kFillRunWidth + 15) & ~15;
    const size_t need = static_cast<size_t>(columnStride) * columns + 16;
    if (staging.size() < need) staging.resize(need);
    const uintptr_t address = reinterpret_cast<uintptr_t>(staging.data());
    return staging.data() + ((32 - (address & 31)) & 31) / 2;
}

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

// The portable path: one column at a time. A step costs what it costs in
// the reference (two additions, a cell, a height read, one comparison with
// the ray); where the ground rises above the ray, the rows it covers come
// from the projection in one go instead of row by row, and the ray jumps to
// the height it has in the reference after those rows.
void RenderScalar(const FramePlan& plan) {
    const TerrainSources& src = *plan.sources;
    int stride = 0;
    uint16_t* const ground = StagingColumns(1, plan.rows, stride);
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

}  // namespace

}  // namespace terrain_fast

const char* RenderPathName(RenderPath path) {
    switch (path) {
        case RenderPath::Reference:
            return "reference";
        case RenderPath::Scalar:
            return "scalar";
        case RenderPath::Sse2:
            return "sse2";
        case RenderPath::Avx2:
            return "avx2";
        case RenderPath::Avx2Gather:
            return "avx2-gather";
    }
    return "reference";
}

bool RenderPathAvailable(RenderPath path) {
    switch (path) {
        case RenderPath::Reference:
        case RenderPath::Scalar:
            return true;
        case RenderPath::Sse2:
            return terrain_fast::kHaveSse2Path;
        case RenderPath::Avx2:
        case RenderPath::Avx2Gather:
            return terrain_fast::kHaveAvx2Path && CpuHasAvx2();
    }
    return false;
}

RenderPath FastestRenderPath() {
    // The portable path is no quicker than the reference on the machines
    // measured (its gain on long runs is eaten by staging them), so without
    // vector instructions the reference draws.
    static const RenderPath fastest = [] {
        // Eight byte loads a step beat a gather where gathers are slow
        // microcode (AMD before Zen 4; Intel processors whose microcode guards
        // gathers against data sampling), and lose where they are quick.
        if (RenderPathAvailable(RenderPath::Avx2Gather) && CpuGathersQuickly())
            return RenderPath::Avx2Gather;
        for (RenderPath path : {RenderPath::Avx2, RenderPath::Sse2})
            if (RenderPathAvailable(path)) return path;
        return RenderPath::Reference;
    }();
    return fastest;
}

void RenderTerrainWith(RenderPath path, const ViewGeometry& view, const TerrainSources& sources,
                       const CameraState& camera) {
    using namespace terrain_fast;
    if (path == RenderPath::Reference || view.width <= 0 || view.bottomRow < 0) {
        RenderTerrain(view, sources, camera);
        return;
    }
    // The plan is large (two kilobytes of step constants); one per thread.
    thread_local FramePlan plan;
    if (!PlanFrame(view, sources, camera, plan)) {
        RenderTerrain(view, sources, camera);
        return;
    }
    switch (path) {
        case RenderPath::Avx2:
            RenderAvx2(plan, false);
            return;
        case RenderPath::Avx2Gather:
            RenderAvx2(plan, true);
            return;
        case RenderPath::Sse2:
            RenderSse2(plan);
            return;
        default:
            RenderScalar(plan);
            return;
    }
}

long long CountMarchSteps(const ViewGeometry& view, const TerrainSources& src,
                          const CameraState& camera) {
    // The march without its writes: a column stops early only when its top
    // row fills. Where the projection holds, it finds that step quickly.
    using namespace terrain_fast;
    if (view.width <= 0 || view.bottomRow < 0) return 0;
    thread_local FramePlan plan;
    long long steps = 0;
    if (PlanFrame(view, src, camera, plan)) {
        for (int col = 0; col < plan.width; ++col) {
            uint32_t dx, dy;
            ColumnDirection(plan, col, dx, dy);
            uint32_t x = plan.startX;
            uint32_t y = plan.startY;
            int s = 0;
            while (s < kMarchSteps) {
                x += dx;
                y += dy;
                const uint32_t h = src.heightMap[((y >> 16) & 0xFF00u) | (x >> 24)];
                if (ProjectedRows(plan, s++, h) >= plan.rows) break;
            }
            steps += s;
        }
        return steps;
    }
    const int width = view.width;
    const int bottomRow = view.bottomRow;
    const uint32_t startSlope =
        (static_cast<uint32_t>(camera.horizon) - static_cast<uint32_t>(bottomRow) + 1u) *
        kSlopeUnit;
    for (int col = 0; col < width; ++col) {
        const int offset = ((width - 2 * col) * kHalfFieldOfView) / width;
        const uint32_t a = static_cast<uint32_t>(camera.heading) + static_cast<uint32_t>(offset);
        const uint32_t dx = static_cast<uint32_t>(src.sineTable[(a + 1024u) & 4095u]) << 8;
        const uint32_t dy = static_cast<uint32_t>(src.sineTable[a & 4095u]) << 8;
        uint32_t x = static_cast<uint32_t>(camera.x) << 8;
        uint32_t y = static_cast<uint32_t>(camera.y) << 8;
        uint32_t rayHeight = static_cast<uint32_t>(camera.height);
        uint32_t slope = startSlope;
        int next = bottomRow;
        for (int s = 0; s < kMarchSteps && next >= 0; ++s) {
            ++steps;
            x += dx;
            y += dy;
            const unsigned cell = ((y >> 16) & 0xFF00u) | (x >> 24);
            rayHeight += slope;
            const uint32_t reach = static_cast<uint32_t>(s + 1) * kSlopeUnit;
            const int32_t ground = static_cast<int32_t>(src.heightMap[cell]) << kHeightShift;
            while (next >= 0 && ground > static_cast<int32_t>(rayHeight)) {
                slope += kSlopeUnit;
                rayHeight += reach;
                --next;
            }
        }
    }
    return steps;
}
