// terrain_view_sse2.cpp -- the renderer's SSE2 path: four columns marched in step, on every x86-64
// processor
#include <algorithm>

#include "render/terrain_view_group.h"
#include "render/terrain_view_simd.h"

#if defined(__x86_64__)
#include <emmintrin.h>

namespace terrain_fast {

namespace {

constexpr int kLanes = 4;
constexpr int kCheckEvery = 8;  // steps between checks for a group of full columns

// mask ? a : b for each 32-bit lane (mask lanes all ones or all zeros).
inline __m128i Select(__m128i mask, __m128i a, __m128i b) {
    return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b));
}

// Marches columns col0 .. col0 + 3 (columns past the view repeat the last
// one) and records every step.
void MarchGroup(const FramePlan& plan, int col0, GroupRecord<kLanes>& record) {
    alignas(16) uint32_t dxs[kLanes], dys[kLanes];
    for (int lane = 0; lane < kLanes; ++lane)
        ColumnDirection(plan, std::min(col0 + lane, plan.width - 1), dxs[lane], dys[lane]);
    const __m128i dx = _mm_load_si128(reinterpret_cast<const __m128i*>(dxs));
    const __m128i dy = _mm_load_si128(reinterpret_cast<const __m128i*>(dys));
    __m128i x = _mm_set1_epi32(static_cast<int>(plan.startX));
    __m128i y = _mm_set1_epi32(static_cast<int>(plan.startY));
    const __m128i rows = _mm_set1_epi32(plan.rows);
    const __m128i heightRound = _mm_set1_epi32(plan.heightRound);
    const __m128i third16 = _mm_set1_epi32(43691);  // floor(x / 3) = (x * 43691) >> 17
    const __m128i one = _mm_set1_epi32(1);
    const __m128i rowMask = _mm_set1_epi32(0xFF00);
    const uint8_t* heightMap = plan.sources->heightMap;
    __m128i fill = _mm_setzero_si128();
    __m128i hits = _mm_setzero_si128();

    int s = 0;
    while (s < kMarchSteps) {
        for (int k = 0; k < kCheckEvery; ++k, ++s) {
            x = _mm_add_epi32(x, dx);
            y = _mm_add_epi32(y, dy);
            const __m128i cell =
                _mm_or_si128(_mm_and_si128(_mm_srli_epi32(y, 16), rowMask), _mm_srli_epi32(x, 24));
            // Cells fit in 16 bits: the even 16-bit lanes hold them.
            const __m128i h = _mm_set_epi32(
                heightMap[_mm_extract_epi16(cell, 6)], heightMap[_mm_extract_epi16(cell, 4)],
                heightMap[_mm_extract_epi16(cell, 2)], heightMap[_mm_extract_epi16(cell, 0)]);
            // Projected rows, as in FramePlan: twice a third by a 16-bit
            // multiply (h * 256 + heightRound < 2^16), then (2N + 1) / 2m in
            // single precision.
            const __m128i twoThirds = _mm_andnot_si128(
                one, _mm_mulhi_epu16(_mm_add_epi32(_mm_slli_epi32(h, 8), heightRound), third16));
            const __m128i n = _mm_add_epi32(twoThirds, _mm_set1_epi32(plan.stepAddTwice[s]));
            const __m128i quotient = _mm_cvttps_epi32(
                _mm_mul_ps(_mm_cvtepi32_ps(n), _mm_set1_ps(kStepHalfReciprocal[s])));
            __m128i projected = _mm_sub_epi32(quotient, _mm_set1_epi32(plan.stepSub[s]));
            projected = Select(_mm_cmpgt_epi32(projected, rows), rows, projected);
            const __m128i hit = _mm_cmpgt_epi32(projected, fill);
            const __m128i next = Select(hit, projected, fill);
            hits = _mm_or_si128(_mm_srli_epi32(hits, 1), _mm_slli_epi32(hit, 31));
            _mm_store_si128(reinterpret_cast<__m128i*>(record.cells[s]), cell);
            _mm_store_si128(reinterpret_cast<__m128i*>(record.fills[s]), next);
            fill = next;
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

void RenderSse2(const FramePlan& plan) {
    thread_local GroupRecord<kLanes> record;
    int stride = 0;
    uint16_t* const ground = StagingColumns(1, plan.rows, stride);
    for (int col0 = 0; col0 < plan.width; col0 += kLanes) {
        MarchGroup(plan, col0, record);
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
void RenderSse2(const FramePlan&) {}
}  // namespace terrain_fast

#endif
