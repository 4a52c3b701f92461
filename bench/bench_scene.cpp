// bench_scene.cpp -- loads the default scene for the benchmarks and samples its cameras
#include "bench/bench_scene.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <tuple>

namespace {

constexpr uint32_t kFlightSampleMs = 250;

}  // namespace

std::string BenchSceneDirectory() {
    if (const char* dir = std::getenv("FLYOVER_BENCH_SCENE"); dir && *dir) return dir;
    return FLYOVER_BIN_DIR;
}

const ToolScene* BenchScene() {
    static const std::unique_ptr<ToolScene> scene = ReadToolScene(BenchSceneDirectory());
    return scene.get();
}

const ViewGeometry& BenchView(const DisplayShape& shape) {
    static std::map<std::tuple<int, int, DisplayLayout>, std::unique_ptr<ToolScreen>> screens;
    auto& screen = screens[{shape.width, shape.height, shape.layout}];
    // OpenToolScreen derives the view; a screen made directly has none.
    if (!screen) screen = OpenToolScreen(shape);
    if (!screen) {
        std::fprintf(stderr, "flyover_bench: a %dx%d display holds no view\n", shape.width,
                     shape.height);
        std::exit(1);
    }
    return screen->view;
}

const std::vector<CameraState>& BenchFlightCameras() {
    static const std::vector<CameraState> cameras =
        FlightCameras(*BenchScene()->scene.path, kFlightSampleMs);
    return cameras;
}

const std::vector<NamedCamera>& BenchHardCases() {
    static const std::vector<NamedCamera> cases = HardCaseCameras(BenchScene()->scene.heightMap);
    return cases;
}
