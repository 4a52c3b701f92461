// flight_timing.cpp -- a renderer timed frame by frame over a flight, with the fill floor beside it
#include "bench/support/flight_timing.h"

#include <time.h>

#include <cstddef>
#include <cstring>
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

// The cameras of a run, frame by frame: the flight at 0, stepMs, 2 stepMs ...
// ms, flown again from its start at its end as the demo does, until it has
// been flown once (seconds 0) or the run's seconds have passed.
class FlightClock {
public:
    explicit FlightClock(const FlightTimingRun& run) : run_(run), start_(NowSeconds()) {}

    // The next frame's camera; false when the run is over.
    bool Next(CameraState& camera) {
        if (over_ || (run_.seconds > 0 && frames_ > 0 && NowSeconds() - start_ >= run_.seconds))
            return false;
        while (!CameraAtTime(*run_.flight, static_cast<float>(time_), camera)) {
            if (time_ == 0) return false;  // the flight has no frame at all
            if (!Restart()) return false;
        }
        ++frames_;
        if (UINT32_MAX - time_ < static_cast<uint32_t>(run_.stepMs))
            over_ = !Restart();  // past the last whole millisecond a path can hold
        else
            time_ += static_cast<uint32_t>(run_.stepMs);
        return true;
    }

    uint32_t Time() const { return time_; }
    int Flights() const { return flights_; }

private:
    // The end of the flight: its clock starts again, unless it was to be flown once.
    bool Restart() {
        ++flights_;
        time_ = 0;
        return run_.seconds > 0;
    }

    const FlightTimingRun& run_;
    double start_;
    uint32_t time_ = 0;
    long long frames_ = 0;
    int flights_ = 0;
    bool over_ = false;
};

// Four 32-bit pixels in one vector register (the compiler's generic vectors).
using PixelVector = uint32_t __attribute__((vector_size(16)));

// Every pixel of the HD frame written once, row by row and four at a time:
// the floor of any renderer of this frame.
__attribute__((noinline)) void FillHdRows(const HdFrame& frame, uint32_t value) {
    for (int row = 0; row < frame.height; ++row) {
        auto* line = reinterpret_cast<uint32_t*>(reinterpret_cast<unsigned char*>(frame.pixels) +
                                                 row * frame.pitch);
        const uint32_t pixel = value + static_cast<uint32_t>(row);
        const PixelVector pixels = {pixel, pixel, pixel, pixel};
        int col = 0;
        for (; col + 4 <= frame.width; col += 4)
            std::memcpy(line + col, &pixels, sizeof pixels);
        for (; col < frame.width; ++col)
            line[col] = pixel;
    }
}

}  // namespace

bool TimeFaithfulFlight(const FlightTimingRun& run, TerrainRenderer& renderer,
                        const ViewGeometry& view, const TerrainSources& sources,
                        FlightTiming& timing) {
    FlightTiming& r = timing;
    r = FlightTiming{};
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
    FlightClock clock(run);
    CameraState camera;
    for (;;) {
        // A frame's time counts the camera's evaluation, as the demo's frame does.
        const double frameStart = NowSeconds();
        if (!clock.Next(camera)) break;
        const double renderStart = NowSeconds();
        renderer.Draw(view, sources, camera);
        const double frameEnd = NowSeconds();
        renderUs.push_back((frameEnd - renderStart) * 1e6);
        frameSeconds += frameEnd - frameStart;

        if (renderUs.size() % kStepsEvery == 0) {
            sampledSteps += CountMarchSteps(view, sources, camera);
            sampledRenderNs += renderUs.back() * 1e3;
        }
        if (renderUs.size() % kFloorEvery == 0) timeFloors(static_cast<uint16_t>(clock.Time()));
    }
    if (renderUs.empty()) return false;
    if (floorUs.empty()) timeFloors(0);

    r.frames = static_cast<long long>(renderUs.size());
    r.flights = clock.Flights();
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
    FlightTiming& r = timing;
    r = FlightTiming{};
    std::vector<double> oneUs, twoUs, floorUs;
    double oneSeconds = 0, twoSeconds = 0;
    FlightClock clock(run);
    CameraState camera;
    while (clock.Next(camera)) {
        if (oneUs.empty()) {
            // The sky at this scale and the step table, made once before timing.
            one.Draw(frame, terrain, camera);
            two.Draw(frame, terrain, camera);
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
            FillHdRows(frame, clock.Time());
            floorUs.push_back((NowSeconds() - floorStart) * 1e6);
        }
    }
    if (oneUs.empty()) return false;

    r.frames = static_cast<long long>(oneUs.size());
    r.flights = clock.Flights();
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
