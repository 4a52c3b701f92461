// hd_renderer.cpp -- the HD view's fast paths: a frame plan, columns marched in tiles on a few
// threads, rows written whole
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <thread>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "render/cpu_features.h"
#include "render/hd_view.h"
#include "render/hd_view_fast.h"

namespace hd_detail {

void MarchTileScalar(const Plan& plan, int col0, int count, uint32_t* tile, TileEnds& ends) {
    const FrameSetup& f = plan.setup;
    const HdTerrain& terrain = *plan.terrain;
    const std::vector<Step>& steps = f.steps;
    const int stepCount = static_cast<int>(steps.size());
    int sideLog2 = 0;
    while ((1 << sideLog2) < terrain.Side())
        ++sideLog2;
    for (int i = 0; i < count; ++i) {
        const Direction dir = plan.directions[static_cast<size_t>(col0 + i)];
        int next = f.height - 1;
        uint64_t weighted = 0;
        int64_t cover = 0;
        int block = sideLog2;  // the block level to try first
        for (int at = 0; at < stepCount;) {
            const Step& s = steps[static_cast<size_t>(at)];
            const uint32_t u = f.camU + static_cast<uint32_t>(dir.x) * s.d8;
            const uint32_t v = f.camV + static_cast<uint32_t>(dir.y) * s.d8;
            // Ground draws at a step only where its row is above `edge`.
            const int64_t edge = (int64_t{next} + 1) * 256 - cover;
            // Skip whole blocks of steps whose ground cannot reach `edge`:
            // the coarsest block around (u, v) whose maximum, at the step of
            // the block where it stands highest, stays at or below it. Ground
            // below the camera stands highest at the block's last step,
            // ground above it at the first (see Step).
            int skipTo = at;
            for (int k = std::min(block + 1, sideLog2); k >= s.minBlock; --k) {
                const int cellShift = 32 - sideLog2 + k;  // position bits of a block
                const int blocksLog2 = sideLog2 - k;
                const uint32_t bx = k == sideLog2 ? 0 : u >> cellShift;
                const uint32_t by = k == sideLog2 ? 0 : v >> cellShift;
                const uint32_t highest = terrain.BlockMax(k)[(by << blocksLog2) + bx];
                const int64_t below = f.camUnits - (int64_t{highest} << 4);
                if (GroundRow(f, s, highest) < edge) continue;
                int end = plan.stepLimit[static_cast<size_t>(k)];
                if (k < sideLog2) {
                    const uint64_t stay = std::min(StayInBlock(u, dir.x, cellShift),
                                                   StayInBlock(v, dir.y, cellShift));
                    if (stay < UINT64_MAX) end = FirstStepBeyond(steps, at, end, s.d8 + stay);
                }
                if (below >= 0 && end - 1 > at &&
                    GroundRow(f, steps[static_cast<size_t>(end - 1)], highest) < edge)
                    continue;
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
            const int64_t top = GroundRow(f, s, GroundHeight(terrain, s, u, v));
            const int64_t reach = (int64_t{next} + 1) * 256 - top;
            if (reach <= cover) continue;
            const uint64_t colour = GroundColour(terrain, s, u, v);
            if (reach < 256) {
                weighted += colour * static_cast<uint64_t>(reach - cover);
                cover = reach;
                continue;
            }
            tile[next * kTileColumns + i] =
                Resolve(weighted + colour * static_cast<uint64_t>(256 - cover));
            --next;
            const uint32_t packed = Pack(colour);
            for (; next >= 0 && int64_t{next} * 256 >= top; --next)
                tile[next * kTileColumns + i] = packed;
            if (next < 0) break;
            cover = (int64_t{next} + 1) * 256 - top;
            if (cover < 0) cover = 0;
            weighted = colour * static_cast<uint64_t>(cover);
        }
        ends.next[i] = next;
        ends.weighted[i] = next >= 0 ? weighted : 0;
        ends.cover[i] = next >= 0 ? static_cast<uint32_t>(cover) : 0;
    }
}

namespace {

// Tiles marched one after another and then written together, row by row:
// a band's row is kBandTiles lines side by side in the frame, so that going
// down the frame's rows (each on another page at 2160 rows) costs one page
// walk per band instead of one per tile.
constexpr int kBandTiles = 4;

// A marched tile, ready to write its rows into the frame: sky and haze
// above each column's ground, the partial rows blended, the ground copied
// from the tile.
struct TileRows {
    int col0 = 0, count = 0;
    const uint32_t* tile = nullptr;
    const TileEnds* ends = nullptr;
    int lowest = 0, highest = 0;  // the least and greatest `next`
    int skyCol = 0;
    // Per column its partly covered row (`next`) as drawn: the partial
    // ground over the sky or haze behind it.
    alignas(16) uint32_t partial[kTileColumns];
    // Per column `next`, and kTileColumns past the tile's width (columns
    // nobody writes), for the rows where columns differ.
    alignas(16) int32_t next[kTileColumns];
};

// The sky's row for frame row `row` (clamped to the resampled sky).
inline const uint32_t* SkyRow(const Plan& plan, int row) {
    int64_t at = plan.setup.skyRowOffset + row;
    if (at < 0) at = 0;
    if (at > plan.setup.skyRows - 1) at = plan.setup.skyRows - 1;
    return plan.sky + at * plan.skyStride;
}

TileRows PrepareTile(const Plan& plan, int col0, int count, const uint32_t* tile,
                     const TileEnds& ends) {
    TileRows t;
    t.col0 = col0;
    t.count = count;
    t.tile = tile;
    t.ends = &ends;
    t.lowest = plan.setup.height;
    t.highest = -1;
    for (int i = 0; i < count; ++i) {
        t.lowest = std::min(t.lowest, ends.next[i]);
        t.highest = std::max(t.highest, ends.next[i]);
    }
    t.skyCol = static_cast<int>((plan.setup.skyColOffset + col0) % plan.setup.skyCols);
    for (int i = 0; i < kTileColumns; ++i) {
        t.next[i] = i < count ? ends.next[i] : -1;
        t.partial[i] = 0;
        if (i >= count || ends.next[i] < 0) continue;
        const int row = ends.next[i];
        const uint32_t back = row < plan.setup.band ? SkyRow(plan, row)[t.skyCol + i] : kHazeRgb;
        t.partial[i] = ends.cover[i] == 0
                           ? back
                           : Resolve(ends.weighted[i] +
                                     Spread(back) * static_cast<uint64_t>(256 - ends.cover[i]));
    }
    return t;
}

// A tile's row of count words: where the frame's line starts with it and
// the tile is whole, written past the caches (the line is not read first;
// the frame's rows are far apart, so taking a line into the cache first
// would be a miss to memory each, which no prefetcher foresees).
inline void WriteLine(uint32_t* out, const uint32_t* from, int count) {
#if defined(__SSE2__)
    if (count == kTileColumns && reinterpret_cast<uintptr_t>(out) % 64 == 0) {
        for (int k = 0; k < kTileColumns; k += 4)
            _mm_stream_si128(reinterpret_cast<__m128i*>(out + k),
                             _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + k)));
        return;
    }
#endif
    // A whole tile's row as a copy of fixed size, which the compiler inlines.
    if (count == kTileColumns)
        std::memcpy(out, from, kTileColumns * 4);
    else
        std::memcpy(out, from, static_cast<size_t>(count) * 4);
}

// A row where the tile's columns differ: per column the ground from the
// tile below its `next`, the partial row at it, the sky or haze above.
inline void MixRow(const TileRows& t, int row, const uint32_t* back, uint32_t* mixed) {
    const uint32_t* ground = t.tile + row * kTileColumns;
#if defined(__SSE2__)
    const __m128i r = _mm_set1_epi32(row);
    for (int k = 0; k < kTileColumns; k += 4) {
        const __m128i next = _mm_load_si128(reinterpret_cast<const __m128i*>(t.next + k));
        const __m128i below = _mm_cmpgt_epi32(r, next);  // row > next: the ground
        const __m128i at = _mm_cmpeq_epi32(r, next);     // row == next: the partial row
        const __m128i g = _mm_loadu_si128(reinterpret_cast<const __m128i*>(ground + k));
        const __m128i p = _mm_load_si128(reinterpret_cast<const __m128i*>(t.partial + k));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(back + k));
        const __m128i v = _mm_or_si128(_mm_or_si128(_mm_and_si128(below, g), _mm_and_si128(at, p)),
                                       _mm_andnot_si128(_mm_or_si128(below, at), b));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(mixed + k), v);
    }
#else
    for (int i = 0; i < kTileColumns; ++i)
        mixed[i] = row > t.next[i] ? ground[i] : row == t.next[i] ? t.partial[i] : back[i];
#endif
}

// The rows of a band of marched tiles into the frame.
void WriteBand(const Plan& plan, const TileRows* tiles, int tileCount) {
    const FrameSetup& f = plan.setup;
    const HdFrame& frame = plan.frame;
    const ptrdiff_t stride = frame.pitch / 4;
    // Haze behind a whole tile row (the sky's rows have kSkyPad columns
    // after their last, so a tile's row of sky is always there to read).
    uint32_t haze[kTileColumns];
    for (uint32_t& h : haze)
        h = kHazeRgb;
    alignas(16) uint32_t mixed[kTileColumns];
    for (int row = 0; row < f.height; ++row) {
        const uint32_t* sky = row < f.band ? SkyRow(plan, row) : nullptr;
#if defined(__SSE2__)
        // The sky's rows are far apart too.
        if (row + 8 < f.band)
            for (int k = 0; k < tileCount; ++k)
                _mm_prefetch(reinterpret_cast<const char*>(SkyRow(plan, row + 8) + tiles[k].skyCol),
                             _MM_HINT_T0);
#endif
        uint32_t* line = frame.pixels + row * stride;
        for (int k = 0; k < tileCount; ++k) {
            const TileRows& t = tiles[k];
            uint32_t* out = line + t.col0;
            const uint32_t* back = sky ? sky + t.skyCol : haze;
            if (row < t.lowest) {
                WriteLine(out, back, t.count);
            } else if (row > t.highest) {
                WriteLine(out, t.tile + row * kTileColumns, t.count);
            } else {
                MixRow(t, row, back, mixed);
                WriteLine(out, mixed, t.count);
            }
        }
    }
}

// Workers that run one job on every thread and wait for all of them.
class Pool {
public:
    explicit Pool(int threads) {
        for (int i = 1; i < threads; ++i)
            workers_.emplace_back([this, i] { Work(i); });
    }
    ~Pool() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        for (std::thread& t : workers_)
            t.join();
    }
    // Runs job(thread) on the caller (thread 0) and every worker.
    void Run(const std::function<void(int)>& job) {
        if (workers_.empty()) {
            job(0);
            return;
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            job_ = &job;
            pending_ = static_cast<int>(workers_.size());
            ++generation_;
        }
        wake_.notify_all();
        job(0);
        std::unique_lock<std::mutex> lock(mutex_);
        done_.wait(lock, [this] { return pending_ == 0; });
        job_ = nullptr;
    }

private:
    void Work(int index) {
        uint64_t seen = 0;
        for (;;) {
            const std::function<void(int)>* job;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                wake_.wait(lock, [&] { return stop_ || generation_ != seen; });
                if (stop_) return;
                seen = generation_;
                job = job_;
            }
            (*job)(index);
            std::lock_guard<std::mutex> lock(mutex_);
            if (--pending_ == 0) done_.notify_one();
        }
    }

    std::vector<std::thread> workers_;
    std::mutex mutex_;
    std::condition_variable wake_, done_;
    const std::function<void(int)>* job_ = nullptr;
    uint64_t generation_ = 0;
    int pending_ = 0;
    bool stop_ = false;
};

}  // namespace

struct RendererState {
    explicit RendererState(int threads) : pool(threads), tiles(static_cast<size_t>(threads)) {}

    Pool pool;
    // Per thread the memory of a band's staging tiles; each starts on a
    // 64-byte line (up to kTileColumns words before it are spare).
    std::vector<std::vector<uint32_t>> tiles;
    Plan plan;
    // The steps, kept while the map, frame height and options stay.
    int stepsSide = 0, stepsLevels = 0, stepsHeight = 0;
    HdOptions stepsOptions{-1, -1};
    std::vector<Step> steps;
    // The resampled sky, kept while the sky and the frame's scale stay.
    uint64_t skyHash = 0;
    int skyWidth = 0, skyHeight = 0, skyCols = 0, skyRows = 0;
    std::vector<uint32_t> sky;
};

}  // namespace hd_detail

using namespace hd_detail;

namespace {

// Whether the processor and the operating system support the AVX-512 sets
// the AVX-512 kernel uses (GCC's check includes the system's saving of the
// registers).
bool CpuHasAvx512() {
#if defined(__x86_64__)
    static const bool has = [] {
        __builtin_cpu_init();
        return CpuHasAvx2() && __builtin_cpu_supports("avx512f") &&
               __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512dq") &&
               __builtin_cpu_supports("avx512vl");
    }();
    return has;
#else
    return false;
#endif
}

}  // namespace

const char* HdPathName(HdPath path) {
    switch (path) {
        case HdPath::Reference:
            return "reference";
        case HdPath::Staged:
            return "staged";
        case HdPath::Avx2:
            return "avx2";
        case HdPath::Avx512:
            return "avx512";
    }
    return "reference";
}

bool HdPathAvailable(HdPath path) {
    switch (path) {
        case HdPath::Reference:
        case HdPath::Staged:
            return true;
        case HdPath::Avx2:
            return HaveAvx2Kernel() && CpuHasAvx2();
        case HdPath::Avx512:
            return HaveAvx512Kernel() && CpuHasAvx512();
    }
    return false;
}

HdPath FastestHdPath() {
    if (HdPathAvailable(HdPath::Avx512)) return HdPath::Avx512;
    return HdPathAvailable(HdPath::Avx2) ? HdPath::Avx2 : HdPath::Staged;
}

HdRenderer::HdRenderer(HdPath path, int threads)
    : path_(path),
      threads_(threads < 1 ? 1 : threads),
      state_(std::make_unique<RendererState>(threads_)) {}

HdRenderer::~HdRenderer() = default;

void HdRenderer::Draw(const HdFrame& frame, const HdTerrain& terrain, const CameraState& camera,
                      const HdOptions& options) {
    if (path_ == HdPath::Reference) {
        RenderHdReference(frame, terrain, camera, options);
        return;
    }
    RendererState& st = *state_;
    Plan& plan = st.plan;
    plan.terrain = &terrain;
    plan.frame = frame;
    plan.setup = SetUpFrame(frame, terrain, camera, options);
    FrameSetup& f = plan.setup;
    if (st.stepsSide != terrain.Side() || st.stepsLevels != terrain.LevelCount() ||
        st.stepsHeight != frame.height || st.stepsOptions.drawDistance != options.drawDistance ||
        st.stepsOptions.detail != options.detail) {
        st.steps = MarchSteps(terrain.Side(), terrain.LevelCount(), frame.height, options);
        st.stepsSide = terrain.Side();
        st.stepsLevels = terrain.LevelCount();
        st.stepsHeight = frame.height;
        st.stepsOptions = options;
    }
    f.steps.swap(st.steps);  // lent to the plan for this frame
    int sideLog2 = 0;
    while ((1 << sideLog2) < terrain.Side())
        ++sideLog2;
    plan.stepLimit.assign(static_cast<size_t>(sideLog2) + 1, static_cast<int>(f.steps.size()));
    for (int k = 0; k <= sideLog2; ++k)
        for (size_t at = 0; at < f.steps.size(); ++at)
            if (f.steps[at].minBlock > k) {
                plan.stepLimit[static_cast<size_t>(k)] = static_cast<int>(at);
                break;
            }
    plan.directions.resize(static_cast<size_t>(frame.width));
    for (int col = 0; col < frame.width; ++col)
        plan.directions[static_cast<size_t>(col)] =
            ColumnDirection(terrain, camera, frame.width, frame.height, col);
    if (st.skyHash != terrain.SkyHash() || st.skyWidth != terrain.SkyWidth() ||
        st.skyHeight != terrain.SkyHeight() || st.skyCols != f.skyCols || st.skyRows != f.skyRows) {
        const size_t stride = static_cast<size_t>(f.skyCols + kSkyPad);
        st.sky.resize(stride * static_cast<size_t>(f.skyRows));
        for (int row = 0; row < f.skyRows; ++row) {
            uint32_t* line = st.sky.data() + stride * static_cast<size_t>(row);
            for (int col = 0; col < f.skyCols; ++col)
                line[col] = ResampledSky(terrain, f.skyCols, f.skyRows, col, row);
            for (int col = 0; col < kSkyPad; ++col)
                line[f.skyCols + col] = line[col % f.skyCols];
        }
        st.skyHash = terrain.SkyHash();
        st.skyWidth = terrain.SkyWidth();
        st.skyHeight = terrain.SkyHeight();
        st.skyCols = f.skyCols;
        st.skyRows = f.skyRows;
    }
    plan.sky = st.sky.data();
    plan.skyStride = f.skyCols + kSkyPad;

    const HdPath path = path_;
    // Tiles start on the frame's cache lines (as its first row lies), so
    // that no two threads write one line: the first tile takes the columns
    // up to the first line's end.
    const int lead = static_cast<int>(
        (kTileColumns - (reinterpret_cast<uintptr_t>(frame.pixels) / 4 % kTileColumns)) %
        kTileColumns);
    const int tileCount = (frame.width - lead + kTileColumns - 1) / kTileColumns + (lead > 0);
    const int bandCount = (tileCount + kBandTiles - 1) / kBandTiles;
    alignas(64) std::atomic<int> nextBand{0};
    const size_t tileWords = static_cast<size_t>(frame.height) * kTileColumns + kTileColumns;
    const std::function<void(int)> job = [&](int thread) {
        std::vector<uint32_t>& memory = st.tiles[static_cast<size_t>(thread)];
        memory.resize(tileWords * kBandTiles);
        TileEnds ends[kBandTiles];
        TileRows rows[kBandTiles];
        for (int b = nextBand.fetch_add(1); b < bandCount; b = nextBand.fetch_add(1)) {
            const int first = b * kBandTiles, last = std::min(first + kBandTiles, tileCount);
            for (int t = first; t < last; ++t) {
                uint32_t* tile = memory.data() + tileWords * static_cast<size_t>(t - first);
                while (reinterpret_cast<uintptr_t>(tile) % 64 != 0)
                    ++tile;
                const int col0 =
                    lead > 0 && t > 0 ? lead + (t - 1) * kTileColumns : t * kTileColumns;
                const int width = lead > 0 && t == 0 ? lead : kTileColumns;
                const int count = std::min(width, frame.width - col0);
                TileEnds& e = ends[t - first];
                if (path == HdPath::Avx512)
                    MarchTileAvx512(plan, col0, count, tile, e);
                else if (path == HdPath::Avx2)
                    MarchTileAvx2(plan, col0, count, tile, e);
                else
                    MarchTileScalar(plan, col0, count, tile, e);
                rows[t - first] = PrepareTile(plan, col0, count, tile, e);
            }
            WriteBand(plan, rows, last - first);
        }
#if defined(__SSE2__)
        _mm_sfence();  // the frame's streamed lines before the frame counts as drawn
#endif
    };
    st.pool.Run(job);
    f.steps.swap(st.steps);
}
