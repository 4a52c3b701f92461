// hd_view_math.h -- the HD view's integer formulas, shared by the reference and the fast paths
#pragma once

#include <cstdint>
#include <vector>

#include "render/hd_frame.h"
#include "render/hd_terrain.h"
#include "shared/scene_types.h"

namespace hd_detail {

// Fixed-point formats (all integer; the same bytes on every machine):
//   map position   u, v: uint32, 2^24 per faithful cell, so the 256-cell world
//                  is exactly 2^32 and wraps for free; camera x << 8.
//   distance       d8: faithful cells * 256 along the ray.
//   direction      dirX, dirY: cos, sin * 65536 (u = camera + dir * d8 mod 2^32).
//   heights        h16 (byte * 256); the camera and ground in "units" of
//                  camera height >> 5 (h16 << 4).
//   rows           Q8 pixels (row * 256); pixel row r covers [256 r, 256 r + 256).
//   colours        "spread": 0x00RRGGBB as three 16-bit lanes b | g << 16 | r << 32.
//   weights        0 .. 256.

inline int64_t FloorDiv(int64_t a, int64_t b) {
    const int64_t q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}
inline int64_t Mod(int64_t a, int64_t b) {
    return a - FloorDiv(a, b) * b;
}

constexpr uint64_t kLaneMask = 0x000000FF00FF00FFull;
constexpr uint64_t kLaneOnes = 0x0000000100010001ull;
constexpr uint64_t kLaneHalf = 0x0000008000800080ull;
constexpr uint32_t kHazeRgb = 0xFFFFFFu;

inline uint64_t Spread(uint32_t c) {
    return (c & 0xFFull) | ((c & 0xFF00ull) << 8) | ((c & 0xFF0000ull) << 16);
}
inline uint32_t Pack(uint64_t s) {
    return static_cast<uint32_t>((s & 0xFFu) | ((s >> 8) & 0xFF00u) | ((s >> 16) & 0xFF0000u));
}
// a + (b - a) * w / 256 in each lane, rounded.
inline uint64_t LerpSpread(uint64_t a, uint64_t b, uint32_t w) {
    return ((a * (256u - w) + b * w + kLaneHalf) >> 8) & kLaneMask;
}
// The haze: colour toward white by w / 256.
inline uint64_t Haze(uint64_t s, uint32_t w) {
    return ((s * (256u - w) + kLaneOnes * (255u * w + 128u)) >> 8) & kLaneMask;
}
// A pixel's sum of colour x coverage (weights adding up to 256) as a colour.
inline uint32_t Resolve(uint64_t weighted) {
    return Pack(((weighted + kLaneHalf) >> 8) & kLaneMask);
}

// Where a position falls in a level: texel, its neighbours, and the weights.
struct Texels {
    uint32_t i00, i10, i01, i11;
    uint32_t fx, fy;
};
inline Texels Locate(const HdLevel& level, uint32_t u, uint32_t v) {
    const int n = level.sideLog2;
    const uint32_t half = 1u << (31 - n);
    const uint32_t uu = u - half, vv = v - half;
    const uint32_t mask = static_cast<uint32_t>(level.side) - 1u;
    const uint32_t x0 = uu >> (32 - n), y0 = vv >> (32 - n);
    const uint32_t x1 = (x0 + 1u) & mask, y1 = (y0 + 1u) & mask;
    const uint32_t row0 = y0 << n, row1 = y1 << n;
    return {row0 + x0,
            row0 + x1,
            row1 + x0,
            row1 + x1,
            (uu >> (24 - n)) & 255u,
            (vv >> (24 - n)) & 255u};
}
inline uint32_t BilinearHeight(const uint16_t* h, const Texels& t) {
    const uint32_t top = h[t.i00] * (256u - t.fx) + h[t.i10] * t.fx;
    const uint32_t bottom = h[t.i01] * (256u - t.fx) + h[t.i11] * t.fx;
    return (top * (256u - t.fy) + bottom * t.fy + 32768u) >> 16;
}
inline uint64_t BilinearColour(const uint32_t* c, const Texels& t) {
    const uint64_t top = LerpSpread(Spread(c[t.i00]), Spread(c[t.i10]), t.fx);
    const uint64_t bottom = LerpSpread(Spread(c[t.i01]), Spread(c[t.i11]), t.fx);
    return LerpSpread(top, bottom, t.fy);
}

// One march step, the same for every column of a frame.
// Along a frame's steps q / 2^shift never grows (q is the exact value cut to
// 24 significant bits, and a cut value stays at or above each power of two
// the exact value passes), so ground of one height only rises toward the
// horizon from below it, or sinks toward it from above, step by step.
struct Step {
    uint32_t d8;  // distance along the ray
    int shift;
    int64_t q;       // row offset (Q8) = (units below the camera * q) >> shift
    int level;       // mip level sampled
    uint32_t blend;  // weight of level + 1 (0: level alone)
    uint32_t haze;   // haze weight
    // The finest block maxima (HdTerrain::BlockMax) that bound this step's
    // samples: level + 1, or level + 2 when it blends.
    int minBlock;
};

// Everything a frame's columns share.
struct FrameSetup {
    int width = 0, height = 0;
    uint32_t camU = 0, camV = 0;
    int64_t camUnits = 0;          // camera height >> 5
    int64_t horizonQ8 = 0;         // row (Q8) of the flat horizon
    int band = 0;                  // rows above it show the sky, the rest haze
    int64_t skyRowOffset = 0;      // resampled sky row = frame row + this
    int64_t skyColOffset = 0;      // resampled sky column = frame column + this (mod skyCols)
    int skyCols = 0, skyRows = 0;  // the sky resampled to the frame's scale
    std::vector<Step> steps;       // filled by MarchSteps
};

FrameSetup SetUpFrame(const HdFrame& frame, const HdTerrain& terrain, const CameraState& camera,
                      const HdOptions& options);

// The march steps for a frame of `height` rows over a map of `side`.
std::vector<Step> MarchSteps(int side, int levels, int height, const HdOptions& options);

// sin of a fine angle (2^20 per turn) * 65536.
inline int32_t FineSine(const int32_t* sines, uint32_t a) {
    const uint32_t i = (a >> 8) & 4095u, f = a & 255u;
    const int64_t s = int64_t{sines[i]} * (256 - f) + int64_t{sines[i + 1]} * f;
    return static_cast<int32_t>(s >> 22);
}
// Column `col`'s direction: the faithful column angle, scaled to the frame.
struct Direction {
    int32_t x, y;
};
inline Direction ColumnDirection(const HdTerrain& terrain, const CameraState& camera, int width,
                                 int height, int col) {
    const int64_t offset = FloorDiv(int64_t{width - 2 * col} * 341 * kHdFaithfulRows * 256,
                                    int64_t{kHdFaithfulColumns} * height);
    const uint32_t a =
        (static_cast<uint32_t>(camera.heading) * 256u + static_cast<uint32_t>(offset)) & 0xFFFFFu;
    return {FineSine(terrain.Sines(), a + 0x40000u), FineSine(terrain.Sines(), a)};
}

// Ground height (h16) and colour (spread, hazed) of a step at (u, v).
inline uint32_t GroundHeight(const HdTerrain& terrain, const Step& s, uint32_t u, uint32_t v) {
    const HdLevel& a = terrain.Level(s.level);
    const uint32_t h = BilinearHeight(a.height.data(), Locate(a, u, v));
    if (s.blend == 0) return h;
    const HdLevel& b = terrain.Level(s.level + 1);
    const uint32_t hb = BilinearHeight(b.height.data(), Locate(b, u, v));
    return (h * (256u - s.blend) + hb * s.blend + 128u) >> 8;
}
inline uint64_t GroundColour(const HdTerrain& terrain, const Step& s, uint32_t u, uint32_t v) {
    const HdLevel& a = terrain.Level(s.level);
    uint64_t c = BilinearColour(a.colour.data(), Locate(a, u, v));
    if (s.blend != 0) {
        const HdLevel& b = terrain.Level(s.level + 1);
        c = LerpSpread(c, BilinearColour(b.colour.data(), Locate(b, u, v)), s.blend);
    }
    return Haze(c, s.haze);
}
// The row (Q8) where ground of height h16 stands at a step.
inline int64_t GroundRow(const FrameSetup& f, const Step& s, uint32_t h16) {
    const int64_t below = f.camUnits - (int64_t{h16} << 4);
    return f.horizonQ8 + ((below * s.q) >> s.shift);
}

// The sky resampled to the frame's scale at (col, row) of skyCols x skyRows,
// bilinear from the picture (wrapping across, clamped down).
uint32_t ResampledSky(const HdTerrain& terrain, int skyCols, int skyRows, int col, int row);

}  // namespace hd_detail
