// hd_view_avx2.cpp -- the HD view's AVX2 tile kernel: eight columns marched in step
#include <algorithm>

#include "render/hd_view_fast.h"

#if defined(__x86_64__)
#include <immintrin.h>

// Only the functions marked so use AVX2; MarchTileAvx2 is called only after
// CpuHasAvx2().
#define FLYOVER_AVX2 __attribute__((target("avx2,bmi,bmi2")))

namespace hd_detail {

namespace {

constexpr int kLanes = 8;

// A colour of eight lanes as two words a lane: red and blue in 16-bit
// fields (0x00RR00BB, each field the 16-bit lane of the spread colour) and
// green alone; the same integer steps as the spread colour's lanes.
struct Colours {
    __m256i rb, g;
};

FLYOVER_AVX2 inline __m256i Gather16(const uint16_t* base, __m256i index) {
    // 32-bit loads at 16-bit entries (the level keeps one entry after its
    // last), the upper half dropped.
    const __m256i words = _mm256_i32gather_epi32(reinterpret_cast<const int*>(base), index, 2);
    return _mm256_and_si256(words, _mm256_set1_epi32(0xFFFF));
}

FLYOVER_AVX2 inline Colours Unpack(__m256i c) {
    return {_mm256_and_si256(c, _mm256_set1_epi32(0x00FF00FF)),
            _mm256_and_si256(_mm256_srli_epi32(c, 8), _mm256_set1_epi32(0xFF))};
}

// a + (b - a) * w / 256 in each field, rounded (LerpSpread).
FLYOVER_AVX2 inline Colours Lerp(const Colours& a, const Colours& b, __m256i w) {
    const __m256i inv = _mm256_sub_epi32(_mm256_set1_epi32(256), w);
    const __m256i rb = _mm256_add_epi32(
        _mm256_add_epi32(_mm256_mullo_epi32(a.rb, inv), _mm256_mullo_epi32(b.rb, w)),
        _mm256_set1_epi32(0x00800080));
    const __m256i g =
        _mm256_add_epi32(_mm256_add_epi32(_mm256_mullo_epi32(a.g, inv), _mm256_mullo_epi32(b.g, w)),
                         _mm256_set1_epi32(0x80));
    return {_mm256_and_si256(_mm256_srli_epi32(rb, 8), _mm256_set1_epi32(0x00FF00FF)),
            _mm256_and_si256(_mm256_srli_epi32(g, 8), _mm256_set1_epi32(0xFF))};
}

// Where eight positions fall in a level (Locate).
struct Texels8 {
    __m256i i00, i10, i01, i11, fx, fy;
    __m256i wraps;  // lanes whose right texels are at the row's start (x0 = side - 1)
};
FLYOVER_AVX2 inline Texels8 Locate8(const HdLevel& level, __m256i u, __m256i v) {
    const int n = level.sideLog2;
    const __m256i half = _mm256_set1_epi32(static_cast<int>(1u << (31 - n)));
    const __m256i uu = _mm256_sub_epi32(u, half), vv = _mm256_sub_epi32(v, half);
    const __m256i mask = _mm256_set1_epi32(level.side - 1);
    const __m128i cut = _mm_cvtsi32_si128(32 - n);
    const __m256i x0 = _mm256_srl_epi32(uu, cut), y0 = _mm256_srl_epi32(vv, cut);
    const __m256i one = _mm256_set1_epi32(1);
    const __m256i x1 = _mm256_and_si256(_mm256_add_epi32(x0, one), mask);
    const __m256i y1 = _mm256_and_si256(_mm256_add_epi32(y0, one), mask);
    const __m128i rowShift = _mm_cvtsi32_si128(n);
    const __m256i row0 = _mm256_sll_epi32(y0, rowShift), row1 = _mm256_sll_epi32(y1, rowShift);
    const __m128i fraction = _mm_cvtsi32_si128(24 - n);
    const __m256i byte = _mm256_set1_epi32(255);
    return {_mm256_add_epi32(row0, x0),
            _mm256_add_epi32(row0, x1),
            _mm256_add_epi32(row1, x0),
            _mm256_add_epi32(row1, x1),
            _mm256_and_si256(_mm256_srl_epi32(uu, fraction), byte),
            _mm256_and_si256(_mm256_srl_epi32(vv, fraction), byte),
            _mm256_cmpeq_epi32(x0, mask)};
}

FLYOVER_AVX2 inline __m256i Height8(const HdLevel& level, const Texels8& t) {
    const uint16_t* h = level.height.data();
    const __m256i inx = _mm256_sub_epi32(_mm256_set1_epi32(256), t.fx);
    const __m256i iny = _mm256_sub_epi32(_mm256_set1_epi32(256), t.fy);
    // A texel and its right neighbour in one 32-bit load, but where the
    // neighbour wraps to the row's start.
    const __m256i pairs0 = _mm256_i32gather_epi32(reinterpret_cast<const int*>(h), t.i00, 2);
    const __m256i pairs1 = _mm256_i32gather_epi32(reinterpret_cast<const int*>(h), t.i01, 2);
    const __m256i low = _mm256_set1_epi32(0xFFFF);
    __m256i h10 = _mm256_srli_epi32(pairs0, 16), h11 = _mm256_srli_epi32(pairs1, 16);
    if (!_mm256_testz_si256(t.wraps, t.wraps)) {
        h10 = _mm256_blendv_epi8(h10, Gather16(h, t.i10), t.wraps);
        h11 = _mm256_blendv_epi8(h11, Gather16(h, t.i11), t.wraps);
    }
    const __m256i top = _mm256_add_epi32(_mm256_mullo_epi32(_mm256_and_si256(pairs0, low), inx),
                                         _mm256_mullo_epi32(h10, t.fx));
    const __m256i bottom = _mm256_add_epi32(_mm256_mullo_epi32(_mm256_and_si256(pairs1, low), inx),
                                            _mm256_mullo_epi32(h11, t.fx));
    const __m256i sum = _mm256_add_epi32(
        _mm256_add_epi32(_mm256_mullo_epi32(top, iny), _mm256_mullo_epi32(bottom, t.fy)),
        _mm256_set1_epi32(32768));
    return _mm256_srli_epi32(sum, 16);
}

FLYOVER_AVX2 inline Colours Colour8(const HdLevel& level, const Texels8& t) {
    const int* c = reinterpret_cast<const int*>(level.colour.data());
    const Colours c00 = Unpack(_mm256_i32gather_epi32(c, t.i00, 4));
    const Colours c10 = Unpack(_mm256_i32gather_epi32(c, t.i10, 4));
    const Colours c01 = Unpack(_mm256_i32gather_epi32(c, t.i01, 4));
    const Colours c11 = Unpack(_mm256_i32gather_epi32(c, t.i11, 4));
    return Lerp(Lerp(c00, c10, t.fx), Lerp(c01, c11, t.fx), t.fy);
}

// (below * q) >> shift in each lane, below and the result in 32 bits.
FLYOVER_AVX2 inline __m256i RowOffset8(__m256i below, int64_t q, int shift) {
    const __m256i qv = _mm256_set1_epi64x(q);
    const __m256i even = _mm256_mul_epi32(below, qv);
    const __m256i odd = _mm256_mul_epi32(_mm256_srli_epi64(below, 32), qv);
    // An arithmetic shift of 64-bit lanes: lift by 2^62 (the products are far
    // smaller), shift, and take the lift's share back.
    const __m256i lift = _mm256_set1_epi64x(int64_t{1} << 62);
    const __m256i back = _mm256_set1_epi64x(int64_t{1} << (62 - shift));
    const __m128i by = _mm_cvtsi32_si128(shift);
    const __m256i e = _mm256_sub_epi64(_mm256_srl_epi64(_mm256_add_epi64(even, lift), by), back);
    const __m256i o = _mm256_sub_epi64(_mm256_srl_epi64(_mm256_add_epi64(odd, lift), by), back);
    return _mm256_blend_epi32(e, _mm256_slli_epi64(o, 32), 0xAA);
}

// Whether the frame's rows and heights fit the kernel's 32-bit lanes: row
// offsets (Q8) from the horizon below 2^30 at the nearest step, and the
// horizon itself within 2^29 rows (Q8).
bool FitsLanes(const FrameSetup& f) {
    if (f.steps.empty()) return true;
    if (f.horizonQ8 > (int64_t{1} << 29) || f.horizonQ8 < -(int64_t{1} << 29)) return false;
    const int64_t below =
        f.camUnits < 0 ? -f.camUnits + (int64_t{65535} << 4) : f.camUnits + (int64_t{65535} << 4);
    if (below >= (int64_t{1} << 31)) return false;
    const Step& nearest = f.steps.front();
    return ((below * nearest.q) >> nearest.shift) < (int64_t{1} << 30);
}

// Marches eight columns (lane j is column col0 + j of the tile, tile column
// lane0 + j) in step. Steps skipped for all eight at once where the block
// maxima around all their rays cannot reach any lane's top row.
FLYOVER_AVX2 __attribute__((noinline)) void MarchGroup(const Plan& plan, const Direction* dirs,
                                                       int lane0, uint32_t* tile, TileEnds& ends) {
    const FrameSetup& f = plan.setup;
    const HdTerrain& terrain = *plan.terrain;
    const std::vector<Step>& steps = f.steps;
    const int stepCount = static_cast<int>(steps.size());
    int sideLog2 = 0;
    while ((1 << sideLog2) < terrain.Side())
        ++sideLog2;

    alignas(32) int32_t dx[kLanes], dy[kLanes];
    int32_t minDx = INT32_MAX, maxDx = INT32_MIN, minDy = INT32_MAX, maxDy = INT32_MIN;
    for (int j = 0; j < kLanes; ++j) {
        dx[j] = dirs[j].x;
        dy[j] = dirs[j].y;
        minDx = std::min(minDx, dx[j]);
        maxDx = std::max(maxDx, dx[j]);
        minDy = std::min(minDy, dy[j]);
        maxDy = std::max(maxDy, dy[j]);
    }
    const __m256i dirX = _mm256_load_si256(reinterpret_cast<const __m256i*>(dx));
    const __m256i dirY = _mm256_load_si256(reinterpret_cast<const __m256i*>(dy));
    const __m256i camU = _mm256_set1_epi32(static_cast<int>(f.camU));
    const __m256i camV = _mm256_set1_epi32(static_cast<int>(f.camV));
    const __m256i camUnits = _mm256_set1_epi32(static_cast<int>(f.camUnits));

    // Per lane: the last row not drawn, the cover of that row and its
    // colours, and `edge`: a step draws in the lane when its row offset
    // from the horizon is below it ((next + 1) * 256 - cover - horizon).
    int next[kLanes];
    int64_t cover[kLanes];
    uint64_t weighted[kLanes];
    alignas(32) int32_t edge[kLanes];
    const int32_t done = INT32_MIN;
    for (int j = 0; j < kLanes; ++j) {
        next[j] = f.height - 1;
        cover[j] = 0;
        weighted[j] = 0;
        edge[j] = static_cast<int32_t>(int64_t{f.height} * 256 - f.horizonQ8);
    }
    int32_t highestEdge = edge[0];  // the greatest edge of the lanes not done
    int block = sideLog2;
    for (int at = 0; at < stepCount;) {
        const Step& s = steps[static_cast<size_t>(at)];
        // Skip: the coarsest block holding every lane's ray from here to the
        // run's end, whose maximum cannot reach the highest edge.
        int skipTo = at;
        const uint32_t uLo = f.camU + static_cast<uint32_t>(minDx) * s.d8;
        const uint32_t uHi = f.camU + static_cast<uint32_t>(maxDx) * s.d8;
        const uint32_t vLo = f.camV + static_cast<uint32_t>(minDy) * s.d8;
        const uint32_t vHi = f.camV + static_cast<uint32_t>(maxDy) * s.d8;
        const uint64_t spanU = uint64_t(int64_t{maxDx} - minDx) * s.d8;
        const uint64_t spanV = uint64_t(int64_t{maxDy} - minDy) * s.d8;
        for (int k = std::min(block + 1, sideLog2); k >= s.minBlock; --k) {
            const int cellShift = 32 - sideLog2 + k;
            uint32_t bx = 0, by = 0;
            if (k < sideLog2) {
                bx = uLo >> cellShift;
                by = vLo >> cellShift;
                if (bx != uHi >> cellShift || by != vHi >> cellShift ||
                    spanU >= (uint64_t{1} << cellShift) || spanV >= (uint64_t{1} << cellShift))
                    continue;
            }
            const uint32_t highest = terrain.BlockMax(k)[(by << (sideLog2 - k)) + bx];
            const int64_t below = f.camUnits - (int64_t{highest} << 4);
            if (((below * s.q) >> s.shift) < highestEdge) continue;
            int end = plan.stepLimit[static_cast<size_t>(k)];
            if (k < sideLog2) {
                const uint64_t stay = std::min(std::min(StayInBlock(uLo, minDx, cellShift),
                                                        StayInBlock(uHi, maxDx, cellShift)),
                                               std::min(StayInBlock(vLo, minDy, cellShift),
                                                        StayInBlock(vHi, maxDy, cellShift)));
                if (stay < UINT64_MAX) end = FirstStepBeyond(steps, at, end, s.d8 + stay);
            }
            if (below >= 0 && end - 1 > at) {
                const Step& last = steps[static_cast<size_t>(end - 1)];
                if (((below * last.q) >> last.shift) < highestEdge) continue;
            }
            skipTo = end;
            block = k;
            break;
        }
        if (skipTo > at) {
            at = skipTo;
            continue;
        }
        block = s.minBlock;
        ++at;

        const __m256i d8 = _mm256_set1_epi32(static_cast<int>(s.d8));
        const __m256i u = _mm256_add_epi32(camU, _mm256_mullo_epi32(dirX, d8));
        const __m256i v = _mm256_add_epi32(camV, _mm256_mullo_epi32(dirY, d8));
        const HdLevel& la = terrain.Level(s.level);
        const Texels8 ta = Locate8(la, u, v);
        __m256i h = Height8(la, ta);
        Texels8 tb{};
        if (s.blend != 0) {
            tb = Locate8(terrain.Level(s.level + 1), u, v);
            const __m256i hb = Height8(terrain.Level(s.level + 1), tb);
            const __m256i w = _mm256_set1_epi32(static_cast<int>(s.blend));
            const __m256i inv = _mm256_set1_epi32(static_cast<int>(256 - s.blend));
            h = _mm256_srli_epi32(_mm256_add_epi32(_mm256_add_epi32(_mm256_mullo_epi32(h, inv),
                                                                    _mm256_mullo_epi32(hb, w)),
                                                   _mm256_set1_epi32(128)),
                                  8);
        }
        const __m256i below = _mm256_sub_epi32(camUnits, _mm256_slli_epi32(h, 4));
        const __m256i offset = RowOffset8(below, s.q, s.shift);
        const __m256i edges = _mm256_load_si256(reinterpret_cast<const __m256i*>(edge));
        unsigned draws = static_cast<unsigned>(
            _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpgt_epi32(edges, offset))));
        if (draws == 0) continue;

        Colours c = Colour8(la, ta);
        if (s.blend != 0)
            c = Lerp(c, Colour8(terrain.Level(s.level + 1), tb),
                     _mm256_set1_epi32(static_cast<int>(s.blend)));
        {  // the haze
            const __m256i inv = _mm256_set1_epi32(static_cast<int>(256 - s.haze));
            const uint32_t white = 255 * s.haze + 128;
            c.rb = _mm256_and_si256(
                _mm256_srli_epi32(
                    _mm256_add_epi32(_mm256_mullo_epi32(c.rb, inv),
                                     _mm256_set1_epi32(static_cast<int>(white * 0x10001u))),
                    8),
                _mm256_set1_epi32(0x00FF00FF));
            c.g = _mm256_and_si256(
                _mm256_srli_epi32(_mm256_add_epi32(_mm256_mullo_epi32(c.g, inv),
                                                   _mm256_set1_epi32(static_cast<int>(white))),
                                  8),
                _mm256_set1_epi32(0xFF));
        }
        alignas(32) int32_t offsets[kLanes];
        alignas(32) uint32_t rb[kLanes], g[kLanes], packed[kLanes];
        _mm256_store_si256(reinterpret_cast<__m256i*>(offsets), offset);
        _mm256_store_si256(reinterpret_cast<__m256i*>(rb), c.rb);
        _mm256_store_si256(reinterpret_cast<__m256i*>(g), c.g);
        _mm256_store_si256(reinterpret_cast<__m256i*>(packed),
                           _mm256_or_si256(c.rb, _mm256_slli_epi32(c.g, 8)));
        bool edgesMoved = false;
        for (; draws != 0; draws &= draws - 1) {
            const int j = __builtin_ctz(draws);
            const uint64_t colour =
                (rb[j] & 0xFFFFu) | (uint64_t{g[j]} << 16) | (uint64_t{rb[j] >> 16} << 32);
            const int64_t top = f.horizonQ8 + offsets[j];
            const int64_t reach = (int64_t{next[j]} + 1) * 256 - top;
            uint32_t* out = tile + lane0 + j;
            if (reach < 256) {
                weighted[j] += colour * static_cast<uint64_t>(reach - cover[j]);
                cover[j] = reach;
            } else {
                out[next[j] * kTileColumns] =
                    Resolve(weighted[j] + colour * static_cast<uint64_t>(256 - cover[j]));
                int row = next[j] - 1;
                // The rows this ground covers whole: down to the first row
                // whose top is above `top`.
                const int64_t firstWhole = top <= 0 ? 0 : (top + 255) >> 8;
                const uint32_t whole = packed[j];
                for (; row >= firstWhole; --row)
                    out[row * kTileColumns] = whole;
                next[j] = row;
                if (row < 0) {
                    edge[j] = done;
                    edgesMoved = true;
                    continue;
                }
                cover[j] = (int64_t{row} + 1) * 256 - top;
                if (cover[j] < 0) cover[j] = 0;
                weighted[j] = colour * static_cast<uint64_t>(cover[j]);
            }
            edge[j] = static_cast<int32_t>((int64_t{next[j]} + 1) * 256 - cover[j] - f.horizonQ8);
            edgesMoved = true;
        }
        if (edgesMoved) {
            highestEdge = done;
            for (int j = 0; j < kLanes; ++j)
                highestEdge = std::max(highestEdge, edge[j]);
            if (highestEdge == done) break;
        }
    }
    for (int j = 0; j < kLanes; ++j) {
        const int i = lane0 + j;
        ends.next[i] = next[j];
        ends.weighted[i] = next[j] >= 0 ? weighted[j] : 0;
        ends.cover[i] = next[j] >= 0 ? static_cast<uint32_t>(cover[j]) : 0;
    }
}

}  // namespace

bool HaveAvx2Kernel() {
    return true;
}

void MarchTileAvx2(const Plan& plan, int col0, int count, uint32_t* tile, TileEnds& ends) {
    if (!FitsLanes(plan.setup)) {
        MarchTileScalar(plan, col0, count, tile, ends);
        return;
    }
    for (int lane0 = 0; lane0 < count; lane0 += kLanes) {
        // A group past the frame's last column repeats that column; its
        // extra lanes land in tile columns nobody copies out.
        Direction dirs[kLanes];
        for (int j = 0; j < kLanes; ++j)
            dirs[j] = plan.directions[static_cast<size_t>(col0 + std::min(lane0 + j, count - 1))];
        MarchGroup(plan, dirs, lane0, tile, ends);
    }
}

}  // namespace hd_detail

#else

namespace hd_detail {

bool HaveAvx2Kernel() {
    return false;
}

void MarchTileAvx2(const Plan& plan, int col0, int count, uint32_t* tile, TileEnds& ends) {
    MarchTileScalar(plan, col0, count, tile, ends);
}

}  // namespace hd_detail

#endif
