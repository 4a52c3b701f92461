// terrain_view_plan.cpp -- the fast paths' per-frame plan and the column writer they share
#include "render/terrain_view_plan.h"

#include <algorithm>

namespace terrain_fast {

namespace {

bool FitsInt32(int64_t v) {
    return v >= INT32_MIN && v <= INT32_MAX;
}

}  // namespace

bool PlanFrame(const ViewGeometry& view, const TerrainSources& sources, const CameraState& camera,
               MarchPlan& plan) {
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
        const int64_t offset = kStepOffset[static_cast<size_t>(s)];
        plan.stepAdd[s] = static_cast<int32_t>(m - 1 + m * offset - heightCells);
        plan.stepAddTwice[s] = 2 * plan.stepAdd[s] + 1;
        plan.stepSub[s] = static_cast<int32_t>(offset + k0);
    }
    return true;
}

void WriteColumn(const MarchPlan& plan, int col, const uint16_t* ground, int fill) {
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
    for (ptrdiff_t at = static_cast<ptrdiff_t>(255 - band + k) * 512 + static_cast<ptrdiff_t>(sx);
         k < skyRows; ++k) {
        origin[pos] = skyPalette[skyPixels[at]];
        at += 512;
        pos += yStep;
    }
    for (int row = band; row <= next; ++row) {
        origin[pos] = kHazeColour;
        pos += yStep;
    }
}

}  // namespace terrain_fast
