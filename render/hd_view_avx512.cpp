// hd_view_avx512.cpp -- the HD view's AVX-512 tile kernel: a tile's sixteen columns marched in step
#include <algorithm>
#include <bit>

#include "render/hd_view_fast.h"

#if defined(__x86_64__)
// GCC 12's AVX-512 intrinsics start some results from an "undefined"
// register that its own -Wuninitialized then reports where they inline.
#pragma GCC diagnostic ignored "-Wuninitialized"
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>

// Only the functions marked so use AVX-512; MarchTileAvx512 is called only
// after CpuHasAvx512().
#define FLYOVER_AVX512 __attribute__((target("avx512f,avx512bw,avx512dq,avx512vl,avx2,bmi,bmi2")))

namespace hd_detail {

namespace {

constexpr int kLanes = 16;
// Mip levels of the largest map (its side down to 4).
constexpr int kMaxLevels = std::bit_width(static_cast<unsigned>(kHdMaxSide)) - 2;
static_assert(kLanes == kTileColumns, "one group of lanes is one tile row");

// A colour of sixteen lanes as two words a lane: red and blue in 16-bit
// fields (0x00RR00BB) and green alone, as in the AVX2 kernel.
struct Colours {
    __m512i rb, g;
};

FLYOVER_AVX512 inline __m512i Set(int32_t x) {
    return _mm512_set1_epi32(x);
}

// A constant in every lane, broadcast from memory: the kernel is bound by
// its 512-bit arithmetic ports, and GCC otherwise makes each constant again
// where it is used as an immediate moved to a register and broadcast from
// there, one more operation on such a port; a broadcast from memory is a
// load only.
template <int32_t X>
struct Splat {
    static constexpr int32_t value = X;
};
template <int32_t X>
FLYOVER_AVX512 inline __m512i K() {
    __m512i v;
    asm("vpbroadcastd %1, %0" : "=v"(v) : "m"(Splat<X>::value));
    return v;
}
// The same for a step's values, which are in memory already.
FLYOVER_AVX512 inline __m512i SplatFrom(const uint32_t& x) {
    __m512i v;
    asm("vpbroadcastd %1, %0" : "=v"(v) : "m"(x));
    return v;
}
FLYOVER_AVX512 inline __m512i SplatFrom(const int64_t& x) {
    __m512i v;
    asm("vpbroadcastq %1, %0" : "=v"(v) : "m"(x));
    return v;
}

FLYOVER_AVX512 inline Colours Unpack(__m512i c) {
    // 0x00RRGGBB's 16-bit fields are GGBB and 00RR: each taken down a byte
    // leaves 00GG and 0000.
    return {_mm512_and_si512(c, K<0x00FF00FF>()), _mm512_srli_epi16(c, 8)};
}

// The weight w (0 .. 256) in both 16-bit halves of each lane.
FLYOVER_AVX512 inline __m512i Halves(__m512i w) {
    return _mm512_or_si512(w, _mm512_slli_epi32(w, 16));
}

// a + (b - a) * w / 256 in each field, rounded (LerpSpread); w16 is the
// weight (0 .. 256) in both halves. a (256 - w) + b w + 128 is 256 a +
// (b - a) w + 128, so the field is a + floor(((b - a) w + 128) / 256), and
// that floor is vpmulhrsw's floor((x w + 2^14) / 2^15) of x = (b - a) * 128,
// which fits signed 16 bits: one multiply a field pair, exact.
FLYOVER_AVX512 inline __m512i LerpFields(__m512i a, __m512i b, __m512i w16) {
    return _mm512_add_epi16(a,
                            _mm512_mulhrs_epi16(_mm512_slli_epi16(_mm512_sub_epi16(b, a), 7), w16));
}
FLYOVER_AVX512 inline Colours Lerp(const Colours& a, const Colours& b, __m512i w16) {
    return {LerpFields(a.rb, b.rb, w16), LerpFields(a.g, b.g, w16)};
}

// A level's constants for Locate16, made once per group.
struct Level16 {
    const int* height;  // the level's heights, as 32-bit words from any entry
    const int* colour;
    __m512i half;      // half a texel of position
    __m512i mask;      // side - 1
    __m128i cut;       // 32 - sideLog2: position to texel
    __m128i rowShift;  // sideLog2: texel row to index
    __m128i fraction;  // 24 - sideLog2: position to the weight's 8 bits
};

FLYOVER_AVX512 inline Level16 MakeLevel16(const HdLevel& level) {
    const int n = level.sideLog2;
    return {reinterpret_cast<const int*>(level.height.data()),
            reinterpret_cast<const int*>(level.colour.data()),
            _mm512_set1_epi32(static_cast<int>(1u << (31 - n))),
            _mm512_set1_epi32(level.side - 1),
            _mm_cvtsi32_si128(32 - n),
            _mm_cvtsi32_si128(n),
            _mm_cvtsi32_si128(24 - n)};
}

// Where sixteen positions fall in a level (Locate).
struct Texels16 {
    __m512i i00, i01;    // the top left texels of the two rows
    __m512i wx;          // the weights across: 256 - fx in the low half, fx in the high
    __m512i fx16, fy16;  // fx, fy in both halves
    __m512i fy;
    __mmask16 wraps;  // lanes whose right neighbour wraps to the row's start,
                      // side - 1 entries back (x0 = side - 1, x1 = 0)
};

FLYOVER_AVX512 inline Texels16 Locate16(const Level16& level, __m512i u, __m512i v) {
    const __m512i uu = _mm512_sub_epi32(u, level.half), vv = _mm512_sub_epi32(v, level.half);
    const __m512i x0 = _mm512_srl_epi32(uu, level.cut), y0 = _mm512_srl_epi32(vv, level.cut);
    const __m512i y1 = _mm512_and_si512(_mm512_add_epi32(y0, K<1>()), level.mask);
    const __m512i row0 = _mm512_sll_epi32(y0, level.rowShift);
    const __m512i row1 = _mm512_sll_epi32(y1, level.rowShift);
    const __m512i fx = _mm512_and_si512(_mm512_srl_epi32(uu, level.fraction), K<255>());
    const __m512i fy = _mm512_and_si512(_mm512_srl_epi32(vv, level.fraction), K<255>());
    const __m512i fxHigh = _mm512_slli_epi32(fx, 16);
    return {_mm512_add_epi32(row0, x0),
            _mm512_add_epi32(row1, x0),
            _mm512_or_si512(_mm512_sub_epi32(K<256>(), fx), fxHigh),
            _mm512_or_si512(fx, fxHigh),
            Halves(fy),
            fy,
            _mm512_cmpeq_epi32_mask(x0, level.mask)};
}

FLYOVER_AVX512 inline __m512i Height16(const Level16& level, const Texels16& t) {
    const int* h = level.height;
    // A texel and its right neighbour in one 32-bit load (the level keeps
    // one entry after its last), but where the neighbour wraps to the row's
    // start: there a second load.
    __m512i pairs0 = _mm512_i32gather_epi32(t.i00, h, 2);
    __m512i pairs1 = _mm512_i32gather_epi32(t.i01, h, 2);
    if (t.wraps != 0) {
        const __m512i low = K<0xFFFF>();
        const __m512i h10 =
            _mm512_mask_i32gather_epi32(pairs0, t.wraps, _mm512_sub_epi32(t.i00, level.mask), h, 2);
        const __m512i h11 =
            _mm512_mask_i32gather_epi32(pairs1, t.wraps, _mm512_sub_epi32(t.i01, level.mask), h, 2);
        pairs0 = _mm512_mask_mov_epi32(
            pairs0, t.wraps,
            _mm512_or_si512(_mm512_and_si512(pairs0, low), _mm512_slli_epi32(h10, 16)));
        pairs1 = _mm512_mask_mov_epi32(
            pairs1, t.wraps,
            _mm512_or_si512(_mm512_and_si512(pairs1, low), _mm512_slli_epi32(h11, 16)));
    }
    // Across by multiply-adds of the pairs, signed by taking 2^15 off each
    // height (see the AVX2 kernel).
    const __m512i bias = K<static_cast<int>(0x80008000u)>();
    const __m512i top = _mm512_madd_epi16(_mm512_xor_si512(pairs0, bias), t.wx);
    const __m512i bottom = _mm512_madd_epi16(_mm512_xor_si512(pairs1, bias), t.wx);
    // Down as top 256 + (bottom - top) fy: one multiply (modulo 2^32).
    const __m512i sum =
        _mm512_add_epi32(_mm512_add_epi32(_mm512_slli_epi32(top, 8),
                                          _mm512_mullo_epi32(_mm512_sub_epi32(bottom, top), t.fy)),
                         bias);
    return _mm512_srli_epi32(sum, 16);
}

// The colours at `at` and their right neighbours, a pair in one 64-bit
// load, in the lanes `whole` (the others 0).
FLYOVER_AVX512 inline void Pairs16(const int* c, __m512i at, __mmask16 whole, __m512i& left,
                                   __m512i& right) {
    const __m512i low = _mm512_mask_i32gather_epi64(
        _mm512_setzero_si512(), static_cast<__mmask8>(whole), _mm512_castsi512_si256(at), c, 4);
    const __m512i high =
        _mm512_mask_i32gather_epi64(_mm512_setzero_si512(), static_cast<__mmask8>(whole >> 8),
                                    _mm512_extracti64x4_epi64(at, 1), c, 4);
    const __m512i even =
        _mm512_set_epi32(30, 28, 26, 24, 22, 20, 18, 16, 14, 12, 10, 8, 6, 4, 2, 0);
    left = _mm512_permutex2var_epi32(low, even, high);
    right = _mm512_permutex2var_epi32(low, _mm512_add_epi32(even, K<1>()), high);
}

FLYOVER_AVX512 inline Colours Colour16(const Level16& level, const Texels16& t) {
    // A texel and its right neighbour in one 64-bit load, but where the
    // neighbour wraps to the row's start (which includes the level's last
    // texel, after which colour levels keep no entry): there two loads.
    __m512i c00, c10, c01, c11;
    const __mmask16 whole = static_cast<__mmask16>(~t.wraps);
    Pairs16(level.colour, t.i00, whole, c00, c10);
    Pairs16(level.colour, t.i01, whole, c01, c11);
    if (t.wraps != 0) {
        c00 = _mm512_mask_i32gather_epi32(c00, t.wraps, t.i00, level.colour, 4);
        c10 = _mm512_mask_i32gather_epi32(c10, t.wraps, _mm512_sub_epi32(t.i00, level.mask),
                                          level.colour, 4);
        c01 = _mm512_mask_i32gather_epi32(c01, t.wraps, t.i01, level.colour, 4);
        c11 = _mm512_mask_i32gather_epi32(c11, t.wraps, _mm512_sub_epi32(t.i01, level.mask),
                                          level.colour, 4);
    }
    return Lerp(Lerp(Unpack(c00), Unpack(c10), t.fx16), Lerp(Unpack(c01), Unpack(c11), t.fx16),
                t.fy16);
}

// (below * q) >> shift in each lane, below and the result in 32 bits.
FLYOVER_AVX512 inline __m512i RowOffset16(__m512i below, const int64_t& q, int shift) {
    const __m512i qv = SplatFrom(q);
    const __m128i by = _mm_cvtsi32_si128(shift);
    const __m512i even = _mm512_sra_epi64(_mm512_mul_epi32(below, qv), by);
    const __m512i odd = _mm512_sra_epi64(_mm512_mul_epi32(_mm512_srli_epi64(below, 32), qv), by);
    return _mm512_mask_blend_epi32(0xAAAA, even, _mm512_slli_epi64(odd, 32));
}

// Whether the frame's rows and heights fit 32-bit lanes (as for AVX2).
bool FitsLanes(const FrameSetup& f) {
    if (f.steps.empty()) return true;
    if (f.horizonQ8 > (int64_t{1} << 29) || f.horizonQ8 < -(int64_t{1} << 29)) return false;
    const int64_t below =
        f.camUnits < 0 ? -f.camUnits + (int64_t{65535} << 4) : f.camUnits + (int64_t{65535} << 4);
    if (below >= (int64_t{1} << 31)) return false;
    const Step& nearest = f.steps.front();
    return ((below * nearest.q) >> nearest.shift) < (int64_t{1} << 30);
}

// One step's ground drawn in the lanes `drawing` of the tile's sixteen
// columns (`tile` is row 0): the AVX2 kernel's DrawStep with mask registers.
FLYOVER_AVX512 inline void DrawStep(const Colours& c, __m512i offset, __mmask16 drawing,
                                    __m512i horizon, uint32_t* tile, __m512i& next, __m512i& cover,
                                    __m512i& wrb, __m512i& wg, __m512i& edge) {
    const __m512i top = _mm512_add_epi32(horizon, offset);
    const __m512i reach =
        _mm512_sub_epi32(_mm512_slli_epi32(_mm512_add_epi32(next, K<1>()), 8), top);
    const __mmask16 full = drawing & _mm512_cmpgt_epi32_mask(reach, K<255>());
    const __mmask16 partial = drawing & static_cast<__mmask16>(~full);
    // Partly covered rows: coverage reach - cover more of this colour.
    const __m512i more = _mm512_maskz_sub_epi32(partial, reach, cover);
    if (full != 0) {
        const __m512i rest = _mm512_sub_epi32(K<256>(), cover);
        const __m512i rb = _mm512_add_epi32(_mm512_add_epi32(wrb, _mm512_mullo_epi32(c.rb, rest)),
                                            K<0x00800080>());
        const __m512i g =
            _mm512_add_epi32(_mm512_add_epi32(wg, _mm512_mullo_epi16(c.g, rest)), K<0x80>());
        const __m512i resolved =
            _mm512_or_si512(_mm512_and_si512(_mm512_srli_epi32(rb, 8), K<0x00FF00FF>()),
                            _mm512_and_si512(g, K<0xFF00>()));
        const __m512i whole = _mm512_or_si512(c.rb, _mm512_slli_epi32(c.g, 8));
        const __m512i first = _mm512_max_epi32(
            _mm512_srai_epi32(_mm512_add_epi32(top, K<255>()), 8), _mm512_setzero_si512());
        // Rows above a lane's `next` may take anything, rows below it are
        // final (see the AVX2 kernel): every row from the drawing lanes'
        // highest `next` up to their highest top, masked to the rows not
        // final, in one loop (its end is one mispredicted branch a step).
        const int32_t high = _mm512_mask_reduce_max_epi32(full, next);
        const int32_t low = _mm512_mask_reduce_min_epi32(full, first);
        __m512i r = Set(high);
        for (int32_t row = high; row >= low; --row, r = _mm512_sub_epi32(r, K<1>())) {
            const __m512i value =
                _mm512_mask_blend_epi32(_mm512_cmpeq_epi32_mask(next, r), whole, resolved);
            _mm512_mask_storeu_epi32(tile + row * kTileColumns, _mm512_cmpge_epi32_mask(next, r),
                                     value);
        }
        const __m512i covered = _mm512_sub_epi32(_mm512_slli_epi32(first, 8), top);
        next = _mm512_mask_mov_epi32(next, full, _mm512_sub_epi32(first, K<1>()));
        cover = _mm512_mask_mov_epi32(cover, full, covered);
        wrb = _mm512_mask_mov_epi32(wrb, full, _mm512_mullo_epi32(c.rb, covered));
        wg = _mm512_mask_mov_epi32(wg, full, _mm512_mullo_epi16(c.g, covered));
    }
    wrb = _mm512_add_epi32(wrb, _mm512_mullo_epi32(c.rb, more));
    wg = _mm512_add_epi32(wg, _mm512_mullo_epi16(c.g, more));
    cover = _mm512_mask_mov_epi32(cover, partial, reach);
    const __mmask16 finished = _mm512_cmplt_epi32_mask(top, K<1>());
    edge = _mm512_mask_mov_epi32(edge, drawing,
                                 _mm512_mask_mov_epi32(offset, finished, K<INT32_MIN>()));
}

// Marches the tile's sixteen columns in step, as the AVX2 kernel's
// MarchGroup does eight.
FLYOVER_AVX512 __attribute__((noinline)) void MarchGroup16(const Plan& plan, const Direction* dirs,
                                                           uint32_t* tile, TileEnds& ends) {
    const FrameSetup& f = plan.setup;
    const HdTerrain& terrain = *plan.terrain;
    const std::vector<Step>& steps = f.steps;
    const int stepCount = static_cast<int>(steps.size());
    int sideLog2 = 0;
    while ((1 << sideLog2) < terrain.Side())
        ++sideLog2;

    alignas(64) int32_t dx[kLanes], dy[kLanes];
    int32_t minDx = INT32_MAX, maxDx = INT32_MIN, minDy = INT32_MAX, maxDy = INT32_MIN;
    for (int j = 0; j < kLanes; ++j) {
        dx[j] = dirs[j].x;
        dy[j] = dirs[j].y;
        minDx = std::min(minDx, dx[j]);
        maxDx = std::max(maxDx, dx[j]);
        minDy = std::min(minDy, dy[j]);
        maxDy = std::max(maxDy, dy[j]);
    }
    Level16 levels[kMaxLevels];
    const int levelCount = std::min(terrain.LevelCount(), kMaxLevels);
    for (int l = 0; l < levelCount; ++l)
        levels[l] = MakeLevel16(terrain.Level(l));
    const __m512i dirX = _mm512_load_si512(dx);
    const __m512i dirY = _mm512_load_si512(dy);
    const __m512i camU = Set(static_cast<int>(f.camU));
    const __m512i camV = Set(static_cast<int>(f.camV));
    const __m512i camUnits = Set(static_cast<int>(f.camUnits));

    __m512i next = Set(f.height - 1);
    __m512i cover = _mm512_setzero_si512();
    __m512i wrb = _mm512_setzero_si512(), wg = _mm512_setzero_si512();
    const int32_t firstEdge = static_cast<int32_t>(int64_t{f.height} * 256 - f.horizonQ8);
    __m512i edge = Set(firstEdge);
    const __m512i horizon = Set(static_cast<int32_t>(f.horizonQ8));
    int32_t highestEdge = firstEdge;
    bool edgeStale = false;  // edge changed since highestEdge was taken
    int block = sideLog2;
    bool trySkip = true;  // not right after a step that drew (see the AVX2 kernel)
    for (int at = 0; at < stepCount;) {
        const Step& s = steps[static_cast<size_t>(at)];
        const __m512i d8 = SplatFrom(s.d8);
        const __m512i u = _mm512_add_epi32(camU, _mm512_mullo_epi32(dirX, d8));
        const __m512i v = _mm512_add_epi32(camV, _mm512_mullo_epi32(dirY, d8));
        bool laneClear = false;  // no lane can draw at this step
        if (trySkip && s.minBlock < sideLog2) {
            // After a step that drew nothing the next seldom draws: before
            // sampling it, each lane's block maximum at the finest block
            // that bounds the step's samples, against the lane's own edge
            // (the group's test below bounds all lanes by the highest edge
            // and needs them in one block, so it can pass only where this
            // one does: it is tried only then, for a run of steps to skip).
            const int k = s.minBlock;
            const __m128i cellShift = _mm_cvtsi32_si128(32 - sideLog2 + k);
            const __m512i at16 = _mm512_add_epi32(
                _mm512_sll_epi32(_mm512_srl_epi32(v, cellShift), _mm_cvtsi32_si128(sideLog2 - k)),
                _mm512_srl_epi32(u, cellShift));
            const __m512i highest =
                _mm512_and_si512(_mm512_i32gather_epi32(at16, terrain.BlockMax(k), 2), K<0xFFFF>());
            const __m512i lowest = RowOffset16(
                _mm512_sub_epi32(camUnits, _mm512_slli_epi32(highest, 4)), s.q, s.shift);
            laneClear = _mm512_cmpgt_epi32_mask(edge, lowest) == 0;
        }
        int skipTo = at;
        if (trySkip && (laneClear || s.minBlock >= sideLog2)) {
            if (edgeStale) {
                highestEdge = _mm512_reduce_max_epi32(edge);
                edgeStale = false;
            }
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
        }
        if (skipTo > at) {
            at = skipTo;
            continue;
        }
        block = s.minBlock;
        ++at;

        if (laneClear) continue;
        const Level16& la = levels[s.level];
        const Texels16 ta = Locate16(la, u, v);
        __m512i h = Height16(la, ta);
        Texels16 tb{};
        if (s.blend != 0) {
            tb = Locate16(levels[s.level + 1], u, v);
            const __m512i hb = Height16(levels[s.level + 1], tb);
            // h (256 - blend) + hb blend as one multiply-add of the pair,
            // each taken 2^15 down as in Height16 (2^23 put back).
            const __m512i pair = _mm512_xor_si512(_mm512_or_si512(h, _mm512_slli_epi32(hb, 16)),
                                                  K<static_cast<int>(0x80008000u)>());
            const __m512i weights = Set(static_cast<int>((256 - s.blend) | s.blend << 16));
            h = _mm512_srli_epi32(
                _mm512_add_epi32(_mm512_madd_epi16(pair, weights), K<(1 << 23) + 128>()), 8);
        }
        const __m512i below = _mm512_sub_epi32(camUnits, _mm512_slli_epi32(h, 4));
        const __m512i offset = RowOffset16(below, s.q, s.shift);
        const __mmask16 drawing = _mm512_cmpgt_epi32_mask(edge, offset);
        trySkip = drawing == 0;
        if (trySkip) continue;

        Colours c = Colour16(la, ta);
        if (s.blend != 0)
            c = Lerp(c, Colour16(levels[s.level + 1], tb),
                     Set(static_cast<int>(s.blend * 0x10001u)));
        {  // the haze: toward white, a lerp to 255 in every field
            const __m512i w16 = Set(static_cast<int>(s.haze * 0x10001u));
            c.rb = LerpFields(c.rb, K<0x00FF00FF>(), w16);
            c.g = LerpFields(c.g, K<0xFF>(), w16);
        }
        DrawStep(c, offset, drawing, horizon, tile, next, cover, wrb, wg, edge);
        if (_mm512_cmpneq_epi32_mask(edge, K<INT32_MIN>()) == 0) break;  // every column's top drawn
        edgeStale = true;
    }
    alignas(64) int32_t nexts[kLanes], covers[kLanes];
    alignas(64) uint32_t rbs[kLanes], gs[kLanes];
    _mm512_store_si512(nexts, next);
    _mm512_store_si512(covers, cover);
    _mm512_store_si512(rbs, wrb);
    _mm512_store_si512(gs, wg);
    for (int j = 0; j < kLanes; ++j) {
        const uint64_t weighted =
            (rbs[j] & 0xFFFFu) | (uint64_t{gs[j]} << 16) | (uint64_t{rbs[j] >> 16} << 32);
        ends.next[j] = nexts[j];
        ends.weighted[j] = nexts[j] >= 0 ? weighted : 0;
        ends.cover[j] = nexts[j] >= 0 ? static_cast<uint32_t>(covers[j]) : 0;
    }
}

}  // namespace

bool HaveAvx512Kernel() {
    return true;
}

void MarchTileAvx512(const Plan& plan, int col0, int count, uint32_t* tile, TileEnds& ends) {
    if (!FitsLanes(plan.setup)) {
        MarchTileScalar(plan, col0, count, tile, ends);
        return;
    }
    // Lanes past the frame's last column repeat that column; they land in
    // tile columns nobody copies out.
    Direction dirs[kLanes];
    for (int j = 0; j < kLanes; ++j)
        dirs[j] = plan.directions[static_cast<size_t>(col0 + std::min(j, count - 1))];
    MarchGroup16(plan, dirs, tile, ends);
}

}  // namespace hd_detail

#else

namespace hd_detail {

bool HaveAvx512Kernel() {
    return false;
}

void MarchTileAvx512(const Plan& plan, int col0, int count, uint32_t* tile, TileEnds& ends) {
    MarchTileScalar(plan, col0, count, tile, ends);
}

}  // namespace hd_detail

#endif
