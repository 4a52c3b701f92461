// hd_view_avx2.cpp -- the HD view's AVX2 tile kernel: eight columns marched in step
#include <algorithm>
#include <bit>

#include "render/hd_view_fast.h"

#if defined(__x86_64__)
#include <immintrin.h>

// Only the functions marked so use AVX2; MarchTileAvx2 is called only after
// CpuHasAvx2().
#define FLYOVER_AVX2 __attribute__((target("avx2,bmi,bmi2")))

namespace hd_detail {

namespace {

constexpr int kLanes = 8;
// Mip levels of the largest map (its side down to 4).
constexpr int kMaxLevels = std::bit_width(static_cast<unsigned>(kHdMaxSide)) - 2;

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
    // 0x00RRGGBB's 16-bit fields are GGBB and 00RR: each taken down a byte
    // leaves 00GG and 0000.
    return {_mm256_and_si256(c, _mm256_set1_epi32(0x00FF00FF)), _mm256_srli_epi16(c, 8)};
}

// The weight w (0 .. 256) in both 16-bit halves of each lane.
FLYOVER_AVX2 inline __m256i Halves(__m256i w) {
    return _mm256_or_si256(w, _mm256_slli_epi32(w, 16));
}

// a + (b - a) * w / 256 in each field, rounded (LerpSpread); w16 is the
// weight (0 .. 256) in both halves (Halves). a (256 - w) + b w + 128 is
// 256 a + (b - a) w + 128, so the field is a + floor(((b - a) w + 128) / 256),
// and that floor is vpmulhrsw's floor((x w + 2^14) / 2^15) of
// x = (b - a) * 128, which fits signed 16 bits: one multiply a field pair,
// exact.
FLYOVER_AVX2 inline __m256i LerpFields(__m256i a, __m256i b, __m256i w16) {
    return _mm256_add_epi16(a,
                            _mm256_mulhrs_epi16(_mm256_slli_epi16(_mm256_sub_epi16(b, a), 7), w16));
}
FLYOVER_AVX2 inline Colours Lerp(const Colours& a, const Colours& b, __m256i w16) {
    return {LerpFields(a.rb, b.rb, w16), LerpFields(a.g, b.g, w16)};
}

// A level's constants for Locate8, made once per group.
struct Level8 {
    const uint16_t* height;
    const int* colour;
    __m256i half;      // half a texel of position
    __m256i mask;      // side - 1
    __m128i cut;       // 32 - sideLog2: position to texel
    __m128i rowShift;  // sideLog2: texel row to index
    __m128i fraction;  // 24 - sideLog2: position to the weight's 8 bits
};

FLYOVER_AVX2 inline Level8 MakeLevel8(const HdLevel& level) {
    const int n = level.sideLog2;
    return {level.height.data(),
            reinterpret_cast<const int*>(level.colour.data()),
            _mm256_set1_epi32(static_cast<int>(1u << (31 - n))),
            _mm256_set1_epi32(level.side - 1),
            _mm_cvtsi32_si128(32 - n),
            _mm_cvtsi32_si128(n),
            _mm_cvtsi32_si128(24 - n)};
}

// Where eight positions fall in a level (Locate).
struct Texels8 {
    __m256i i00, i10, i01, i11;
    __m256i wx;          // the weights across: 256 - fx in the low half, fx in the high
    __m256i fx16, fy16;  // fx, fy in both halves
    __m256i fy;
    __m256i wraps;  // lanes whose right texels are at the row's start (x0 = side - 1)
};
FLYOVER_AVX2 inline Texels8 Locate8(const Level8& level, __m256i u, __m256i v) {
    const __m256i uu = _mm256_sub_epi32(u, level.half), vv = _mm256_sub_epi32(v, level.half);
    const __m256i mask = level.mask;
    const __m256i x0 = _mm256_srl_epi32(uu, level.cut), y0 = _mm256_srl_epi32(vv, level.cut);
    const __m256i one = _mm256_set1_epi32(1);
    const __m256i x1 = _mm256_and_si256(_mm256_add_epi32(x0, one), mask);
    const __m256i y1 = _mm256_and_si256(_mm256_add_epi32(y0, one), mask);
    const __m256i row0 = _mm256_sll_epi32(y0, level.rowShift);
    const __m256i row1 = _mm256_sll_epi32(y1, level.rowShift);
    const __m128i fraction = level.fraction;
    const __m256i byte = _mm256_set1_epi32(255);
    const __m256i fx = _mm256_and_si256(_mm256_srl_epi32(uu, fraction), byte);
    const __m256i fy = _mm256_and_si256(_mm256_srl_epi32(vv, fraction), byte);
    const __m256i fxHigh = _mm256_slli_epi32(fx, 16);
    return {_mm256_add_epi32(row0, x0),
            _mm256_add_epi32(row0, x1),
            _mm256_add_epi32(row1, x0),
            _mm256_add_epi32(row1, x1),
            _mm256_or_si256(_mm256_sub_epi32(_mm256_set1_epi32(256), fx), fxHigh),
            _mm256_or_si256(fx, fxHigh),
            Halves(fy),
            fy,
            _mm256_cmpeq_epi32(x0, mask)};
}

FLYOVER_AVX2 inline __m256i Height8(const Level8& level, const Texels8& t) {
    const uint16_t* h = level.height;
    // A texel and its right neighbour in one 32-bit load, but where the
    // neighbour wraps to the row's start.
    __m256i pairs0 = _mm256_i32gather_epi32(reinterpret_cast<const int*>(h), t.i00, 2);
    __m256i pairs1 = _mm256_i32gather_epi32(reinterpret_cast<const int*>(h), t.i01, 2);
    if (!_mm256_testz_si256(t.wraps, t.wraps)) {
        const __m256i low = _mm256_set1_epi32(0xFFFF);
        pairs0 = _mm256_blendv_epi8(pairs0,
                                    _mm256_or_si256(_mm256_and_si256(pairs0, low),
                                                    _mm256_slli_epi32(Gather16(h, t.i10), 16)),
                                    t.wraps);
        pairs1 = _mm256_blendv_epi8(pairs1,
                                    _mm256_or_si256(_mm256_and_si256(pairs1, low),
                                                    _mm256_slli_epi32(Gather16(h, t.i11), 16)),
                                    t.wraps);
    }
    // Across by multiply-adds of the pairs, made signed by taking 2^15 off
    // each height: each row comes out 2^23 low, their blend 2^31 low, which
    // the rounding term puts back (modulo 2^32; the true sum is below 2^32).
    const __m256i bias = _mm256_set1_epi32(static_cast<int>(0x80008000u));
    const __m256i top = _mm256_madd_epi16(_mm256_xor_si256(pairs0, bias), t.wx);
    const __m256i bottom = _mm256_madd_epi16(_mm256_xor_si256(pairs1, bias), t.wx);
    const __m256i iny = _mm256_sub_epi32(_mm256_set1_epi32(256), t.fy);
    const __m256i sum = _mm256_add_epi32(
        _mm256_add_epi32(_mm256_mullo_epi32(top, iny), _mm256_mullo_epi32(bottom, t.fy)), bias);
    return _mm256_srli_epi32(sum, 16);
}

FLYOVER_AVX2 inline Colours Colour8(const Level8& level, const Texels8& t) {
    const int* c = level.colour;
    const Colours c00 = Unpack(_mm256_i32gather_epi32(c, t.i00, 4));
    const Colours c10 = Unpack(_mm256_i32gather_epi32(c, t.i10, 4));
    const Colours c01 = Unpack(_mm256_i32gather_epi32(c, t.i01, 4));
    const Colours c11 = Unpack(_mm256_i32gather_epi32(c, t.i11, 4));
    return Lerp(Lerp(c00, c10, t.fx16), Lerp(c01, c11, t.fx16), t.fy16);
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

// The greatest and least of eight lanes.
FLYOVER_AVX2 inline int32_t MaxLane(__m256i x) {
    __m128i m = _mm_max_epi32(_mm256_castsi256_si128(x), _mm256_extracti128_si256(x, 1));
    m = _mm_max_epi32(m, _mm_shuffle_epi32(m, 0x4E));
    m = _mm_max_epi32(m, _mm_shuffle_epi32(m, 0xB1));
    return _mm_cvtsi128_si32(m);
}
FLYOVER_AVX2 inline int32_t MinLane(__m256i x) {
    __m128i m = _mm_min_epi32(_mm256_castsi256_si128(x), _mm256_extracti128_si256(x, 1));
    m = _mm_min_epi32(m, _mm_shuffle_epi32(m, 0x4E));
    m = _mm_min_epi32(m, _mm_shuffle_epi32(m, 0xB1));
    return _mm_cvtsi128_si32(m);
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

// One step's ground (colours `c`, row offsets `offset` from the horizon)
// drawn in the lanes `drawing` of eight tile columns (`out` is their row 0,
// rows kTileColumns apart). Where the ground's top row `top` leaves row
// `next` partly covered, it adds to the row's coverage; where it covers
// the row's rest, the row is resolved, the rows it covers whole are filled,
// and `next` moves to the row `top` lies in. Either way the lane's new edge
// is `offset` (what covers the rows below `top` is this ground), and a
// lane whose top reaches row 0's top is done.
FLYOVER_AVX2 inline void DrawStep(const Colours& c, __m256i offset, __m256i drawing,
                                  __m256i horizon, uint32_t* out, __m256i& next, __m256i& cover,
                                  __m256i& wrb, __m256i& wg, __m256i& edge) {
    const __m256i top = _mm256_add_epi32(horizon, offset);
    const __m256i reach =
        _mm256_sub_epi32(_mm256_slli_epi32(_mm256_add_epi32(next, _mm256_set1_epi32(1)), 8), top);
    const __m256i full =
        _mm256_and_si256(drawing, _mm256_cmpgt_epi32(reach, _mm256_set1_epi32(255)));
    const __m256i partial = _mm256_andnot_si256(full, drawing);
    // Partly covered rows: coverage reach - cover more of this colour.
    const __m256i more = _mm256_and_si256(partial, _mm256_sub_epi32(reach, cover));
    if (!_mm256_testz_si256(full, full)) {
        // The row `next` resolved: what covers it so far plus this colour
        // over the rest.
        const __m256i rest = _mm256_sub_epi32(_mm256_set1_epi32(256), cover);
        const __m256i rb = _mm256_add_epi32(_mm256_add_epi32(wrb, _mm256_mullo_epi32(c.rb, rest)),
                                            _mm256_set1_epi32(0x00800080));
        const __m256i g = _mm256_add_epi32(_mm256_add_epi32(wg, _mm256_mullo_epi16(c.g, rest)),
                                           _mm256_set1_epi32(0x80));
        const __m256i resolved = _mm256_or_si256(
            _mm256_and_si256(_mm256_srli_epi32(rb, 8), _mm256_set1_epi32(0x00FF00FF)),
            _mm256_and_si256(g, _mm256_set1_epi32(0xFF00)));
        const __m256i whole = _mm256_or_si256(c.rb, _mm256_slli_epi32(c.g, 8));
        // The first row whose top is at or below `top` (0 at the least).
        const __m256i first =
            _mm256_max_epi32(_mm256_srai_epi32(_mm256_add_epi32(top, _mm256_set1_epi32(255)), 8),
                             _mm256_setzero_si256());
        // Rows first .. next of the full lanes. Rows above a lane's `next`
        // are not drawn yet and may take anything (later steps or the sky
        // overwrite them); rows below it are final. So every row from the
        // greatest `next` to the least `first` is stored masked to the
        // lanes whose `next` is at or below it, in one loop (its end is one
        // mispredicted branch a step).
        const int32_t high = MaxLane(_mm256_blendv_epi8(_mm256_set1_epi32(-1), next, full));
        const int32_t low = MinLane(_mm256_blendv_epi8(_mm256_set1_epi32(INT32_MAX), first, full));
        __m256i r = _mm256_set1_epi32(high);
        for (int32_t row = high; row >= low; --row, r = _mm256_sub_epi32(r, _mm256_set1_epi32(1))) {
            const __m256i value = _mm256_blendv_epi8(whole, resolved, _mm256_cmpeq_epi32(next, r));
            const __m256i keep = _mm256_cmpgt_epi32(r, next);
            _mm256_maskstore_epi32(reinterpret_cast<int*>(out + row * kTileColumns),
                                   _mm256_xor_si256(keep, _mm256_set1_epi32(-1)), value);
        }
        // The row `top` lies in, covered from its bottom up to `top`.
        const __m256i below = _mm256_sub_epi32(first, _mm256_set1_epi32(1));
        const __m256i covered = _mm256_sub_epi32(_mm256_slli_epi32(first, 8), top);
        next = _mm256_blendv_epi8(next, below, full);
        cover = _mm256_blendv_epi8(cover, covered, full);
        wrb = _mm256_blendv_epi8(wrb, _mm256_mullo_epi32(c.rb, covered), full);
        wg = _mm256_blendv_epi8(wg, _mm256_mullo_epi16(c.g, covered), full);
    }
    wrb = _mm256_add_epi32(wrb, _mm256_mullo_epi32(c.rb, more));
    wg = _mm256_add_epi32(wg, _mm256_mullo_epi16(c.g, more));
    cover = _mm256_blendv_epi8(cover, reach, partial);
    const __m256i finished = _mm256_cmpgt_epi32(_mm256_set1_epi32(1), top);
    edge = _mm256_blendv_epi8(
        edge, _mm256_blendv_epi8(offset, _mm256_set1_epi32(INT32_MIN), finished), drawing);
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
    Level8 levels[kMaxLevels];
    const int levelCount = std::min(terrain.LevelCount(), kMaxLevels);
    for (int l = 0; l < levelCount; ++l)
        levels[l] = MakeLevel8(terrain.Level(l));
    const __m256i dirX = _mm256_load_si256(reinterpret_cast<const __m256i*>(dx));
    const __m256i dirY = _mm256_load_si256(reinterpret_cast<const __m256i*>(dy));
    const __m256i camU = _mm256_set1_epi32(static_cast<int>(f.camU));
    const __m256i camV = _mm256_set1_epi32(static_cast<int>(f.camV));
    const __m256i camUnits = _mm256_set1_epi32(static_cast<int>(f.camUnits));

    // Per lane: the last row not drawn (`next`), how much of that row
    // nearer ground covers (`cover`, Q8) and by which colours (`wrb`, `wg`:
    // colour x coverage summed, in the colour words' fields), and `edge`: a
    // step draws in the lane when its row offset from the horizon is below
    // it ((next + 1) * 256 - cover - horizon; the least int32 once the
    // column is done).
    const int32_t done = INT32_MIN;
    __m256i next = _mm256_set1_epi32(f.height - 1);
    __m256i cover = _mm256_setzero_si256();
    __m256i wrb = _mm256_setzero_si256(), wg = _mm256_setzero_si256();
    __m256i edge = _mm256_set1_epi32(static_cast<int32_t>(int64_t{f.height} * 256 - f.horizonQ8));
    const __m256i horizon = _mm256_set1_epi32(static_cast<int32_t>(f.horizonQ8));
    int32_t highestEdge = static_cast<int32_t>(int64_t{f.height} * 256 - f.horizonQ8);
    bool edgeStale = false;  // edge changed since highestEdge was taken
    int block = sideLog2;
    // Whether to look for a run to skip: not right after a step that drew,
    // as the next one nearly always draws too (a step not skipped is only
    // sampled for nothing).
    bool trySkip = true;
    for (int at = 0; at < stepCount;) {
        const Step& s = steps[static_cast<size_t>(at)];
        const __m256i d8 = _mm256_set1_epi32(static_cast<int>(s.d8));
        const __m256i u = _mm256_add_epi32(camU, _mm256_mullo_epi32(dirX, d8));
        const __m256i v = _mm256_add_epi32(camV, _mm256_mullo_epi32(dirY, d8));
        bool laneClear = false;  // no lane can draw at this step
        if (trySkip && s.minBlock < sideLog2) {
            // After a step that drew nothing the next seldom draws: before
            // sampling it, each lane's block maximum at the finest block
            // that bounds the step's samples, against the lane's own edge.
            // The group's test below bounds all lanes by the highest edge
            // and needs them in one block, so it can pass only where this
            // one does: it is tried only then, for a run of steps to skip.
            const int k = s.minBlock;
            const __m128i cellShift = _mm_cvtsi32_si128(32 - sideLog2 + k);
            const __m256i index = _mm256_add_epi32(
                _mm256_sll_epi32(_mm256_srl_epi32(v, cellShift), _mm_cvtsi32_si128(sideLog2 - k)),
                _mm256_srl_epi32(u, cellShift));
            const __m256i highest = Gather16(terrain.BlockMax(k), index);
            const __m256i lowest =
                RowOffset8(_mm256_sub_epi32(camUnits, _mm256_slli_epi32(highest, 4)), s.q, s.shift);
            const __m256i reaches = _mm256_cmpgt_epi32(edge, lowest);
            laneClear = _mm256_testz_si256(reaches, reaches);
        }
        // Skip: the coarsest block holding every lane's ray from here to the
        // run's end, whose maximum cannot reach the highest edge.
        int skipTo = at;
        if (trySkip && (laneClear || s.minBlock >= sideLog2)) {
            if (edgeStale) {
                highestEdge = MaxLane(edge);
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

        const Level8& la = levels[s.level];
        const Texels8 ta = Locate8(la, u, v);
        __m256i h = Height8(la, ta);
        Texels8 tb{};
        if (s.blend != 0) {
            tb = Locate8(levels[s.level + 1], u, v);
            const __m256i hb = Height8(levels[s.level + 1], tb);
            // h (256 - blend) + hb blend as one multiply-add of the pair,
            // each taken 2^15 down as in Height8 (2^23 put back).
            const __m256i pair = _mm256_xor_si256(_mm256_or_si256(h, _mm256_slli_epi32(hb, 16)),
                                                  _mm256_set1_epi32(static_cast<int>(0x80008000u)));
            const __m256i weights =
                _mm256_set1_epi32(static_cast<int>((256 - s.blend) | s.blend << 16));
            h = _mm256_srli_epi32(_mm256_add_epi32(_mm256_madd_epi16(pair, weights),
                                                   _mm256_set1_epi32((1 << 23) + 128)),
                                  8);
        }
        const __m256i below = _mm256_sub_epi32(camUnits, _mm256_slli_epi32(h, 4));
        const __m256i offset = RowOffset8(below, s.q, s.shift);
        const __m256i drawing = _mm256_cmpgt_epi32(edge, offset);
        trySkip = _mm256_testz_si256(drawing, drawing);
        if (trySkip) continue;

        Colours c = Colour8(la, ta);
        if (s.blend != 0)
            c = Lerp(c, Colour8(levels[s.level + 1], tb),
                     _mm256_set1_epi32(static_cast<int>(s.blend * 0x10001u)));
        {  // the haze: toward white, a lerp to 255 in every field
            const __m256i w16 = _mm256_set1_epi32(static_cast<int>(s.haze * 0x10001u));
            c.rb = LerpFields(c.rb, _mm256_set1_epi32(0x00FF00FF), w16);
            c.g = LerpFields(c.g, _mm256_set1_epi32(0xFF), w16);
        }
        DrawStep(c, offset, drawing, horizon, tile + lane0, next, cover, wrb, wg, edge);
        const __m256i closed = _mm256_cmpeq_epi32(edge, _mm256_set1_epi32(done));
        if (_mm256_movemask_ps(_mm256_castsi256_ps(closed)) == 0xFF) break;  // every top drawn
        edgeStale = true;
    }
    alignas(32) int32_t nexts[kLanes], covers[kLanes];
    alignas(32) uint32_t rbs[kLanes], gs[kLanes];
    _mm256_store_si256(reinterpret_cast<__m256i*>(nexts), next);
    _mm256_store_si256(reinterpret_cast<__m256i*>(covers), cover);
    _mm256_store_si256(reinterpret_cast<__m256i*>(rbs), wrb);
    _mm256_store_si256(reinterpret_cast<__m256i*>(gs), wg);
    for (int j = 0; j < kLanes; ++j) {
        const int i = lane0 + j;
        const uint64_t weighted =
            (rbs[j] & 0xFFFFu) | (uint64_t{gs[j]} << 16) | (uint64_t{rbs[j] >> 16} << 32);
        ends.next[i] = nexts[j];
        ends.weighted[i] = nexts[j] >= 0 ? weighted : 0;
        ends.cover[i] = nexts[j] >= 0 ? static_cast<uint32_t>(covers[j]) : 0;
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
