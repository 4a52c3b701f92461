// bench_scene.cpp -- loads the default scene for the benchmarks and samples its cameras
#include "bench/bench_scene.h"

#include <cstdlib>
#include <filesystem>

#include "tools/tool_common.h"

namespace {

constexpr uint32_t kFlightSampleMs = 250;

bool SameSpec(const DisplaySpec& a, const DisplaySpec& b) {
    return a.width == b.width && a.height == b.height && a.layout == b.layout;
}

}  // namespace

std::string BenchSceneDirectory() {
    if (const char* dir = std::getenv("FLYOVER_BENCH_SCENE"); dir && *dir) return dir;
    return FLYOVER_BIN_DIR;
}

bool UseBenchScene(const DisplaySpec& spec) {
    static bool loaded = false;
    static DisplaySpec current;
    if (loaded && SameSpec(spec, current)) return true;
    loaded = OpenHeadlessScene(BenchSceneDirectory(), spec) != nullptr;
    current = spec;
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
