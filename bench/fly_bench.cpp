// fly_bench.cpp -- flyover-tool fly's work per frame: free flight's step, the overlay, and whole
// session frames on the headless platform
#include <benchmark/benchmark.h>

#include "bench/bench_scene.h"
#include "fly/fly_overlay.h"
#include "fly/fly_session.h"
#include "fly/free_flight.h"
#include "platform/headless/headless_platform.h"

namespace {

// One step of free flight with the ground looked ahead at (speed held, turning).
void BM_FreeFlightStep(benchmark::State& state) {
    const ToolScene* scene = BenchScene();
    if (!scene) return state.SkipWithError("no scene");
    FreeFlight flight(scene->scene.heightMap.pixels.data(), 295);
    FlightPose start;
    start.x = start.y = 128;
    start.height = 120;
    flight.Place(start);
    FlightControls controls;
    controls.forward = 1;
    controls.turn = 0.3;
    for (auto _ : state) {
        flight.Step(controls, 1.0 / 60.0);
        benchmark::DoNotOptimize(flight.Pose());
    }
}
BENCHMARK(BM_FreeFlightStep);

// The overlay of a 240 x 320 screen, status, camera and help.
void BM_ComposeOverlay(benchmark::State& state) {
    OverlayStatus status;
    status.fps = 60;
    status.recording = true;
    for (auto _ : state)
        benchmark::DoNotOptimize(ComposeOverlay(240, 320, status));
}
BENCHMARK(BM_ComposeOverlay)->Unit(benchmark::kMicrosecond);

// Whole frames of a fly session at 240 x 320 (input, step, view, overlay,
// present) on the headless platform, flying ahead with the overlay on: the
// processor time a frame costs, without the window's own work.
void BM_FlySessionFrame(benchmark::State& state) {
    const ToolScene* scene = BenchScene();
    if (!scene) return state.SkipWithError("no scene");
    constexpr int kFrames = 120;
    int64_t frames = 0;
    for (auto _ : state) {
        HeadlessOptions options;
        options.memoryCopy = true;
        options.frameStepMicroseconds = 16667;
        ScriptedInput ahead;
        ahead.event.kind = EventKind::KeyDown;
        ahead.event.code = 'w';
        options.script.push_back(ahead);
        HeadlessPlatform platform(options);
        FlySessionOptions fly;
        fly.maxFrames = kFrames;
        FlySessionReport report;
        RunFlySession(platform, FlyScene{scene->scene, scene->sines, scene->keyFile}, fly, report);
        frames += report.frames;
    }
    // items_per_second is frames per second of processor time; its inverse,
    // the time a frame costs.
    state.SetItemsProcessed(frames);
}
BENCHMARK(BM_FlySessionFrame)->Unit(benchmark::kMillisecond);

}  // namespace
