// flight_timing.cpp -- a renderer timed frame by frame over a flight, with the fill floor beside it
#include "bench/support/flight_timing.h"

#include <time.h>

#include <cstddef>
#include <vector>

#include "bench/support/bench_support.h"
#include "path/key_path.h"
#include "shared/statistics.h"

namespace {

constexpr int kFloorEvery = 16;  // frames between two timings of the fill floor
constexpr int kStepsEvery = 8;   // frames between two march step counts

double NowSeconds() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

}  // namespace

bool TimeFaithfulFlight(const FlightTimingRun& run, TerrainRenderer& renderer,
                        const ViewGeometry& view, const TerrainSources& sources,
                        FlightTiming& timing) {
    CameraState camera;
    FlightTiming& r = timing;
    r = FlightTiming{};
    const KeyPath& flight = *run.flight;
    const double seconds = run.seconds;
    const int64_t stepMs = run.stepMs;
    std::vector<double> renderUs, floorUs, memoryFloorUs;
    // Both floors, timed one after the other at the same point of the run.
    const auto timeFloors = [&](uint16_t value) {
        double floorStart = NowSeconds();
        FillFloor(view, value);
        floorUs.push_back((NowSeconds() - floorStart) * 1e6);
        floorStart = NowSeconds();
        FillFloorMemoryOrder(view, value);
        memoryFloorUs.push_back((NowSeconds() - floorStart) * 1e6);
    };
    double frameSeconds = 0, sampledRenderNs = 0;
    long long sampledSteps = 0;
    const double start = NowSeconds();
    uint32_t time = 0;
    for (;;) {
        const double frameStart = NowSeconds();
        if (!CameraAtTime(flight, static_cast<float>(time), camera)) {
            if (time == 0) {
                return false;
            }
            // The end of the path: the flight's clock restarts, as in the demo.
            ++r.flights;
            time = 0;
            if (seconds == 0) break;
            continue;
        }
        const double renderStart = NowSeconds();
        renderer.Draw(view, sources, camera);
        const double frameEnd = NowSeconds();
        renderUs.push_back((frameEnd - renderStart) * 1e6);
        frameSeconds += frameEnd - frameStart;
        if (UINT32_MAX - time < static_cast<uint32_t>(stepMs)) {
            // Past the last whole millisecond a path can hold: start again.
            ++r.flights;
            time = 0;
            if (seconds == 0) break;
            continue;
        }
        time += static_cast<uint32_t>(stepMs);

        if (renderUs.size() % kStepsEvery == 0) {
            sampledSteps += CountMarchSteps(view, sources, camera);
            sampledRenderNs += renderUs.back() * 1e3;
        }
        if (renderUs.size() % kFloorEvery == 0) timeFloors(static_cast<uint16_t>(time));
        if (seconds > 0 && frameEnd - start >= seconds) break;
    }
    if (floorUs.empty()) timeFloors(0);

    r.frames = static_cast<long long>(renderUs.size());
    r.fps = frameSeconds > 0 ? static_cast<double>(r.frames) / frameSeconds : 0;
    r.medianUs = Percentile(renderUs, 0.5);
    r.p99Us = Percentile(renderUs, 0.99);
    r.nsPerStep = sampledSteps > 0 ? sampledRenderNs / static_cast<double>(sampledSteps) : 0;
    r.floorUs = Percentile(floorUs, 0.5);
    r.ratio = r.floorUs > 0 ? r.medianUs / r.floorUs : 0;
    r.memoryFloorUs = Percentile(memoryFloorUs, 0.5);
    r.memoryRatio = r.memoryFloorUs > 0 ? r.medianUs / r.memoryFloorUs : 0;
    r.peakRssKb = PeakResidentKilobytes();
    return true;
}

bool TimeHdFlight(const FlightTimingRun& run, const HdTerrain& terrain, const HdFrame& frame,
                  FlightTiming& timing) {
    const HdPath path = FastestHdPath();
    HdRenderer one(path, 1), two(path, 2);
    // Every pixel written once, row by row: the floor of any renderer of this frame.
    const auto fillRows = [&](uint32_t value) {
        for (int row = 0; row < frame.height; ++row) {
            auto* line = reinterpret_cast<uint32_t*>(
                reinterpret_cast<unsigned char*>(frame.pixels) + row * frame.pitch);
            for (int col = 0; col < frame.width; ++col)
                line[col] = value + static_cast<uint32_t>(row);
        }
    };
    FlightTiming& r = timing;
    r = FlightTiming{};
    const KeyPath& flight = *run.flight;
    const double seconds = run.seconds;
    const int64_t stepMs = run.stepMs;
    std::vector<double> oneUs, twoUs, floorUs;
    double oneSeconds = 0, twoSeconds = 0;
    CameraState camera;
    bool warm = false;
    const double start = NowSeconds();
    uint32_t time = 0;
    for (;;) {
        if (!CameraAtTime(flight, static_cast<float>(time), camera)) {
            if (time == 0) {
                return false;
            }
            ++r.flights;
            time = 0;
            if (seconds == 0) break;
            continue;
        }
        if (!warm) {
            // The sky at this scale and the step table, made once before timing.
            one.Draw(frame, terrain, camera);
            two.Draw(frame, terrain, camera);
            warm = true;
        }
        const double t0 = NowSeconds();
        one.Draw(frame, terrain, camera);
        const double t1 = NowSeconds();
        two.Draw(frame, terrain, camera);
        const double t2 = NowSeconds();
        oneUs.push_back((t1 - t0) * 1e6);
        twoUs.push_back((t2 - t1) * 1e6);
        oneSeconds += t1 - t0;
        twoSeconds += t2 - t1;
        if (oneUs.size() % kFloorEvery == 1) {
            const double floorStart = NowSeconds();
            fillRows(time);
            floorUs.push_back((NowSeconds() - floorStart) * 1e6);
        }
        if (seconds > 0 && t2 - start >= seconds) break;
        if (UINT32_MAX - time < static_cast<uint32_t>(stepMs)) {
            ++r.flights;
            time = 0;
            if (seconds == 0) break;
            continue;
        }
        time += static_cast<uint32_t>(stepMs);
    }

    r.frames = static_cast<long long>(oneUs.size());
    r.fps = oneSeconds > 0 ? static_cast<double>(r.frames) / oneSeconds : 0;
    r.fps2 = twoSeconds > 0 ? static_cast<double>(r.frames) / twoSeconds : 0;
    r.medianUs = Percentile(oneUs, 0.5);
    r.p99Us = Percentile(oneUs, 0.99);
    r.median2Us = Percentile(twoUs, 0.5);
    r.p992Us = Percentile(twoUs, 0.99);
    r.floorUs = Percentile(floorUs, 0.5);
    r.ratio = r.floorUs > 0 ? r.medianUs / r.floorUs : 0;
    r.ratio2 = r.floorUs > 0 ? r.median2Us / r.floorUs : 0;
    r.peakRssKb = PeakResidentKilobytes();
    return true;
}
