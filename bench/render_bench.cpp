// render_bench.cpp -- the renderer's paths on the default flight and hard cases, against the fill
// floor of the same run
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <string>
#include <vector>

#include "bench/bench_scene.h"
#include "bench/support/bench_support.h"
#include "render/terrain_renderer.h"

namespace {

constexpr int kFloorSamples = 101;

const DisplayShape kDisplays[] = {{240, 320, DisplayLayout::Normal},
                                  {320, 320, DisplayLayout::Normal}};

double NowNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) * 1e9 + static_cast<double>(t.tv_nsec);
}

double Median(std::vector<double> samples) {
    if (samples.empty()) return 0;
    std::nth_element(samples.begin(), samples.begin() + samples.size() / 2, samples.end());
    return samples[samples.size() / 2];
}

std::string DisplayName(const DisplayShape& shape) {
    return std::to_string(shape.width) + "x" + std::to_string(shape.height);
}

// The fill floor of the current view: the median of many timed fills with
// `fill` (FillFloor, column by column, or FillFloorMemoryOrder).
double FloorNs(const ViewGeometry& view, void (*fill)(const ViewGeometry&, uint16_t)) {
    std::vector<double> samples;
    for (int i = 0; i < kFloorSamples; ++i) {
        const double start = NowNs();
        fill(view, static_cast<uint16_t>(i));
        samples.push_back(NowNs() - start);
    }
    return Median(samples);
}

// Draws the cameras in turn, one per iteration, with `path`. Counters:
// us_per_frame (mean), median_us, ns_per_step (time over the reference's
// march steps), fps (from the median), floor_us (the fill floor measured
// right after, in the same process), ratio (median frame over floor), and
// memory_floor_us and memory_ratio for the floor in the screen's memory order.
void RenderCameras(benchmark::State& state, RenderPath path, const DisplayShape& shape,
                   const std::vector<CameraState>* (*cameras)()) {
    if (!RenderPathAvailable(path)) {
        state.SkipWithError("this processor lacks the instructions of this path");
        return;
    }
    const ToolScene* scene = BenchScene();
    if (!scene) {
        state.SkipWithError(("cannot load the scene in " + BenchSceneDirectory()).c_str());
        return;
    }
    const ViewGeometry& view = BenchView(shape);
    const std::vector<CameraState>& views = *cameras();
    if (views.empty()) {
        state.SkipWithError("no cameras");
        return;
    }
    const TerrainSources sources = scene->Sources();
    std::vector<long long> stepsPerView;
    for (const CameraState& camera : views)
        stepsPerView.push_back(CountMarchSteps(view, sources, camera));
    TerrainRenderer renderer(path);

    std::vector<double> frameNs;
    frameNs.reserve(1 << 16);
    long long steps = 0;
    size_t next = 0;
    for (auto _ : state) {
        const double start = NowNs();
        renderer.Draw(view, sources, views[next]);
        frameNs.push_back(NowNs() - start);
        benchmark::ClobberMemory();
        steps += stepsPerView[next];
        next = next + 1 == views.size() ? 0 : next + 1;
    }
    const double medianNs = Median(frameNs);
    const double floorNs = FloorNs(view, FillFloor);
    const double memoryFloorNs = FloorNs(view, FillFloorMemoryOrder);
    double totalNs = 0;
    for (double ns : frameNs)
        totalNs += ns;
    state.counters["us_per_frame"] = totalNs * 1e-3 / static_cast<double>(frameNs.size());
    state.counters["ns_per_step"] = steps > 0 ? totalNs / static_cast<double>(steps) : 0;
    state.counters["median_us"] = medianNs * 1e-3;
    state.counters["fps"] = medianNs > 0 ? 1e9 / medianNs : 0;
    state.counters["floor_us"] = floorNs * 1e-3;
    state.counters["ratio"] = floorNs > 0 ? medianNs / floorNs : 0;
    state.counters["memory_floor_us"] = memoryFloorNs * 1e-3;
    state.counters["memory_ratio"] = memoryFloorNs > 0 ? medianNs / memoryFloorNs : 0;
}

const std::vector<CameraState>* Flight() {
    return &BenchFlightCameras();
}

// One hard case at a time, by index into BenchHardCases().
template <int Index>
const std::vector<CameraState>* HardCase() {
    static std::vector<CameraState> one;
    one.clear();
    if (Index < static_cast<int>(BenchHardCases().size()))
        one.push_back(BenchHardCases()[Index].camera);
    return &one;
}

// Writes every view pixel once in the renderer's order: the floor itself.
// Every view pixel written once with `fill`: FillFloor (column by column,
// as the renderer marches) or FillFloorMemoryOrder (row by row here).
void FillFloorBench(benchmark::State& state, const DisplayShape& shape,
                    void (*fill)(const ViewGeometry&, uint16_t)) {
    const ViewGeometry& view = BenchView(shape);
    uint16_t value = 0;
    for (auto _ : state) {
        fill(view, value++);
        benchmark::ClobberMemory();
    }
    state.counters["us_per_frame"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * 1e-6,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

bool RegisterAll() {
    const char* hardNames[] = {"low_flat", "high_above", "cliff"};
    const std::vector<CameraState>* (*hardCases[])() = {HardCase<0>, HardCase<1>, HardCase<2>};
    for (const DisplayShape& shape : kDisplays) {
        const std::string size = DisplayName(shape);
        benchmark::RegisterBenchmark(("BM_FillFloor/" + size).c_str(), FillFloorBench, shape,
                                     FillFloor);
        benchmark::RegisterBenchmark(("BM_FillFloorMemoryOrder/" + size).c_str(), FillFloorBench,
                                     shape, FillFloorMemoryOrder);
        for (RenderPath path : kAllRenderPaths) {
            const std::string name = RenderPathName(path);
            benchmark::RegisterBenchmark(("BM_RenderFlight/" + name + "/" + size).c_str(),
                                         RenderCameras, path, shape, Flight);
        }
        benchmark::RegisterBenchmark(("BM_RenderView/flight/" + size).c_str(), RenderCameras,
                                     FastestRenderPath(), shape, Flight);
        for (int i = 0; i < 3; ++i) {
            for (RenderPath path : {RenderPath::Reference, FastestRenderPath()}) {
                const std::string name = std::string("BM_RenderHardCase/") + hardNames[i] + "/" +
                                         RenderPathName(path) + "/" + size;
                benchmark::RegisterBenchmark(name.c_str(), RenderCameras, path, shape,
                                             hardCases[i]);
            }
        }
    }
    return true;
}

const bool registered = RegisterAll();

}  // namespace
