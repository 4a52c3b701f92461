// scene_bench.cpp -- the path's Evaluate, LoadScene of the default scene, and the table builds
#include <benchmark/benchmark.h>

#include <malloc.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <vector>

#include "bench/bench_scene.h"
#include "path/key_path.h"
#include "render/tables.h"
#include "scene/scene_loader.h"

namespace {

#define FLYOVER_NEED_SCENE(state)                                                             \
    if (!BenchScene()) {                                                                      \
        (state).SkipWithError(("cannot load the scene in " + BenchSceneDirectory()).c_str()); \
        return;                                                                               \
    }

// One evaluation of the flight's path per iteration, at successive whole
// milliseconds, wrapping at the path's end, as the frame loop calls it.
void BM_Evaluate(benchmark::State& state) {
    FLYOVER_NEED_SCENE(state);
    const KeyPath& path = *BenchScene()->scene.path;
    const uint32_t end =
        path.Count() >= 2 ? static_cast<uint32_t>(path.Key(path.Count() - 2).time) : 0;
    float out[5];
    uint32_t t = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(path.Evaluate(static_cast<float>(t), out));
        benchmark::DoNotOptimize(out);
        t = t + 1 >= end ? 0 : t + 1;
    }
}
BENCHMARK(BM_Evaluate);

// The camera at a time: Evaluate plus the conversion into the camera, as the
// frame loop's UpdateCamera does it.
void BM_CameraAtTime(benchmark::State& state) {
    FLYOVER_NEED_SCENE(state);
    const KeyPath& path = *BenchScene()->scene.path;
    CameraState camera;
    uint32_t t = 0;
    for (auto _ : state) {
        if (!CameraAtTime(path, static_cast<float>(t), camera)) t = 0;
        benchmark::DoNotOptimize(camera);
        ++t;
    }
}
BENCHMARK(BM_CameraAtTime);

// The whole scene load of the demo's start-up: key file, three pictures,
// path, shade table and sky palette (files in the page cache).
void BM_LoadScene(benchmark::State& state) {
    FLYOVER_NEED_SCENE(state);
    const std::string dir = AsDirectory(BenchSceneDirectory());
    const std::string keys = dir + kKeyFileName;
    const ColourTables& colours = BenchScene()->colours;
    for (auto _ : state) {
        if (!ReadScene(keys, dir, colours)) {
            state.SkipWithError("ReadScene failed");
            break;
        }
    }
    state.counters["ms_per_load"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * 1e-3,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_LoadScene)->Unit(benchmark::kMicrosecond);

// A scene whose key file holds a million key lines: the time to read it and
// the heap it keeps (counters key_file_bytes_per_key and
// heap_bytes_per_key, from the C library's allocation statistics), and the
// time to evaluate the path at its end.
void BM_ReadLongKeyFile(benchmark::State& state) {
    FLYOVER_NEED_SCENE(state);
    constexpr int kKeys = 1000000;
    const std::string source = AsDirectory(BenchSceneDirectory());
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("flyover-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    for (const char* name : {"colour.bmp", "height.bmp", "sky.BMP"})
        std::filesystem::copy_file(source + name, dir / name,
                                   std::filesystem::copy_options::overwrite_existing);
    {
        std::ofstream keys(dir / kKeyFileName);
        keys << "colour.bmp\nheight.bmp\n" << kKeys << "\n1500\n";
        for (int i = 0; i < kKeys; ++i)
            keys << 8388608 + (i % 1000) * 4096 << ' ' << 8388608 << " 40000000 " << i % 4096
                 << " 80\n";
    }
    const double fileBytes = static_cast<double>(std::filesystem::file_size(dir / kKeyFileName));
    const ColourTables& colours = BenchScene()->colours;
    double heapPerKey = 0;
    for (auto _ : state) {
        const size_t before = mallinfo2().uordblks;
        const SceneLoad load =
            ReadScene((dir / kKeyFileName).string(), dir.string() + "/", colours);
        if (!load) {
            state.SkipWithError("ReadScene failed");
            break;
        }
        heapPerKey = static_cast<double>(mallinfo2().uordblks - before) / kKeys;
        float out[5];
        benchmark::DoNotOptimize(load.scene.path->Evaluate(1499990000.0f, out));
    }
    std::filesystem::remove_all(dir);
    state.counters["key_file_bytes_per_key"] = fileBytes / kKeys;
    state.counters["heap_bytes_per_key"] = heapPerKey;
}
BENCHMARK(BM_ReadLongKeyFile)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_BuildColourTables(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(BuildColourTables());
    }
}
BENCHMARK(BM_BuildColourTables);

void BM_BuildSineTable(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(BuildSineTable());
    }
}
BENCHMARK(BM_BuildSineTable)->Unit(benchmark::kMicrosecond);

// The shade table from the default colour map's palette (as read).
void BM_BuildShadeTable(benchmark::State& state) {
    FLYOVER_NEED_SCENE(state);
    const std::vector<uint32_t> palette = BenchScene()->scene.colourMap.palette;
    if (palette.size() < 256) {
        state.SkipWithError("the colour map has no palette");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(BuildShadeTable(palette.data()));
}
BENCHMARK(BM_BuildShadeTable)->Unit(benchmark::kMicrosecond);

// The sky's palette conversion, on a fresh copy of the 32-bit palette each time.
void BM_ConvertPaletteTo565(benchmark::State& state) {
    FLYOVER_NEED_SCENE(state);
    BitmapImage image;
    const std::vector<uint32_t> palette = BenchScene()->scene.colourMap.palette;
    const ColourTables& colours = BenchScene()->colours;
    for (auto _ : state) {
        image.palette = palette;
        image.palette565.clear();
        ConvertPaletteTo565(image, colours);
        benchmark::DoNotOptimize(image.palette565.data());
    }
}
BENCHMARK(BM_ConvertPaletteTo565);

}  // namespace
