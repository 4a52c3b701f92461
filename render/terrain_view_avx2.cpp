// terrain_view_avx2.cpp -- the renderer's AVX2 path: eight columns marched in step, chosen at run
// time
#include <algorithm>
#include <memory>
#include <vector>

#include "render/render_scratch.h"
#include "render/terrain_view_fast.h"

#if defined(__x86_64__)
#include <immintrin.h>

// Only the functions marked so use AVX2; the rest of the program runs on any
// x86-64 processor, and RenderAvx2 is called only after CpuHasAvx2().
#define FLYOVER_AVX2 __attribute__((target("avx2,bmi,bmi2")))

namespace terrain_fast {

namespace {

constexpr int kLanes = 8;
constexpr int kStretchShift = 3;
constexpr int kCheckEvery = 1 << kStretchShift;  // steps in a stretch of the march
// A ray moves under one cell a step, so over a stretch it crosses at most two
// blocks each way: one window of the ground maxima holds them.
static_assert(kCheckEvery <= (1 << kBlockShift));

constexpr int kBlockRowBytes = 256 << kBlockShift;  // map bytes in one row of blocks

// How a marched stretch reads the heights of its cells: eight byte loads a
// step, or one gather a step from a padded copy of the map. Which is quicker
// depends on the processor's gathers (see FastestRenderPath).
enum class HeightReads { Loads, Gather };

// The highest height-map byte of each 8 x 8 block of cells; block (bx, by)
// at by * 32 + bx. Built once per frame (about one read of the map), so that
// stretches of a march that cannot meet the ground are skipped. With kCopy,
// also copies the map to `copy` on the way (one read serves both).
template <bool kCopy>
FLYOVER_AVX2 __attribute__((noinline)) void BuildBlockMaxima(const uint8_t* heightMap,
                                                             uint8_t* maxima, uint8_t* copy) {
    for (int by = 0; by < kBlocks; ++by) {
        const uint8_t* const rows = heightMap + by * kBlockRowBytes;
        uint8_t* const copyRows = kCopy ? copy + by * kBlockRowBytes : nullptr;
        __m256i columns[8];
        for (int v = 0; v < 8; ++v) {
            columns[v] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(rows + v * 32));
            if (kCopy)
                _mm256_store_si256(reinterpret_cast<__m256i*>(copyRows + v * 32), columns[v]);
        }
        for (int r = 1; r < 8; ++r)
            for (int v = 0; v < 8; ++v) {
                const __m256i bytes =
                    _mm256_loadu_si256(reinterpret_cast<const __m256i*>(rows + r * 256 + v * 32));
                if (kCopy)
                    _mm256_store_si256(reinterpret_cast<__m256i*>(copyRows + r * 256 + v * 32),
                                       bytes);
                columns[v] = _mm256_max_epu8(columns[v], bytes);
            }
        for (int v = 0; v < 8; ++v) {
            // The maximum of each run of eight bytes lands in its lowest byte.
            __m256i m = columns[v];
            m = _mm256_max_epu8(m, _mm256_srli_epi64(m, 8));
            m = _mm256_max_epu8(m, _mm256_srli_epi64(m, 16));
            m = _mm256_max_epu8(m, _mm256_srli_epi64(m, 32));
            uint8_t* const out = maxima + by * kBlocks + v * 4;
            out[0] = static_cast<uint8_t>(_mm256_extract_epi8(m, 0));
            out[1] = static_cast<uint8_t>(_mm256_extract_epi8(m, 8));
            out[2] = static_cast<uint8_t>(_mm256_extract_epi8(m, 16));
            out[3] = static_cast<uint8_t>(_mm256_extract_epi8(m, 24));
        }
    }
}

// After BuildBlockMaxima (table 0): the maxima of windows of blocks reaching
// right and down from block (bx, by), the map wrapping round: table 1 over
// 2 x 1 blocks (two across), table 2 over 1 x 2, table 3 over 2 x 2.
FLYOVER_AVX2 __attribute__((noinline)) void BuildWindowMaxima(uint8_t* maxima) {
    constexpr int kTable = kBlocks * kBlocks;
    alignas(32) uint8_t twice[2 * kBlocks];
    for (int by = 0; by < kBlocks; ++by) {
        // A row followed by itself, so that the block to the right of the
        // last one is the first.
        const __m256i row =
            _mm256_load_si256(reinterpret_cast<const __m256i*>(maxima + by * kBlocks));
        _mm256_store_si256(reinterpret_cast<__m256i*>(twice), row);
        _mm256_store_si256(reinterpret_cast<__m256i*>(twice + kBlocks), row);
        const __m256i right = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(twice + 1));
        _mm256_store_si256(reinterpret_cast<__m256i*>(maxima + kTable + by * kBlocks),
                           _mm256_max_epu8(row, right));
    }
    for (int by = 0; by < kBlocks; ++by) {
        const int below = (by + 1) & (kBlocks - 1);
        for (int table = 0; table < 2; ++table) {
            const uint8_t* const in = maxima + table * kTable;
            const __m256i a =
                _mm256_load_si256(reinterpret_cast<const __m256i*>(in + by * kBlocks));
            const __m256i b =
                _mm256_load_si256(reinterpret_cast<const __m256i*>(in + below * kBlocks));
            _mm256_store_si256(
                reinterpret_cast<__m256i*>(maxima + (table + 2) * kTable + by * kBlocks),
                _mm256_max_epu8(a, b));
        }
    }
}

// Along one axis, for each of the eight rays: the first block holding a cell
// the ray crosses between the 8.24 positions `from` and `to` (under eight
// cells apart; -1 for the last block of the map), and the number of further
// blocks (0 or 1).
FLYOVER_AVX2 __attribute__((always_inline)) inline void BlockSpan(__m256i from, __m256i to,
                                                                  __m256i& first, __m256i& more) {
    const __m256i a = _mm256_srli_epi32(from, 24);
    const __m256i b = _mm256_srli_epi32(to, 24);
    // b - a the short way round the map: the difference's low byte, signed.
    const __m256i d = _mm256_srai_epi32(_mm256_slli_epi32(_mm256_sub_epi32(b, a), 24), 24);
    const __m256i zero = _mm256_setzero_si256();
    first = _mm256_srai_epi32(_mm256_add_epi32(a, _mm256_min_epi32(d, zero)), kBlockShift);
    more = _mm256_sub_epi32(
        _mm256_srai_epi32(_mm256_add_epi32(a, _mm256_max_epi32(d, zero)), kBlockShift), first);
}

// Looks at the stretch of steps from s on: returns true when no ray can
// meet the ground there (rows filled so far: `fill`), else records its cells
// and reads their heights into `heights`. Either way moves x and y past it.
// `heightMap` is the scene's map for HeightReads::Loads, the padded copy for
// HeightReads::Gather.
template <HeightReads kReads>
FLYOVER_AVX2 __attribute__((always_inline)) inline bool ReadStretch(
    const MarchPlan& plan, const uint8_t* maxima, const uint8_t* heightMap, __m256i fill, int s,
    __m256i& x, __m256i& y, __m256i dx, __m256i dy, __m256i dxStretch, __m256i dyStretch,
    GroupRecord<kLanes>& record, int32_t (&heights)[kCheckEvery][kLanes]) {
    // Each ray on its own: the highest ground in the blocks it crosses (one
    // window of the maxima) against its lowest height over the stretch, at
    // one end: R(s', fill) for the first and the last step s' of the stretch.
    __m256i bx, moreX, by, moreY;
    BlockSpan(_mm256_add_epi32(x, dx), _mm256_add_epi32(x, dxStretch), bx, moreX);
    BlockSpan(_mm256_add_epi32(y, dy), _mm256_add_epi32(y, dyStretch), by, moreY);
    const __m256i mask = _mm256_set1_epi32(kBlocks - 1);
    const __m256i index = _mm256_or_si256(
        _mm256_or_si256(
            _mm256_slli_epi32(_mm256_add_epi32(_mm256_add_epi32(moreY, moreY), moreX), 10),
            _mm256_slli_epi32(_mm256_and_si256(by, mask), 5)),
        _mm256_and_si256(bx, mask));
    // Eight byte loads: shorter in latency than a gather, which the skip
    // decision waits for.
    alignas(32) uint32_t at[kLanes];
    _mm256_store_si256(reinterpret_cast<__m256i*>(at), index);
    const __m256i highest = _mm256_cvtepu8_epi32(_mm_cvtsi64_si128(
        static_cast<long long>(uint64_t{maxima[at[0]]} | uint64_t{maxima[at[1]]} << 8 |
                               uint64_t{maxima[at[2]]} << 16 | uint64_t{maxima[at[3]]} << 24 |
                               uint64_t{maxima[at[4]]} << 32 | uint64_t{maxima[at[5]]} << 40 |
                               uint64_t{maxima[at[6]]} << 48 | uint64_t{maxima[at[7]]} << 56)));
    const __m256i filled = _mm256_add_epi32(fill, _mm256_set1_epi32(plan.k0));
    const __m256i slope =
        _mm256_add_epi32(_mm256_slli_epi32(filled, 10), _mm256_slli_epi32(filled, 9));
    const __m256i first = _mm256_add_epi32(_mm256_set1_epi32(plan.height),
                                           _mm256_mullo_epi32(slope, _mm256_set1_epi32(s + 1)));
    const __m256i last =
        _mm256_add_epi32(first, _mm256_sub_epi32(_mm256_slli_epi32(slope, kStretchShift), slope));
    const __m256i lowest = _mm256_min_epi32(first, last);
    // Full columns fill nothing more.
    const __m256i open = _mm256_cmpgt_epi32(_mm256_set1_epi32(plan.rows), fill);
    const __m256i canMeet = _mm256_and_si256(
        open, _mm256_cmpgt_epi32(_mm256_slli_epi32(highest, kHeightShift), lowest));
    if (_mm256_testz_si256(canMeet, canMeet)) {
        x = _mm256_add_epi32(x, dxStretch);
        y = _mm256_add_epi32(y, dyStretch);
        return true;
    }
    const __m256i rowMask = _mm256_set1_epi32(0xFF00);
    for (int k = 0; k < kCheckEvery; ++k) {
        x = _mm256_add_epi32(x, dx);
        y = _mm256_add_epi32(y, dy);
        const __m256i cell = _mm256_or_si256(_mm256_and_si256(_mm256_srli_epi32(y, 16), rowMask),
                                             _mm256_srli_epi32(x, 24));
        _mm256_store_si256(reinterpret_cast<__m256i*>(record.cells[s + k]), cell);
        if constexpr (kReads == HeightReads::Gather) {
            // Four bytes from each cell on; the padding keeps the last cell's
            // read inside the copy.
            const __m256i word =
                _mm256_i32gather_epi32(reinterpret_cast<const int*>(heightMap), cell, 1);
            _mm256_store_si256(reinterpret_cast<__m256i*>(heights[k]),
                               _mm256_and_si256(word, _mm256_set1_epi32(0xFF)));
        } else {
#pragma GCC unroll 8
            for (int lane = 0; lane < kLanes; ++lane)
                heights[k][lane] = heightMap[record.cells[s + k][lane]];
        }
    }
    return false;
}

// Marches columns col0 .. col0 + 7 (columns past the view repeat the last
// one) and records every step.
template <HeightReads kReads>
FLYOVER_AVX2 __attribute__((noinline)) void MarchGroup(const MarchPlan& plan, int col0,
                                                       const uint8_t* maxima,
                                                       const uint8_t* heightMap,
                                                       GroupRecord<kLanes>& record) {
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
    __m256i fill = _mm256_setzero_si256();
    __m256i hits = _mm256_setzero_si256();

    const __m256i dxStretch = _mm256_slli_epi32(dx, kStretchShift);
    const __m256i dyStretch = _mm256_slli_epi32(dy, kStretchShift);

    // The march goes in stretches of kCheckEvery steps. Each stretch is first
    // either found unable to meet the ground and skipped, or has its cells
    // and heights read; that is done one stretch ahead, so that the reads are
    // long done when the projections use them. The look-ahead judges a
    // stretch by the rows filled before the stretch in between: fewer rows, a
    // lower ray, so the judgement only errs towards marching.
    alignas(32) int32_t heights[2][kCheckEvery][kLanes];
    bool skip[2] = {false, false};
    int slot = 0;
    skip[0] = ReadStretch<kReads>(plan, maxima, heightMap, fill, 0, x, y, dx, dy, dxStretch,
                                  dyStretch, record, heights[0]);
    for (int s = 0; s < kMarchSteps; slot ^= 1) {
        if (s + kCheckEvery < kMarchSteps)
            skip[slot ^ 1] =
                ReadStretch<kReads>(plan, maxima, heightMap, fill, s + kCheckEvery, x, y, dx, dy,
                                    dxStretch, dyStretch, record, heights[slot ^ 1]);
        if (skip[slot]) {
            hits = _mm256_srli_epi32(hits, kCheckEvery);
            s += kCheckEvery;
        } else {
            for (int k = 0; k < kCheckEvery; ++k, ++s) {
                const __m256i h =
                    _mm256_load_si256(reinterpret_cast<const __m256i*>(heights[slot][k]));
                // Projected rows, as in MarchPlan: twice a third by a 16-bit
                // multiply (h * 256 + heightRound < 2^16), then (2N + 1) / 2m
                // in single precision.
                const __m256i twoThirds = _mm256_andnot_si256(
                    one, _mm256_mulhi_epu16(_mm256_add_epi32(_mm256_slli_epi32(h, 8), heightRound),
                                            third16));
                const __m256i n =
                    _mm256_add_epi32(twoThirds, _mm256_set1_epi32(plan.stepAddTwice[s]));
                const __m256i quotient = _mm256_cvttps_epi32(
                    _mm256_mul_ps(_mm256_cvtepi32_ps(n),
                                  _mm256_set1_ps(kStepHalfReciprocal[static_cast<size_t>(s)])));
                const __m256i projected =
                    _mm256_sub_epi32(quotient, _mm256_set1_epi32(plan.stepSub[s]));
                const __m256i next = _mm256_max_epi32(fill, _mm256_min_epi32(projected, rows));
                const __m256i hit = _mm256_cmpgt_epi32(next, fill);
                hits = _mm256_or_si256(_mm256_srli_epi32(hits, 1), _mm256_slli_epi32(hit, 31));
                _mm256_store_si256(reinterpret_cast<__m256i*>(record.fills[s]), next);
                fill = next;
            }
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

// Rows 8k .. 8k + 7 of eight staged columns, turned into eight screen rows
// of eight pixels: rows[j] holds row 8k + j of columns 0 .. 7.
FLYOVER_AVX2 __attribute__((always_inline)) inline void Transpose8x8(const uint16_t* column0,
                                                                     int stride, int from,
                                                                     __m128i rows[8]) {
    __m128i a[8];
#pragma GCC unroll 8
    for (int lane = 0; lane < 8; ++lane)
        a[lane] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(column0 + lane * stride + from));
    const __m128i t0 = _mm_unpacklo_epi16(a[0], a[1]), t1 = _mm_unpackhi_epi16(a[0], a[1]);
    const __m128i t2 = _mm_unpacklo_epi16(a[2], a[3]), t3 = _mm_unpackhi_epi16(a[2], a[3]);
    const __m128i t4 = _mm_unpacklo_epi16(a[4], a[5]), t5 = _mm_unpackhi_epi16(a[4], a[5]);
    const __m128i t6 = _mm_unpacklo_epi16(a[6], a[7]), t7 = _mm_unpackhi_epi16(a[6], a[7]);
    const __m128i u0 = _mm_unpacklo_epi32(t0, t2), u1 = _mm_unpackhi_epi32(t0, t2);
    const __m128i u2 = _mm_unpacklo_epi32(t1, t3), u3 = _mm_unpackhi_epi32(t1, t3);
    const __m128i u4 = _mm_unpacklo_epi32(t4, t6), u5 = _mm_unpackhi_epi32(t4, t6);
    const __m128i u6 = _mm_unpacklo_epi32(t5, t7), u7 = _mm_unpackhi_epi32(t5, t7);
    rows[0] = _mm_unpacklo_epi64(u0, u4), rows[1] = _mm_unpackhi_epi64(u0, u4);
    rows[2] = _mm_unpacklo_epi64(u1, u5), rows[3] = _mm_unpackhi_epi64(u1, u5);
    rows[4] = _mm_unpacklo_epi64(u2, u6), rows[5] = _mm_unpackhi_epi64(u2, u6);
    rows[6] = _mm_unpacklo_epi64(u3, u7), rows[7] = _mm_unpackhi_epi64(u3, u7);
}

// The sky rows of a frame, as rows of the converted sky picture: row `row`
// of view column `col` is lines[row][(skyShift + col) & 511]. Rows are looked
// up when a group first needs them.
struct SkyLines {
    const MarchPlan* plan = nullptr;
    SkyColours* colours = nullptr;
    const uint16_t** lines = nullptr;
    int ready = 0;  // rows looked up so far

    // Makes rows 0 .. rows - 1 (at most the band) ready.
    void Prepare(int rows) {
        for (; ready < rows; ++ready)
            // A band taller than 255 rows shows the picture's first row above it.
            lines[ready] = colours->Row(std::max(0, 255 - plan->band + ready));
    }
};

// Writes eight whole columns col0 .. col0 + 7 of a view whose adjacent
// columns are adjacent in memory (x pitch of one pixel), row by row with one
// store per row where all eight columns write the same kind of row. Every
// column still sees the reference's order: its ground rows from the bottom
// up, then its sky and haze rows from the top down.
FLYOVER_AVX2 void WriteGroupRows(const MarchPlan& plan, int col0, const uint16_t* ground,
                                 int stride, const int fills[kLanes], SkyLines& sky) {
    const int bottomRow = plan.rows - 1;
    const ptrdiff_t yStep = plan.yStep;
    uint16_t* const left = plan.origin + col0;  // x pitch is one pixel
    int minFill = fills[0], maxFill = fills[0];
    for (int lane = 1; lane < kLanes; ++lane) {
        minFill = std::min(minFill, fills[lane]);
        maxFill = std::max(maxFill, fills[lane]);
    }

    // Ground: rows every column fills, eight at a time, then the rest lane by lane.
    int i = 0;
    for (; i + 8 <= minFill; i += 8) {
        __m128i rows[8];
        Transpose8x8(ground, stride, i, rows);
#pragma GCC unroll 8
        for (int k = 0; k < 8; ++k)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(left + (bottomRow - i - k) * yStep),
                             rows[k]);
    }
    for (; i < minFill; ++i) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(left + (bottomRow - i) * yStep),
                         _mm_setr_epi16(static_cast<int16_t>(ground[i]),
                                        static_cast<int16_t>(ground[stride + i]),
                                        static_cast<int16_t>(ground[2 * stride + i]),
                                        static_cast<int16_t>(ground[3 * stride + i]),
                                        static_cast<int16_t>(ground[4 * stride + i]),
                                        static_cast<int16_t>(ground[5 * stride + i]),
                                        static_cast<int16_t>(ground[6 * stride + i]),
                                        static_cast<int16_t>(ground[7 * stride + i])));
    }
    // Column by column, so that each loop's length is known and its rows stay
    // in order.
    for (int lane = 0; lane < kLanes; ++lane) {
        const uint16_t* const column = ground + lane * stride;
        ptrdiff_t pos = lane + (bottomRow - minFill) * yStep;
        for (int row = minFill; row < fills[lane]; ++row) {
            left[pos] = column[row];
            pos -= yStep;
        }
    }

    // Sky and haze: rows open in every column as whole rows, then the rest
    // lane by lane, each column top down.
    const int band = plan.band;
    const int commonOpen = bottomRow - maxFill;  // last row open in every column
    const __m128i haze = _mm_set1_epi16(static_cast<int16_t>(kHazeColour));
    // The sky columns of col0 .. col0 + 7 lie side by side in a converted
    // row, which repeats its first columns after its last.
    static_assert(kLanes <= SkyColours::kPad);
    const unsigned sx = static_cast<unsigned>(plan.skyShift + col0) & 511u;
    const int commonSky = std::min(band, commonOpen + 1);
    sky.Prepare(std::min(band, bottomRow - minFill + 1));
    const uint16_t* const* const lines = sky.lines;
    int row = 0;
    for (; row < commonSky; ++row)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(left + row * yStep),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(lines[row] + sx)));
    for (; row <= commonOpen; ++row)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(left + row * yStep), haze);
    // The rest column by column, top down.
    for (int lane = 0; lane < kLanes; ++lane) {
        const int next = bottomRow - fills[lane];
        const unsigned at = sx + static_cast<unsigned>(lane);
        ptrdiff_t pos = lane + row * yStep;
        int r = row;
        for (; r <= next && r < band; ++r) {
            left[pos] = lines[r][at];
            pos += yStep;
        }
        for (; r <= next; ++r) {
            left[pos] = kHazeColour;
            pos += yStep;
        }
    }
}

// StageLane on its own, so that its loop keeps everything in registers.
FLYOVER_AVX2 __attribute__((noinline)) int StageOneLane(const MarchPlan& plan,
                                                        const GroupRecord<kLanes>& record, int lane,
                                                        uint16_t* ground) {
    return StageLane(plan, record, lane, ground);
}

// Stages the group's columns in `ground` (kLanes columns `stride` entries
// apart) and writes them to the view.
FLYOVER_AVX2 __attribute__((noinline)) void StageAndWriteGroup(const MarchPlan& plan, int col0,
                                                               const GroupRecord<kLanes>& record,
                                                               uint16_t* ground, int stride,
                                                               SkyLines& sky) {
    const int lanes = std::min(kLanes, plan.width - col0);
    if (lanes == kLanes && plan.xStep == 1) {
        int fills[kLanes];
        for (int lane = 0; lane < kLanes; ++lane)
            fills[lane] = StageOneLane(plan, record, lane, ground + lane * stride);
        WriteGroupRows(plan, col0, ground, stride, fills, sky);
        return;
    }
    for (int lane = 0; lane < lanes; ++lane) {
        const int fill = StageOneLane(plan, record, lane, ground);
        WriteColumn(plan, col0 + lane, ground, fill);
    }
}

template <HeightReads kReads>
FLYOVER_AVX2 void RenderGroups(const MarchPlan& plan, RenderScratch& scratch) {
    GroupRecord<kLanes>& record = scratch.wideRecord;
    alignas(32) uint8_t maxima[kGroundMaximaBytes];
    const uint8_t* heightMap = plan.sources->heightMap;
    if constexpr (kReads == HeightReads::Gather) {
        // The map copied (while its maxima are taken) where a 4-byte read at
        // any cell stays inside the buffer.
        std::unique_ptr<PaddedHeightMap>& padded = scratch.paddedHeights;
        if (!padded) padded = std::make_unique<PaddedHeightMap>();
        BuildBlockMaxima<true>(heightMap, maxima, padded->bytes);
        heightMap = padded->bytes;
    } else {
        BuildBlockMaxima<false>(heightMap, maxima, nullptr);
    }
    BuildWindowMaxima(maxima);
    std::vector<const uint16_t*>& skyLines = scratch.skyLines;
    if (skyLines.size() < static_cast<size_t>(plan.rows))
        skyLines.resize(static_cast<size_t>(plan.rows));
    SkyLines sky;
    sky.plan = &plan;
    sky.colours = &scratch.sky;
    sky.colours->Begin(*plan.sources);
    sky.lines = skyLines.data();
    int stride = 0;
    uint16_t* const ground = scratch.Staging(kLanes, plan.rows, stride);
    for (int col0 = 0; col0 < plan.width; col0 += kLanes) {
        MarchGroup<kReads>(plan, col0, maxima, heightMap, record);
        StageAndWriteGroup(plan, col0, record, ground, stride, sky);
    }
}

}  // namespace

void RenderAvx2(const MarchPlan& plan, RenderScratch& scratch, bool gatherHeights) {
    if (gatherHeights)
        RenderGroups<HeightReads::Gather>(plan, scratch);
    else
        RenderGroups<HeightReads::Loads>(plan, scratch);
}

}  // namespace terrain_fast

#else

namespace terrain_fast {
void RenderAvx2(const MarchPlan&, RenderScratch&, bool) {}
}  // namespace terrain_fast

#endif
