// terrain_view_sse2.cpp -- the renderer's SSE2 path: four columns marched in step, on every x86-64
// processor
#include <algorithm>

#include "render/render_scratch.h"
#include "render/terrain_view_fast.h"

#if defined(__x86_64__)
#include <emmintrin.h>

namespace terrain_fast {

namespace {

constexpr int kLanes = 4;
constexpr int kCheckEvery = 8;  // steps in a stretch of the march

// mask ? a : b for each 32-bit lane (mask lanes all ones or all zeros).
inline __m128i Select(__m128i mask, __m128i a, __m128i b) {
    return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b));
}

// The ground maxima of the frame (see terrain_view_plan.h).
void BuildGroundMaxima(const uint8_t* heightMap, uint8_t* maxima) {
    constexpr int kSide = 1 << kBlockShift;
    constexpr int kTable = kBlocks * kBlocks;
    constexpr int kMask = kBlocks - 1;
    for (int by = 0; by < kBlocks; ++by) {
        const uint8_t* const rows = heightMap + by * kSide * 256;
        for (int v = 0; v < 16; ++v) {
            // Sixteen map columns over the block's eight rows, then the
            // maximum of each run of eight bytes lands in its lowest byte.
            __m128i m = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows + v * 16));
            for (int r = 1; r < kSide; ++r)
                m = _mm_max_epu8(
                    m, _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows + r * 256 + v * 16)));
            m = _mm_max_epu8(m, _mm_srli_epi64(m, 8));
            m = _mm_max_epu8(m, _mm_srli_epi64(m, 16));
            m = _mm_max_epu8(m, _mm_srli_epi64(m, 32));
            maxima[by * kBlocks + v * 2] = static_cast<uint8_t>(_mm_extract_epi16(m, 0));
            maxima[by * kBlocks + v * 2 + 1] = static_cast<uint8_t>(_mm_extract_epi16(m, 4));
        }
    }
    for (int by = 0; by < kBlocks; ++by)
        for (int bx = 0; bx < kBlocks; ++bx) {
            const int at = by * kBlocks + bx;
            const int right = by * kBlocks + ((bx + 1) & kMask);
            const int below = ((by + 1) & kMask) * kBlocks + bx;
            const int diagonal = ((by + 1) & kMask) * kBlocks + ((bx + 1) & kMask);
            maxima[kTable + at] = std::max(maxima[at], maxima[right]);
            maxima[2 * kTable + at] = std::max(maxima[at], maxima[below]);
            maxima[3 * kTable + at] = std::max(std::max(maxima[at], maxima[right]),
                                               std::max(maxima[below], maxima[diagonal]));
        }
}

inline __m128i Min32(__m128i a, __m128i b) {
    return Select(_mm_cmpgt_epi32(a, b), b, a);
}
inline __m128i Max32(__m128i a, __m128i b) {
    return Select(_mm_cmpgt_epi32(a, b), a, b);
}

// The first and the last cell coordinate (either may lie outside 0 .. 255:
// the map repeats) that four rays cross between the 8.24 positions `from`
// and `to`, lane by lane. Each ray is straight, so its cells lie between
// those of its two ends. The rays must lie within 2^31 of one another
// (MarchGroup makes sure they lie within 128 cells).
inline void CellRange(__m128i from, __m128i to, int& first, int& last) {
    const uint32_t base = static_cast<uint32_t>(_mm_cvtsi128_si32(from));
    const __m128i origin = _mm_set1_epi32(static_cast<int>(base));
    const __m128i a = _mm_sub_epi32(from, origin), b = _mm_sub_epi32(to, origin);
    __m128i lo = Min32(a, b), hi = Max32(a, b);
    lo = Min32(lo, _mm_shuffle_epi32(lo, 0x4E));
    hi = Max32(hi, _mm_shuffle_epi32(hi, 0x4E));
    lo = Min32(lo, _mm_shuffle_epi32(lo, 0xB1));
    hi = Max32(hi, _mm_shuffle_epi32(hi, 0xB1));
    first = static_cast<int>((int64_t{base} + _mm_cvtsi128_si32(lo)) >> 24);
    last = static_cast<int>((int64_t{base} + _mm_cvtsi128_si32(hi)) >> 24);
}

// Looks at the stretch of steps from s on: returns true when no ray can
// meet the ground there (rows filled so far: `fill`; maxima null: never),
// else records its cells and reads their heights into `heights`. Either way
// moves x and y past it.
__attribute__((always_inline)) inline bool ReadStretch(const MarchPlan& plan, const uint8_t* maxima,
                                                       __m128i fill, int s, __m128i& x, __m128i& y,
                                                       __m128i dx, __m128i dy, __m128i dx8,
                                                       __m128i dy8, GroupRecord<kLanes>& record,
                                                       int32_t (&heights)[kCheckEvery][kLanes]) {
    if (maxima) {
        // The fewest rows filled give the lowest ray, at one end of the stretch.
        __m128i low = Min32(fill, _mm_shuffle_epi32(fill, 0x4E));
        low = Min32(low, _mm_shuffle_epi32(low, 0xB1));
        const int fewest = _mm_cvtsi128_si32(low);
        const int64_t lowestRay =
            std::min(RayHeight(plan, s, fewest), RayHeight(plan, s + kCheckEvery - 1, fewest));
        int x0, x1, y0, y1;
        CellRange(_mm_add_epi32(x, dx), _mm_add_epi32(x, dx8), x0, x1);
        CellRange(_mm_add_epi32(y, dy), _mm_add_epi32(y, dy8), y0, y1);
        const int highest = HighestGroundIn(maxima, x0 >> kBlockShift, x1 >> kBlockShift,
                                            y0 >> kBlockShift, y1 >> kBlockShift);
        if (int64_t{highest} << kHeightShift <= lowestRay) {
            x = _mm_add_epi32(x, dx8);
            y = _mm_add_epi32(y, dy8);
            return true;
        }
    }
    const __m128i rowMask = _mm_set1_epi32(0xFF00);
    const uint8_t* const heightMap = plan.sources->heightMap;
    for (int k = 0; k < kCheckEvery; ++k) {
        x = _mm_add_epi32(x, dx);
        y = _mm_add_epi32(y, dy);
        const __m128i cell =
            _mm_or_si128(_mm_and_si128(_mm_srli_epi32(y, 16), rowMask), _mm_srli_epi32(x, 24));
        _mm_store_si128(reinterpret_cast<__m128i*>(record.cells[s + k]), cell);
        for (int lane = 0; lane < kLanes; ++lane)
            heights[k][lane] = heightMap[record.cells[s + k][lane]];
    }
    return false;
}

// Marches columns col0 .. col0 + 3 (columns past the view repeat the last
// one) and records every step, in stretches as the AVX2 path does; here a
// stretch is skipped when the lowest of the four rays stays above the
// highest ground in the box of cells all four cross.
void MarchGroup(const MarchPlan& plan, int col0, const uint8_t* maxima,
                GroupRecord<kLanes>& record) {
    alignas(16) uint32_t dxs[kLanes], dys[kLanes];
    for (int lane = 0; lane < kLanes; ++lane)
        ColumnDirection(plan, std::min(col0 + lane, plan.width - 1), dxs[lane], dys[lane]);
    const __m128i dx = _mm_load_si128(reinterpret_cast<const __m128i*>(dxs));
    const __m128i dy = _mm_load_si128(reinterpret_cast<const __m128i*>(dys));
    const __m128i dx8 = _mm_slli_epi32(dx, 3);
    const __m128i dy8 = _mm_slli_epi32(dy, 3);
    __m128i x = _mm_set1_epi32(static_cast<int>(plan.startX));
    __m128i y = _mm_set1_epi32(static_cast<int>(plan.startY));
    const __m128i rows = _mm_set1_epi32(plan.rows);
    const __m128i heightRound = _mm_set1_epi32(plan.heightRound);
    const __m128i third16 = _mm_set1_epi32(43691);  // floor(x / 3) = (x * 43691) >> 17
    const __m128i one = _mm_set1_epi32(1);
    __m128i fill = _mm_setzero_si128();
    __m128i hits = _mm_setzero_si128();

    // Skipping needs the rays boxed: only where columns col0 and col0 + 3 look
    // at most 128 angle units apart.
    const int spread =
        ColumnOffset(plan, col0) - ColumnOffset(plan, std::min(col0 + kLanes - 1, plan.width - 1));
    if (spread > 128) maxima = nullptr;
    alignas(16) int32_t heights[2][kCheckEvery][kLanes];
    bool skip[2] = {false, false};
    int slot = 0;
    skip[0] = ReadStretch(plan, maxima, fill, 0, x, y, dx, dy, dx8, dy8, record, heights[0]);
    for (int s = 0; s < kMarchSteps; slot ^= 1) {
        if (s + kCheckEvery < kMarchSteps)
            skip[slot ^ 1] = ReadStretch(plan, maxima, fill, s + kCheckEvery, x, y, dx, dy, dx8,
                                         dy8, record, heights[slot ^ 1]);
        if (skip[slot]) {
            hits = _mm_srli_epi32(hits, kCheckEvery);
            s += kCheckEvery;
        } else {
            for (int k = 0; k < kCheckEvery; ++k, ++s) {
                const __m128i h =
                    _mm_load_si128(reinterpret_cast<const __m128i*>(heights[slot][k]));
                // Projected rows, as in MarchPlan: twice a third by a 16-bit
                // multiply (h * 256 + heightRound < 2^16), then (2N + 1) / 2m
                // in single precision.
                const __m128i twoThirds = _mm_andnot_si128(
                    one,
                    _mm_mulhi_epu16(_mm_add_epi32(_mm_slli_epi32(h, 8), heightRound), third16));
                const __m128i n = _mm_add_epi32(twoThirds, _mm_set1_epi32(plan.stepAddTwice[s]));
                const __m128i quotient = _mm_cvttps_epi32(_mm_mul_ps(
                    _mm_cvtepi32_ps(n), _mm_set1_ps(kStepHalfReciprocal[static_cast<size_t>(s)])));
                __m128i projected = _mm_sub_epi32(quotient, _mm_set1_epi32(plan.stepSub[s]));
                projected = Select(_mm_cmpgt_epi32(projected, rows), rows, projected);
                const __m128i hit = _mm_cmpgt_epi32(projected, fill);
                const __m128i next = Select(hit, projected, fill);
                hits = _mm_or_si128(_mm_srli_epi32(hits, 1), _mm_slli_epi32(hit, 31));
                _mm_store_si128(reinterpret_cast<__m128i*>(record.fills[s]), next);
                fill = next;
            }
        }
        const bool full = _mm_movemask_epi8(_mm_cmpeq_epi32(fill, rows)) == 0xFFFF;
        if (s % 32 == 0 || full) {
            // Bit k of a word is step 32 * word + k; a word cut short is aligned.
            const int word = (s - 1) / 32;
            const int done = s - word * 32;
            _mm_store_si128(reinterpret_cast<__m128i*>(record.hits[word]),
                            _mm_srl_epi32(hits, _mm_cvtsi32_si128(32 - done)));
            hits = _mm_setzero_si128();
            if (full) {
                for (int rest = word + 1; rest < kMarchSteps / 32; ++rest)
                    _mm_store_si128(reinterpret_cast<__m128i*>(record.hits[rest]), hits);
                return;
            }
        }
    }
}

}  // namespace

void RenderSse2(const MarchPlan& plan, RenderScratch& scratch) {
    GroupRecord<kLanes>& record = scratch.narrowRecord;
    alignas(16) uint8_t maxima[kGroundMaximaBytes];
    BuildGroundMaxima(plan.sources->heightMap, maxima);
    int stride = 0;
    uint16_t* const ground = scratch.Staging(1, plan.rows, stride);
    for (int col0 = 0; col0 < plan.width; col0 += kLanes) {
        MarchGroup(plan, col0, maxima, record);
        const int lanes = std::min(kLanes, plan.width - col0);
        for (int lane = 0; lane < lanes; ++lane) {
            const int fill = StageLane(plan, record, lane, ground);
            WriteColumn(plan, col0 + lane, ground, fill);
        }
    }
}

}  // namespace terrain_fast

#else

namespace terrain_fast {
void RenderSse2(const MarchPlan&, RenderScratch&) {}
}  // namespace terrain_fast

#endif
