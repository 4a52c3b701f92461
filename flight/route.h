// route.h -- the flight's ground track: a closed tour through valleys, found by least-cost search
#pragma once

#include <cstdint>
#include <vector>

#include "flight/flight_ground.h"

struct Point2 {
    double x = 0, y = 0;
};

// A closed track on the wrapping map, in cells, not wrapped: after the last
// point the track goes on at points[0] + offset (offset is a whole number of
// maps in each direction, often zero).
struct Route {
    std::vector<Point2> points;
    Point2 offset;

    size_t Size() const { return points.size(); }
    // Point i for any i, continuing the loop both ways.
    Point2 At(int64_t i) const;
    // The length of the closed loop.
    double Length() const;
};

// Finds a tour of the map: a figure of eight of waypoints, each pulled into
// the lowest ground nearby, joined by the cheapest paths where low ground is
// cheap, so the track follows valleys and crosses ridges at their passes.
// Points are one cell apart, unsmoothed.
Route FindRoute(const FlightGround& ground, uint64_t seed);

// Averages each point with its neighbours `radius` either side, `passes`
// times: a smooth track whose turns a camera can fly.
Route SmoothRoute(const Route& route, int radius, int passes);

// `count` points at equal distances along the closed track, the first at
// the track's start.
Route ResampleRoute(const Route& route, int count);

// Eases every corner sharper than `maxTurnTurns` (in turns) by pulling its
// point towards its neighbours, repeatedly, then spaces the points evenly
// again: a track of evenly spaced points the camera can turn through.
Route EaseCorners(const Route& route, double maxTurnTurns);
