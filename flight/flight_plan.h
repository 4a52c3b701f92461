// flight_plan.h -- plans the camera's flight over a height map: a closed tour through its valleys
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "flight/flight_ground.h"
#include "scene/key_file.h"

class KeyPath;

// The view the flight is planned for: the handheld's 240 x 320 screen.
constexpr int kPlannedViewWidth = 240;
constexpr int kPlannedBottomRow = 295;

// The least the planner leaves between the camera and the highest ground
// within two cells of it, in height bytes, at every 10 ms of the flight.
constexpr double kPlannedClearance = 12.0;

// Plans a closed tour over `ground`: it follows valleys, crosses passes,
// dips low and climbs high, turning both ways; its last played key is its
// first again (same place, height, view direction and horizon), so that the
// restart is a cut to the same view. Called by the scene generator and import.
FlightPlan PlanFlight(const FlightGround& ground, uint64_t seed);

// The path the demo's loader builds from the plan's keys (key i at i *
// intervalMs, tension 0.5, prepared), for following a plan as it will play.
std::unique_ptr<KeyPath> BuildFlightPath(const FlightPlan& plan);
