// terrain_view_plan.h -- per-frame set-up and column output shared by the renderer's fast paths
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "render/tables.h"
#include "render/terrain_view.h"

namespace terrain_fast {

constexpr int kFillRunWidth = 16;  // pixels a staged run store covers at once

// Everything a fast path needs for one frame, worked out once by PlanFrame.
//
// How the fast paths march: after j rows of a column are filled, the
// reference compares the ground at step s with the ray height
//   R(s, j) = height + (s + 1) * 1536 * (k0 + j),   k0 = horizon - bottomRow + 1,
// however the rows were spread over the earlier steps. So the number of rows
// filled once step s is done is max(rows filled before, P(s)), where
//   P(s) = ceil((ground - height) / (1536 * (s + 1))) - k0
// counts the j for which the ground is above R(s, j). This holds while no
// R(s, j) leaves the 32-bit range, which PlanFrame checks; otherwise the frame
// is left to the reference.
//
// P(s) is computed exactly from the height-map byte h. First
//   A = ceil((h << 17 - height) / 1536) = Third(h * 256 + heightRound) - heightCells,
// with |A| <= kMaxRise. Then, with m = s + 1 and C = ceil(kMaxRise / m), the
// sum N = A + m - 1 + m * C = Third(h * 256 + heightRound) + stepAdd[s] lies
// in 0 .. 2^22, ceil(A / m) = floor(N / m) - C, and P(s) = floor(N / m) -
// stepSub[s] with stepSub[s] = C + k0. The portable path divides with a
// 64-bit multiplication (kStepMagic); the vector paths multiply 2N + 1 by
// the single-precision 1 / 2m (kStepHalfReciprocal): (N + 1/2) / m lies at
// least 1 / 2m from every whole number and the two roundings stay below
// 0.34 / m for N < 2^22, so truncation gives floor(N / m) exactly.
struct MarchPlan {
    const TerrainSources* sources = nullptr;
    uint16_t* origin = nullptr;
    ptrdiff_t xStep = 0;  // pixels between adjacent columns
    ptrdiff_t yStep = 0;  // pixels between adjacent rows
    int width = 0;
    int rows = 0;  // view rows: bottomRow + 1
    uint32_t startX = 0;
    uint32_t startY = 0;
    uint32_t heading = 0;
    int band = 0;                       // sky rows at the top of a column
    int32_t skyShift = 0;               // sky column of view column 0
    int32_t heightRound = 0;            // (1535 - height mod 1536) >> 9: 0, 1 or 2
    int32_t height = 0;                 // the camera's height
    int32_t k0 = 0;                     // horizon - bottomRow + 1
    int32_t stepAdd[kMarchSteps];       // N - Third(...) at step s
    int32_t stepAddTwice[kMarchSteps];  // 2 * stepAdd[s] + 1
    int32_t stepSub[kMarchSteps];
};

// floor(x / 3) for 0 <= x < 65541, as one multiplication and one shift.
constexpr uint32_t Third(uint32_t x) {
    return (x * 43691u) >> 17;
}

// The ray height R(s, j) above (exact: PlanFrame has checked the range).
inline int64_t RayHeight(const MarchPlan& plan, int s, int filled) {
    return plan.height + int64_t{s + 1} * kSlopeUnit * (int64_t{plan.k0} + filled);
}

// A table of one value per march step, made from m = s + 1.
template <typename Make>
constexpr std::array<uint32_t, kMarchSteps> StepTable(Make make) {
    std::array<uint32_t, kMarchSteps> table{};
    for (size_t s = 0; s < kMarchSteps; ++s)
        table[s] = make(static_cast<uint64_t>(s) + 1);
    return table;
}

// ceil(2^31 / (s + 1)) for each march step s: floor(N / (s + 1)) is
// (N * kStepMagic[s]) >> 31 for every N below 2^23.
inline constexpr std::array<uint32_t, kMarchSteps> kStepMagic =
    StepTable([](uint64_t m) { return static_cast<uint32_t>(((uint64_t{1} << 31) + m - 1) / m); });

// The largest |A|: (255 << 17) + 2^31 over 1536, rounded up.
constexpr uint64_t kMaxRise = 1419847;

// ceil(kMaxRise / (s + 1)): the offset C that keeps each step's dividend
// positive.
inline constexpr std::array<uint32_t, kMarchSteps> kStepOffset =
    StepTable([](uint64_t m) { return static_cast<uint32_t>((kMaxRise + m - 1) / m); });

// 1 / (2 * (s + 1)) rounded to single precision.
inline constexpr std::array<float, kMarchSteps> kStepHalfReciprocal = [] {
    std::array<float, kMarchSteps> table{};
    for (size_t s = 0; s < kMarchSteps; ++s)
        table[s] = 1.0f / static_cast<float>(2 * (s + 1));
    return table;
}();

// The rows step s fills, given the height-map byte `h` it met.
inline int32_t ProjectedRows(const MarchPlan& plan, int s, uint32_t h) {
    const uint32_t n = Third(h * 256u + static_cast<uint32_t>(plan.heightRound)) +
                       static_cast<uint32_t>(plan.stepAdd[s]);
    return static_cast<int32_t>((static_cast<uint64_t>(n) * kStepMagic[static_cast<size_t>(s)]) >>
                                31) -
           plan.stepSub[s];
}

// Ground maxima, for skipping stretches of a march that cannot meet the
// ground: the map in blocks of 8 x 8 cells, and four tables of 32 x 32
// bytes: the highest height-map byte of each block (table 0) and of each
// window of 2 x 1 (1), 1 x 2 (2) and 2 x 2 (3) blocks reaching right and down
// from it, the map wrapping round. Built once per frame (about one read of
// the map) by the vector paths, each with its own instructions.
constexpr int kBlockShift = 3;
constexpr int kBlocks = 256 >> kBlockShift;  // blocks along each side of the map
constexpr int kGroundMaximaBytes = 4 * kBlocks * kBlocks;

// The highest ground in blocks bx0 .. bx1 across and by0 .. by1 down (any
// whole numbers: the map repeats).
inline int HighestGroundIn(const uint8_t* maxima, int bx0, int bx1, int by0, int by1) {
    constexpr int kMask = kBlocks - 1;
    if (bx1 - bx0 <= 1 && by1 - by0 <= 1) {
        const int table = (by1 - by0) * 2 + (bx1 - bx0);
        return maxima[table * kBlocks * kBlocks + (by0 & kMask) * kBlocks + (bx0 & kMask)];
    }
    int highest = 0;
    for (int by = by0; by <= by1; ++by)
        for (int bx = bx0; bx <= bx1; ++bx)
            highest = std::max<int>(highest, maxima[(by & kMask) * kBlocks + (bx & kMask)]);
    return highest;
}

// Fills `plan` for one frame. Returns false when some ray height of the frame
// would wrap around 32 bits, in which case only RenderTerrain is exact.
bool PlanFrame(const ViewGeometry& view, const TerrainSources& sources, const CameraState& camera,
               MarchPlan& plan);

// The angle of column `col` from the heading: +341 for column 0, 0 in the
// middle, about -341 for the last column.
inline int ColumnOffset(const MarchPlan& plan, int col) {
    return ((plan.width - 2 * col) * kHalfFieldOfView) / plan.width;
}

// The 8.24 map step of column `col` along its ray.
inline void ColumnDirection(const MarchPlan& plan, int col, uint32_t& dx, uint32_t& dy) {
    const uint32_t a = plan.heading + static_cast<uint32_t>(ColumnOffset(plan, col));
    dx = static_cast<uint32_t>(plan.sources->sineTable[(a + 1024u) & 4095u]) << 8;
    dy = static_cast<uint32_t>(plan.sources->sineTable[a & 4095u]) << 8;
}

// Writes column `col` in the reference's order: `fill` ground rows from the
// bottom up (ground[0] is the bottom row), then, unless the column is full,
// the sky rows from the top and the haze rows below them.
void WriteColumn(const MarchPlan& plan, int col, const uint16_t* ground, int fill);

}  // namespace terrain_fast
