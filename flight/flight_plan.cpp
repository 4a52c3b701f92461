// flight_plan.cpp -- keys along the route: altitude over the ground ahead, view direction, pitch,
// clearance fixing
#include "flight/flight_plan.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#include "flight/flight_review.h"
#include "flight/route.h"
#include "path/key_path.h"
#include "shared/exact_math.h"

namespace {

constexpr int kIntervalMs = 1500;
constexpr double kCruiseSpeed = 9.0;  // cells per second
constexpr int kMinLoopKeys = 42;      // 63 s of flight
constexpr int kMaxLoopKeys = 78;      // 117 s

constexpr double kTurnUnits = 4096.0;
// The sharpest change of course from one key to the next, in turns.
constexpr double kSharpestTurn = 0.09;
// Horizon rows the planner keeps to, and the least share of sky it wants in
// view (judged on a narrow view of the same field of view, for speed).
constexpr double kLowestHorizon = 80.0;
constexpr double kHighestHorizon = 190.0;
constexpr double kLeastSkyShare = 0.08;
constexpr int kJudgedViewWidth = 60;

double Round(double v) {
    return Floor(v + 0.5);
}

// The highest ground within a few cells of the straight line a..b, in bytes.
double GroundAlong(const FlightGround& t, Point2 a, Point2 b) {
    const double len = std::sqrt((b.x - a.x) * (b.x - a.x) + (b.y - a.y) * (b.y - a.y));
    const int steps = static_cast<int>(len) + 1;
    int highest = 0;
    for (int s = 0; s <= steps; ++s) {
        const double f = static_cast<double>(s) / steps;
        const int x = static_cast<int>(Floor(Lerp(a.x, b.x, f))),
                  y = static_cast<int>(Floor(Lerp(a.y, b.y, f)));
        for (int dy = -3; dy <= 3; ++dy)
            for (int dx = -3; dx <= 3; ++dx) {
                const int h = t.height[((y + dy) & 255) * 256 + ((x + dx) & 255)];
                if (h > highest) highest = h;
            }
    }
    return highest;
}

// How far the ground at p lies below the ground in a ring around it: deep
// in a valley this is large, on a crest negative.
double ValleyDepth(const FlightGround& t, Point2 p) {
    double ring = 0.0;
    for (int k = 0; k < 16; ++k) {
        const double a = k / 16.0;
        ring += t.surface.Sample(p.x + 14.0 * CosTurns(a), p.y + 14.0 * SinTurns(a));
    }
    const double here = t.surface.Sample(p.x, p.y);
    return ring / 16.0 - (here < 0 ? 0.0 : here);
}

// The track through the valleys and one point on it for each key.
struct KeyRoute {
    Route track;  // smoothed, one cell between points
    Route keys;   // a point a key, shifted near the origin
    double length = 0;
    int n = 0;  // the keys of one loop

    // Key i for any i, continuing the loop both ways.
    int Wrap(int i) const { return ((i % n) + n) % n; }
};

// The height of each key, in bytes, and the ground along its stretch.
struct KeyHeights {
    std::vector<double> ground, altitude;
};

// The view direction of each key, in 4096ths of a turn, and the whole turns
// one loop makes.
struct KeyHeadings {
    std::vector<double> heading;
    double winding = 0;
};

// What one flight of the plan asks to change before the next: where to
// lift the camera, raise the nose, or lower it to keep the sky band within
// its picture.
struct Corrections {
    explicit Corrections(int n) : lift(n, 0.0), raise(n, 0.0), lower(n, 0.0) {}
    bool settled = true;
    std::vector<double> lift, raise, lower;
};

KeyRoute PlanKeyRoute(const FlightGround& terrain, uint64_t seed) {
    KeyRoute route;
    route.track = SmoothRoute(FindRoute(terrain, seed), 9, 6);
    route.length = route.track.Length();
    route.n = static_cast<int>(Clamp(Round(route.length / (kCruiseSpeed * kIntervalMs / 1000.0)),
                                     kMinLoopKeys, kMaxLoopKeys));
    route.keys = EaseCorners(ResampleRoute(route.track, route.n), kSharpestTurn);
    // Keep the positions positive and small, where floats are finest.
    const double shiftX = -256.0 * Floor(route.keys.points[0].x / 256.0);
    const double shiftY = -256.0 * Floor(route.keys.points[0].y / 256.0);
    for (Point2& p : route.keys.points) {
        p.x += shiftX;
        p.y += shiftY;
    }
    return route;
}

// Ground along each key's stretch of track and the clearance wanted there:
// a slow swell between skimming low and sweeping high, lower still where
// the track runs down a valley.
KeyHeights PlanHeights(const FlightGround& terrain, const KeyRoute& route, uint64_t seed) {
    const int n = route.n;
    SceneRandom random(seed ^ 0xF1165EEDull);
    const double phase = random.Uniform();
    KeyHeights h;
    h.ground.resize(n);
    std::vector<double> wanted(n);
    for (int i = 0; i < n; ++i) {
        h.ground[i] = GroundAlong(terrain, route.keys.At(i - 1), route.keys.At(i + 1));
        const double swell = 0.5 + 0.5 * SinTurns(3.0 * i / n + phase);
        const double valley = Clamp(ValleyDepth(terrain, route.keys.At(i)) / 30.0, 0.0, 1.0);
        wanted[i] = 16.0 + 34.0 * swell - 8.0 * valley;
    }
    h.altitude.resize(n);
    for (int i = 0; i < n; ++i) {
        const double ahead = std::max(h.ground[route.Wrap(i + 1)], h.ground[i]);
        h.altitude[i] = std::max(ahead, h.ground[route.Wrap(i - 1)]) + wanted[i];
    }
    std::vector<double> smooth(n);
    for (int i = 0; i < n; ++i)
        smooth[i] = 0.25 * h.altitude[route.Wrap(i - 1)] + 0.5 * h.altitude[i] +
                    0.25 * h.altitude[route.Wrap(i + 1)];
    for (int i = 0; i < n; ++i)
        h.altitude[i] = std::max(smooth[i], h.ground[i] + kPlannedClearance + 4.0);
    return h;
}

// View direction: along the track, turned a little further into each turn,
// as a pilot looks where the turn leads.
KeyHeadings PlanHeadings(const KeyRoute& route) {
    const int n = route.n;
    std::vector<double> course(n + 2);
    for (int i = 0; i < n + 2; ++i) {
        const Point2 a = route.keys.At(i - 1), b = route.keys.At(i + 1);
        double c = Atan2Turns(b.y - a.y, b.x - a.x) * kTurnUnits;
        if (i > 0) c += kTurnUnits * Round((course[i - 1] - c) / kTurnUnits);
        course[i] = c;
    }
    KeyHeadings h;
    // Whole turns made in one loop (the two ends see the same direction).
    h.winding = kTurnUnits * Round((course[n] - course[0]) / kTurnUnits);
    h.heading.resize(n);
    for (int i = 0; i < n; ++i) {
        const double before = i > 0 ? course[i - 1] : course[n - 1] - h.winding;
        h.heading[i] = course[i] + 0.3 * (course[i + 1] - before);
    }
    return h;
}

// Pitch: the nose rises in a climb and falls in a dive; low over the ground
// the camera looks ahead, high up it looks down more.
std::vector<double> PlanHorizons(const KeyRoute& route, const KeyHeights& heights) {
    const int n = route.n;
    const double spacing = route.length / n;
    std::vector<double> horizon(n);
    for (int i = 0; i < n; ++i) {
        const double climb =
            (heights.altitude[route.Wrap(i + 1)] - heights.altitude[route.Wrap(i - 1)]) /
            (2.0 * spacing);
        const double above = heights.altitude[i] - heights.ground[i];
        horizon[i] =
            Clamp(128.0 - 0.4 * (above - 16.0) + 40.0 * climb, kLowestHorizon, kHighestHorizon);
    }
    return horizon;
}

// The keys as the key file holds them: one loop and the two keys after it,
// a lap further on.
std::vector<std::array<int64_t, 5>> KeysOf(const KeyRoute& route, const KeyHeights& heights,
                                           const KeyHeadings& headings,
                                           const std::vector<double>& horizon) {
    const int n = route.n;
    const double lapX = route.track.offset.x * kCellUnits, lapY = route.track.offset.y * kCellUnits;
    std::vector<std::array<int64_t, 5>> keys;
    for (int i = 0; i < n + 2; ++i) {
        const int k = i % n;
        const int lap = i / n;
        const Point2 p = route.keys.points[k];
        keys.push_back({static_cast<int64_t>(Round(p.x * kCellUnits) + lap * lapX),
                        static_cast<int64_t>(Round(p.y * kCellUnits) + lap * lapY),
                        static_cast<int64_t>(Round(heights.altitude[k] * kHeightUnit)),
                        static_cast<int64_t>(Round(headings.heading[k]) + lap * headings.winding),
                        static_cast<int64_t>(Round(horizon[k]))});
    }
    return keys;
}

// High up with the nose raised, the sky band grows taller than the sky
// picture and its top rows smear the picture's first row: at every
// millisecond the demo can show, lower the nose of both ends of a stretch
// where that happens.
void JudgeSkyBand(const KeyPath& path, const KeyRoute& route, Corrections& c) {
    for (const FlightSample& s : SampleFlight(path, 1)) {
        const int band = SkyBand(s.camera, kPlannedBottomRow);
        if (band <= kTallestSkyBand) continue;
        c.settled = false;
        const int seg = static_cast<int>(s.timeMs / kIntervalMs);
        for (int k : {route.Wrap(seg), route.Wrap(seg + 1)})
            c.lower[k] = std::max(c.lower[k], static_cast<double>(band - kTallestSkyBand));
    }
}

// Every 10 ms: lift both ends of every stretch that comes too close to the
// ground; where a ridge ahead hides the sky, raise the nose, or climb once
// the nose is as high as it may go.
void JudgeClearanceAndSky(const FlightGround& terrain, const KeyPath& path, const KeyRoute& route,
                          const std::vector<double>& horizon,
                          const std::vector<double>& highestForSky, Corrections& c) {
    const std::vector<FlightSample> samples = SampleFlight(path, 10);
    for (size_t j = 0; j < samples.size(); ++j) {
        const FlightSample& s = samples[j];
        const int seg = static_cast<int>(s.timeMs / kIntervalMs);
        const GroundAround g = GroundAt(terrain.height.data(), s.camera.x, s.camera.y);
        const double gap = static_cast<double>(s.camera.height) / kHeightUnit - g.near;
        if (gap < kPlannedClearance + 0.5) {
            c.settled = false;
            const double need = kPlannedClearance + 1.5 - gap;
            for (int k : {route.Wrap(seg), route.Wrap(seg + 1)})
                c.lift[k] = std::max(c.lift[k], need);
        }
        if (j % 5 != 0) continue;
        const ViewContent v = MeasureView(terrain.height.data(), kJudgedViewWidth,
                                          kPlannedBottomRow, s.camera, ReproducibleSineTable());
        if (v.sky >= kLeastSkyShare * kJudgedViewWidth * (kPlannedBottomRow + 1)) continue;
        c.settled = false;
        for (int k : {route.Wrap(seg), route.Wrap(seg + 1)}) {
            if (horizon[k] < std::min(kHighestHorizon, highestForSky[k]))
                c.raise[k] = 6.0;
            else
                c.lift[k] = std::max(c.lift[k], 4.0);
        }
    }
}

}  // namespace

FlightPlan PlanFlight(const FlightGround& terrain, uint64_t seed) {
    const KeyRoute route = PlanKeyRoute(terrain, seed);
    const int n = route.n;
    KeyHeights heights = PlanHeights(terrain, route, seed);
    const KeyHeadings headings = PlanHeadings(route);
    std::vector<double> horizon = PlanHorizons(route, heights);

    FlightPlan plan;
    plan.intervalMs = kIntervalMs;
    // The highest each key's horizon may go for the sky band to fit its
    // picture, learnt as the flight is flown (and kept from then on); no
    // limit until one is needed.
    std::vector<double> highestForSky(n, 1e300);
    for (int round = 0; round < 60; ++round) {
        plan.keys = KeysOf(route, heights, headings, horizon);
        // Fly it as the demo will, and correct it until it flies clear. A
        // flight that never needs a correction is left as it is.
        const std::unique_ptr<KeyPath> path = BuildFlightPath(plan);
        Corrections c(n);
        JudgeSkyBand(*path, route, c);
        JudgeClearanceAndSky(terrain, *path, route, horizon, highestForSky, c);
        if (c.settled) break;
        for (int i = 0; i < n; ++i) {
            heights.altitude[i] += c.lift[i];
            if (c.lower[i] > 0.0)
                highestForSky[i] = std::min(highestForSky[i], horizon[i] - c.lower[i]);
            horizon[i] = std::min({horizon[i] + c.raise[i], kHighestHorizon, highestForSky[i]});
        }
    }
    return plan;
}

std::unique_ptr<KeyPath> BuildFlightPath(const FlightPlan& plan) {
    auto path = std::make_unique<KeyPath>(5, 0.5f, static_cast<uint32_t>(plan.keys.size()));
    for (size_t i = 0; i < plan.keys.size(); ++i) {
        float v[5];
        for (int c = 0; c < 5; ++c)
            v[c] = static_cast<float>(plan.keys[i][c]);
        path->AddKey(static_cast<int32_t>(i) * plan.intervalMs, v);
    }
    path->Prepare();
    return path;
}
