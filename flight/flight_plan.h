// flight.h -- plans the camera's flight over the generated terrain and writes it as a key file
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/scenegen/terrain.h"

class KeyPath;

// The keys of a flight in camera units (x, y: 16.16 cells; height: byte <<
// 17; heading: 4096 per turn, unwrapped; horizon: view row), all whole
// numbers, one every intervalMs. The flight plays up to the next-to-last key.
struct FlightPlan {
    int intervalMs = 0;
    std::vector<std::array<int64_t, 5>> keys;
};

// The view the flight is planned for: the handheld's 240 x 320 screen.
constexpr int kPlannedViewWidth = 240;
constexpr int kPlannedBottomRow = 295;

// The least the planner leaves between the camera and the highest ground
// within two cells of it, in height bytes, at every 10 ms of the flight.
constexpr double kPlannedClearance = 12.0;

// Plans a closed tour over `terrain`: it follows valleys, crosses passes,
// dips low and climbs high, turning both ways; its last played key is its
// first again (same place, height, view direction and horizon), so that the
// restart is a cut to the same view. Called by the scene generator.
FlightPlan PlanFlight(const Terrain& terrain, uint64_t seed);

// The path the demo's loader builds from the plan's keys (key i at i *
// intervalMs, tension 0.5, prepared), for following a plan as it will play.
std::unique_ptr<KeyPath> BuildFlightPath(const FlightPlan& plan);

// Keys2.txt: the two map names, the key count, the interval, then one line
// of five numbers per key.
std::string FormatKeyFile(const FlightPlan& plan, const std::string& colourMapName,
                          const std::string& heightMapName);
