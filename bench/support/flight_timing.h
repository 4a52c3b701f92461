// flight_timing.h -- timing a renderer over a scene's flight: what `flyover-tool bench` measures
#pragma once

#include <cstdint>

#include "render/hd_view.h"
#include "render/terrain_renderer.h"
#include "shared/scene_types.h"

// What a run measured. Times in microseconds; the fill floor is every pixel
// of the frame written once (the faithful view's in its renderer's order,
// column by column; the HD frame row by row), timed in the same run.
struct FlightTiming {
    long long frames = 0;
    int flights = 0;  // whole flights flown
    double fps = 0, medianUs = 0, p99Us = 0, floorUs = 0, ratio = 0;
    // The faithful view: the floor of writing its pixels in the screen's
    // memory order (row by row on an upright display), and the ratio to it.
    double memoryFloorUs = 0, memoryRatio = 0;
    double nsPerStep = 0;  // the faithful view: time per march step
    // The HD view: the same frames drawn again on two threads.
    double fps2 = 0, median2Us = 0, p992Us = 0, ratio2 = 0;
    long peakRssKb = 0;
};

// How long to fly: `stepMs` of flight time per frame; for `seconds` of wall
// time, flying the flight again as the demo does, or once when 0.
struct FlightTimingRun {
    const KeyPath* flight = nullptr;
    int64_t stepMs = 1;
    double seconds = 0;
};

// Called by `bench` with a loaded scene: times `renderer` drawing `sources`
// into `view` for every camera of the run. False when the flight gives no
// frame to draw at all.
bool TimeFaithfulFlight(const FlightTimingRun& run, TerrainRenderer& renderer,
                        const ViewGeometry& view, const TerrainSources& sources,
                        FlightTiming& timing);

// The same for the HD view of `terrain` into `frame`, each frame drawn on one
// thread and then on two with the fastest HD path.
bool TimeHdFlight(const FlightTimingRun& run, const HdTerrain& terrain, const HdFrame& frame,
                  FlightTiming& timing);
