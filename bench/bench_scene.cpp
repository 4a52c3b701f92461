// bench_scene.cpp -- loads the default scene for the benchmarks and samples its cameras
#include "bench/bench_scene.h"

#include <cstdlib>
#include <filesystem>

#include "tools/tool_common.h"

namespace {

constexpr uint32_t kFlightSampleMs = 250;

bool SameShape(const DisplayShape& a, const DisplayShape& b) {
    return a.width == b.width && a.height == b.height && a.layout == b.layout;
}

}  // namespace

std::string BenchSceneDirectory() {
    if (const char* dir = std::getenv("FLYOVER_BENCH_SCENE"); dir && *dir) return dir;
    return FLYOVER_BIN_DIR;
}

bool UseBenchScene(const DisplayShape& shape) {
    static bool loaded = false;
    static DisplayShape current;
    if (loaded && SameShape(shape, current)) return true;
    loaded = OpenHeadlessScene(BenchSceneDirectory(), shape) != nullptr;
    current = shape;
    return loaded;
}

const std::vector<CameraState>& BenchFlightCameras() {
    static const std::vector<CameraState> cameras = FlightCameras(kFlightSampleMs);
    return cameras;
}

const std::vector<NamedCamera>& BenchHardCases() {
    static const std::vector<NamedCamera> cases = HardCaseCameras();
    return cases;
}
