// hd_bench.cpp -- the HD view on the default flight at 1080p and 2160p, on one and two threads,
// against the floor of writing every pixel once
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bench/bench_scene.h"
#include "render/hd_terrain.h"
#include "render/hd_view.h"

namespace {

// The default scene as an HD terrain of side 1024 (its cells interpolated),
// built once.
const HdTerrain* BenchHdTerrain() {
    static const std::optional<HdTerrain> terrain = []() -> std::optional<HdTerrain> {
        const ToolScene* scene = BenchScene();
        if (!scene) return std::nullopt;
        std::string error;
        return BuildHdTerrainFromScene(scene->scene, 1024, error);
    }();
    return terrain ? &*terrain : nullptr;
}

struct Frame {
    Frame(int width, int height)
        : pixels(static_cast<size_t>(width) * static_cast<size_t>(height)) {
        frame = {pixels.data(), width, height, static_cast<ptrdiff_t>(width) * 4};
    }
    std::vector<uint32_t> pixels;
    HdFrame frame;
};

// One flight camera per iteration, with interpolation, haze, smooth edges
// and a draw distance of the whole map (the defaults).
void HdFlight(benchmark::State& state, HdPath path, int width, int height, int threads) {
    if (!HdPathAvailable(path)) {
        state.SkipWithError("this processor lacks the instructions of this path");
        return;
    }
    const HdTerrain* terrain = BenchHdTerrain();
    if (!terrain) {
        state.SkipWithError(("cannot load the scene in " + BenchSceneDirectory()).c_str());
        return;
    }
    const std::vector<CameraState>& cameras = BenchFlightCameras();
    Frame frame(width, height);
    HdRenderer renderer(path, threads);
    renderer.Draw(frame.frame, *terrain, cameras[0]);  // the sky at this scale, the steps
    size_t next = 0;
    for (auto _ : state) {
        renderer.Draw(frame.frame, *terrain, cameras[next]);
        benchmark::DoNotOptimize(frame.pixels.data());
        benchmark::ClobberMemory();
        next = (next + 1) % cameras.size();
    }
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// Thirteen cameras spread evenly over the flight.
std::vector<CameraState> SpreadCameras() {
    const std::vector<CameraState>& all = BenchFlightCameras();
    std::vector<CameraState> picked;
    for (size_t i = 0; i < 13; ++i)
        picked.push_back(all[i * (all.size() - 1) / 12]);
    return picked;
}

// The thirteen spread cameras per iteration: a fixed workload for
// instruction counts (valgrind --tool=callgrind, one iteration).
void HdSweep(benchmark::State& state, HdPath path, int width, int height, int threads) {
    const HdTerrain* terrain = BenchHdTerrain();
    if (!HdPathAvailable(path) || !terrain) {
        state.SkipWithError("no terrain or no such path here");
        return;
    }
    const std::vector<CameraState> cameras = SpreadCameras();
    Frame frame(width, height);
    HdRenderer renderer(path, threads);
    renderer.Draw(frame.frame, *terrain, cameras[0]);
    for (auto _ : state) {
        for (const CameraState& camera : cameras)
            renderer.Draw(frame.frame, *terrain, camera);
        benchmark::DoNotOptimize(frame.pixels.data());
        benchmark::ClobberMemory();
    }
}

// The picture's loss against a dense march (detail 1024) over the spread
// cameras at 1080p: PSNR of the RGB bytes, in the counter "psnr_dB".
void HdQuality(benchmark::State& state, int detail) {
    const HdTerrain* terrain = BenchHdTerrain();
    if (!terrain) {
        state.SkipWithError("no terrain");
        return;
    }
    const std::vector<CameraState> cameras = SpreadCameras();
    Frame dense(1920, 1080), got(1920, 1080);
    double squares = 0, samples = 0;
    for (auto _ : state) {
        squares = samples = 0;
        for (const CameraState& camera : cameras) {
            RenderHdReference(dense.frame, *terrain, camera, {256, 1024});
            RenderHdReference(got.frame, *terrain, camera, {256, detail});
            for (size_t i = 0; i < got.pixels.size(); ++i)
                for (int shift : {0, 8, 16}) {
                    const double e = static_cast<double>((got.pixels[i] >> shift) & 255) -
                                     static_cast<double>((dense.pixels[i] >> shift) & 255);
                    squares += e * e;
                    samples += 1;
                }
        }
    }
    state.counters["psnr_dB"] = 10 * std::log10(255.0 * 255.0 * samples / squares);
}

// The floor: every pixel of the frame written once, row by row or column
// by column.
void FillRows(benchmark::State& state, int width, int height) {
    Frame frame(width, height);
    uint32_t value = 0;
    for (auto _ : state) {
        ++value;
        for (int row = 0; row < height; ++row) {
            uint32_t* line =
                frame.pixels.data() + static_cast<size_t>(row) * static_cast<size_t>(width);
            for (int col = 0; col < width; ++col)
                line[col] = value;
        }
        benchmark::DoNotOptimize(frame.pixels.data());
        benchmark::ClobberMemory();
    }
}

void FillColumns(benchmark::State& state, int width, int height) {
    Frame frame(width, height);
    uint32_t value = 0;
    for (auto _ : state) {
        ++value;
        for (int col = 0; col < width; ++col) {
            uint32_t* p = frame.pixels.data() + col;
            for (int row = 0; row < height; ++row) {
                p[static_cast<size_t>(row) * static_cast<size_t>(width)] = value;
                benchmark::DoNotOptimize(p);
            }
        }
        benchmark::ClobberMemory();
    }
}

}  // namespace

BENCHMARK_CAPTURE(HdFlight, staged_1080p_1thread, HdPath::Staged, 1920, 1080, 1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(HdFlight, staged_1080p_2threads, HdPath::Staged, 1920, 1080, 2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(HdFlight, staged_2160p_2threads, HdPath::Staged, 3840, 2160, 2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(HdFlight, avx2_1080p_1thread, HdPath::Avx2, 1920, 1080, 1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(HdFlight, avx2_1080p_2threads, HdPath::Avx2, 1920, 1080, 2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(HdFlight, avx2_2160p_2threads, HdPath::Avx2, 3840, 2160, 2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(HdFlight, avx512_1080p_1thread, HdPath::Avx512, 1920, 1080, 1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(HdFlight, avx512_1080p_2threads, HdPath::Avx512, 1920, 1080, 2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(HdFlight, avx512_2160p_1thread, HdPath::Avx512, 3840, 2160, 1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(HdFlight, avx512_2160p_2threads, HdPath::Avx512, 3840, 2160, 2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(HdFlight, avx2_2160p_1thread, HdPath::Avx2, 3840, 2160, 1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(FillRows, 1080p, 1920, 1080)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(FillColumns, 1080p, 1920, 1080)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(FillRows, 2160p, 3840, 2160)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(FillColumns, 2160p, 3840, 2160)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(HdSweep, avx2_1080p_1thread, HdPath::Avx2, 1920, 1080, 1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(HdSweep, staged_1080p_1thread, HdPath::Staged, 1920, 1080, 1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(HdQuality, detail128, 128)->Unit(benchmark::kMillisecond)->Iterations(1);
