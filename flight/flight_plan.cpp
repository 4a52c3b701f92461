// flight.cpp -- keys along the route: altitude over the ground ahead, view direction, pitch,
// clearance fixing
#include "flight/flight_plan.h"

#include <algorithm>
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

struct Key {
    double x, y, height, heading, horizon;  // height in bytes until written
};

}  // namespace

FlightPlan PlanFlight(const FlightGround& terrain, uint64_t seed) {
    const Route track = SmoothRoute(FindRoute(terrain, seed), 9, 6);
    const double length = track.Length();
    const int loopKeys = static_cast<int>(
        Clamp(Round(length / (kCruiseSpeed * kIntervalMs / 1000.0)), kMinLoopKeys, kMaxLoopKeys));
    Route keysRoute = EaseCorners(ResampleRoute(track, loopKeys), kSharpestTurn);
    // Keep the positions positive and small, where floats are finest.
    const double shiftX = -256.0 * Floor(keysRoute.points[0].x / 256.0);
    const double shiftY = -256.0 * Floor(keysRoute.points[0].y / 256.0);
    for (Point2& p : keysRoute.points) {
        p.x += shiftX;
        p.y += shiftY;
    }
    const int n = loopKeys;
    auto wrap = [n](int i) { return ((i % n) + n) % n; };

    // Ground along each key's stretch of track and the clearance wanted there:
    // a slow swell between skimming low and sweeping high, lower still where
    // the track runs down a valley.
    SceneRandom random(seed ^ 0xF1165EEDull);
    const double phase = random.Uniform();
    std::vector<double> ground(n), wanted(n);
    for (int i = 0; i < n; ++i) {
        ground[i] = GroundAlong(terrain, keysRoute.At(i - 1), keysRoute.At(i + 1));
        const double swell = 0.5 + 0.5 * SinTurns(3.0 * i / n + phase);
        const double valley = Clamp(ValleyDepth(terrain, keysRoute.At(i)) / 30.0, 0.0, 1.0);
        wanted[i] = 16.0 + 34.0 * swell - 8.0 * valley;
    }
    std::vector<double> altitude(n);
    for (int i = 0; i < n; ++i) {
        const double ahead = std::max(ground[wrap(i + 1)], ground[i]);
        altitude[i] = std::max(ahead, ground[wrap(i - 1)]) + wanted[i];
    }
    {
        std::vector<double> smooth(n);
        for (int i = 0; i < n; ++i)
            smooth[i] =
                0.25 * altitude[wrap(i - 1)] + 0.5 * altitude[i] + 0.25 * altitude[wrap(i + 1)];
        for (int i = 0; i < n; ++i)
            altitude[i] = std::max(smooth[i], ground[i] + kPlannedClearance + 4.0);
    }

    // View direction: along the track, turned a little further into each
    // turn, as a pilot looks where the turn leads.
    std::vector<double> course(n + 2);
    for (int i = 0; i < n + 2; ++i) {
        const Point2 a = keysRoute.At(i - 1), b = keysRoute.At(i + 1);
        double c = Atan2Turns(b.y - a.y, b.x - a.x) * kTurnUnits;
        if (i > 0) c += kTurnUnits * Round((course[i - 1] - c) / kTurnUnits);
        course[i] = c;
    }
    // Whole turns made in one loop (the two ends see the same direction).
    const double winding = kTurnUnits * Round((course[n] - course[0]) / kTurnUnits);
    std::vector<double> heading(n);
    for (int i = 0; i < n; ++i) {
        const double before = i > 0 ? course[i - 1] : course[n - 1] - winding;
        heading[i] = course[i] + 0.3 * (course[i + 1] - before);
    }

    // Pitch: the nose rises in a climb and falls in a dive; low over the
    // ground the camera looks ahead, high up it looks down more.
    const double spacing = length / n;
    std::vector<double> horizon(n);
    for (int i = 0; i < n; ++i) {
        const double climb = (altitude[wrap(i + 1)] - altitude[wrap(i - 1)]) / (2.0 * spacing);
        const double above = altitude[i] - ground[i];
        horizon[i] =
            Clamp(128.0 - 0.4 * (above - 16.0) + 40.0 * climb, kLowestHorizon, kHighestHorizon);
    }

    FlightPlan plan;
    plan.intervalMs = kIntervalMs;
    const double lapX = track.offset.x * kCellUnits, lapY = track.offset.y * kCellUnits;
    // The highest each key's horizon may go for the sky band to fit its
    // picture, learnt as the flight is flown; no limit until one is needed.
    std::vector<double> highestForSky(n, 1e300);
    for (int round = 0; round < 60; ++round) {
        plan.keys.clear();
        for (int i = 0; i < n + 2; ++i) {
            const int k = i % n;
            const int lap = i / n;
            const Point2 p = keysRoute.points[k];
            plan.keys.push_back({static_cast<int64_t>(Round(p.x * kCellUnits) + lap * lapX),
                                 static_cast<int64_t>(Round(p.y * kCellUnits) + lap * lapY),
                                 static_cast<int64_t>(Round(altitude[k] * kHeightUnit)),
                                 static_cast<int64_t>(Round(heading[k]) + lap * winding),
                                 static_cast<int64_t>(Round(horizon[k]))});
        }
        // Fly it as the demo will. Lift both ends of every stretch that
        // comes too close to the ground; where a ridge ahead hides the sky,
        // raise the nose, or climb once the nose is as high as it goes.
        const std::unique_ptr<KeyPath> path = BuildFlightPath(plan);
        bool settled = true;
        std::vector<double> lift(n, 0.0), raise(n, 0.0), lower(n, 0.0);
        // High up with the nose raised, the sky band grows taller than the
        // sky picture and its top rows smear the picture's first row: at
        // every millisecond the demo can show, lower the nose of both ends
        // of a stretch where that happens, and keep it at most that high
        // from then on. A flight that never does so is left as it is.
        for (const FlightSample& s : SampleFlight(*path, 1)) {
            const int band = SkyBand(s.camera, kPlannedBottomRow);
            if (band <= kTallestSkyBand) continue;
            settled = false;
            const int seg = static_cast<int>(s.timeMs / kIntervalMs);
            for (int k : {wrap(seg), wrap(seg + 1)})
                lower[k] = std::max(lower[k], static_cast<double>(band - kTallestSkyBand));
        }
        const std::vector<FlightSample> samples = SampleFlight(*path, 10);
        for (size_t j = 0; j < samples.size(); ++j) {
            const FlightSample& s = samples[j];
            const int seg = static_cast<int>(s.timeMs / kIntervalMs);
            const GroundAround g = GroundAt(terrain.height.data(), s.camera.x, s.camera.y);
            const double gap = static_cast<double>(s.camera.height) / kHeightUnit - g.near;
            if (gap < kPlannedClearance + 0.5) {
                settled = false;
                const double need = kPlannedClearance + 1.5 - gap;
                for (int k : {wrap(seg), wrap(seg + 1)})
                    lift[k] = std::max(lift[k], need);
            }
            if (j % 5 != 0) continue;
            const ViewContent v = MeasureView(terrain.height.data(), kJudgedViewWidth,
                                              kPlannedBottomRow, s.camera, ReproducibleSineTable());
            if (v.sky >= kLeastSkyShare * kJudgedViewWidth * (kPlannedBottomRow + 1)) continue;
            settled = false;
            for (int k : {wrap(seg), wrap(seg + 1)}) {
                if (horizon[k] < std::min(kHighestHorizon, highestForSky[k]))
                    raise[k] = 6.0;
                else
                    lift[k] = std::max(lift[k], 4.0);
            }
        }
        if (settled) break;
        for (int i = 0; i < n; ++i) {
            altitude[i] += lift[i];
            if (lower[i] > 0.0)
                highestForSky[i] = std::min(highestForSky[i], horizon[i] - lower[i]);
            horizon[i] = std::min({horizon[i] + raise[i], kHighestHorizon, highestForSky[i]});
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
