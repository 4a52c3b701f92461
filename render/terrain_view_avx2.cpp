// terrain_view_avx2.cpp -- the renderer's AVX2 path: eight columns marched in step, chosen at run
// time
#include <algorithm>

#include "render/terrain_view_group.h"
#include "render/terrain_view_simd.h"

#if defined(__x86_64__)
#include <immintrin.h>

// Only the functions marked so use AVX2; the rest of the program runs on any
// x86-64 processor, and RenderAvx2 is called only after CpuHasAvx2().
#define FLYOVER_AVX2 __attribute__((target("avx2,bmi,bmi2")))

namespace terrain_fast {

namespace {

constexpr int kLanes = 8;
constexpr int kCheckEvery = 8;  // steps between checks for a group of full columns

// Marches columns col0 .. col0 + 7 (columns past the view repeat the last
// one) and records every step.
FLYOVER_AVX2 void MarchGroup(const FramePlan& plan, int col0, GroupRecord<kLanes>& record) {
    alignas(32) uint32_t dxs[kLanes], dys[kLanes];
    for (int lane = 0; lane < kLanes; ++lane)
        ColumnDirection(plan, std::min(col0 + lane, plan.width - 1), dxs[lane], dys[lane]);
    const __m256i dx = _mm256_load_si256(reinterpret_cast<const __m256i*>(dxs));
    const __m256i dy = _mm256_load_si256(reinterpret_cast<const __m256i*>(dys));
    __m256i x = _mm256_set1_epi32(static_cast<int>(plan.startX));
    __m256i y = _mm256_set1_epi32(static_cast<int>(plan.startY));
    const __m256i rows = _mm256_set1_epi32(plan.rows);
    const __m256i heightRound = _mm256_set1_epi32(plan.heightRound);
    const __m256i third16 = _mm256_set1_epi32(43691);  // floor(x / 3) = (x * 43691) >> 17
    const __m256i one = _mm256_set1_epi32(1);
    const __m256i rowMask = _mm256_set1_epi32(0xFF00);
    const __m256i three = _mm256_set1_epi32(3);
    const __m256i byteMask = _mm256_set1_epi32(0xFF);
    const int* heightWords = reinterpret_cast<const int*>(plan.sources->heightMap);
    __m256i fill = _mm256_setzero_si256();
    __m256i hits = _mm256_setzero_si256();

    int s = 0;
    while (s < kMarchSteps) {
        for (int k = 0; k < kCheckEvery; ++k, ++s) {
            x = _mm256_add_epi32(x, dx);
            y = _mm256_add_epi32(y, dy);
            const __m256i cell = _mm256_or_si256(
                _mm256_and_si256(_mm256_srli_epi32(y, 16), rowMask), _mm256_srli_epi32(x, 24));
            // The aligned 32-bit word holding the cell's byte, so that no read
            // leaves the 65536-byte map; then the byte itself.
            const __m256i word = _mm256_i32gather_epi32(heightWords, _mm256_srli_epi32(cell, 2), 4);
            const __m256i shift = _mm256_slli_epi32(_mm256_and_si256(cell, three), 3);
            const __m256i h = _mm256_and_si256(_mm256_srlv_epi32(word, shift), byteMask);
            // Projected rows, as in FramePlan: twice a third by a 16-bit
            // multiply (h * 256 + heightRound < 2^16), then (2N + 1) / 2m in
            // single precision.
            const __m256i twoThirds = _mm256_andnot_si256(
                one, _mm256_mulhi_epu16(_mm256_add_epi32(_mm256_slli_epi32(h, 8), heightRound),
                                        third16));
            const __m256i n = _mm256_add_epi32(twoThirds, _mm256_set1_epi32(plan.stepAddTwice[s]));
            const __m256i quotient = _mm256_cvttps_epi32(
                _mm256_mul_ps(_mm256_cvtepi32_ps(n), _mm256_set1_ps(kStepHalfReciprocal[s])));
            const __m256i projected =
                _mm256_sub_epi32(quotient, _mm256_set1_epi32(plan.stepSub[s]));
            const __m256i next = _mm256_max_epi32(fill, _mm256_min_epi32(projected, rows));
            const __m256i hit = _mm256_cmpgt_epi32(next, fill);
            hits = _mm256_or_si256(_mm256_srli_epi32(hits, 1), _mm256_slli_epi32(hit, 31));
            _mm256_store_si256(reinterpret_cast<__m256i*>(record.cells[s]), cell);
            _mm256_store_si256(reinterpret_cast<__m256i*>(record.fills[s]), next);
            fill = next;
        }
        const bool full =
            _mm256_movemask_epi8(_mm256_cmpeq_epi32(fill, rows)) == static_cast<int>(0xFFFFFFFFu);
        if (s % 32 == 0 || full) {
            // Bit k of a word is step 32 * word + k; a word cut short is aligned.
            const int word = (s - 1) / 32;
            const int done = s - word * 32;
            _mm256_store_si256(reinterpret_cast<__m256i*>(record.hits[word]),
                               _mm256_srli_epi32(hits, 32 - done));
            hits = _mm256_setzero_si256();
            if (full) {
                for (int rest = word + 1; rest < kMarchSteps / 32; ++rest)
                    _mm256_store_si256(reinterpret_cast<__m256i*>(record.hits[rest]), hits);
                return;
            }
        }
    }
}

FLYOVER_AVX2 void StageAndWriteGroup(const FramePlan& plan, int col0,
                                     const GroupRecord<kLanes>& record, uint16_t* ground) {
    const int lanes = std::min(kLanes, plan.width - col0);
    for (int lane = 0; lane < lanes; ++lane) {
        const int fill = StageLane(plan, record, lane, ground);
        WriteColumn(plan, col0 + lane, ground, fill);
    }
}

}  // namespace

FLYOVER_AVX2 void RenderAvx2(const FramePlan& plan) {
    thread_local GroupRecord<kLanes> record;
    int stride = 0;
    uint16_t* const ground = StagingColumns(1, plan.rows, stride);
    for (int col0 = 0; col0 < plan.width; col0 += kLanes) {
        MarchGroup(plan, col0, record);
        StageAndWriteGroup(plan, col0, record, ground);
    }
}

}  // namespace terrain_fast

#else

namespace terrain_fast {
void RenderAvx2(const FramePlan&) {}
}  // namespace terrain_fast

#endif
