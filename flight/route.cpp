// route.cpp -- waypoints, least-cost legs on the wrapping map, smoothing and even resampling
#include "flight/route.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <queue>

#include "shared/exact_math.h"

namespace {

constexpr int kWaypoints = 10;

int CellIndex(int x, int y) {
    return (y & 255) * 256 + (x & 255);
}

// The cheapest 8-connected path from cell `from` to cell `to` on the
// wrapping map, as the steps (dx, dy) taken.
std::vector<std::pair<int, int>> CheapestLeg(const std::vector<double>& cost, int from, int to) {
    constexpr int kDx[8] = {1, -1, 0, 0, 1, 1, -1, -1};
    constexpr int kDy[8] = {0, 0, 1, -1, 1, -1, 1, -1};
    constexpr double kDiagonal = 1.4142135623730951;
    std::vector<double> best(65536, 1e300);
    std::vector<int8_t> via(65536, -1);
    using Entry = std::pair<double, int>;
    std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> open;
    best[from] = 0.0;
    open.push({0.0, from});
    while (!open.empty()) {
        const auto [d, c] = open.top();
        open.pop();
        if (d > best[c]) continue;
        if (c == to) break;
        const int cx = c & 255, cy = c >> 8;
        for (int k = 0; k < 8; ++k) {
            const int n = CellIndex(cx + kDx[k], cy + kDy[k]);
            const double step = (k < 4 ? 1.0 : kDiagonal) * 0.5 * (cost[c] + cost[n]);
            if (d + step < best[n]) {
                best[n] = d + step;
                via[n] = static_cast<int8_t>(k);
                open.push({d + step, n});
            }
        }
    }
    std::vector<std::pair<int, int>> steps;
    for (int c = to; c != from;) {
        const int k = via[c];
        steps.push_back({kDx[k], kDy[k]});
        c = CellIndex((c & 255) - kDx[k], (c >> 8) - kDy[k]);
    }
    return {steps.rbegin(), steps.rend()};
}

// The lowest cell within `radius` of (x, y); ties go to the nearest.
std::pair<int, int> LowestNear(const FlightGround& t, int x, int y, int radius) {
    std::pair<int, int> best = {x, y};
    double bestValue = 1e300;
    for (int dy = -radius; dy <= radius; ++dy)
        for (int dx = -radius; dx <= radius; ++dx) {
            if (dx * dx + dy * dy > radius * radius) continue;
            const double v = t.surface.At(x + dx, y + dy) + 0.05 * (dx * dx + dy * dy);
            if (v < bestValue) {
                bestValue = v;
                best = {x + dx, y + dy};
            }
        }
    return best;
}

// Where a leg runs into a dead end to reach its waypoint and the next leg
// comes back out the same way, the track would double back on itself: cut
// out every stretch that returns to within a couple of cells of where it
// was a little earlier.
Route CutSpurs(const Route& route) {
    constexpr size_t kLookAhead = 90;
    constexpr double kNear2 = 2.5 * 2.5;
    Route out;
    out.offset = route.offset;
    const std::vector<Point2>& p = route.points;
    for (size_t i = 0; i < p.size();) {
        out.points.push_back(p[i]);
        size_t next = i + 1;
        for (size_t j = std::min(p.size() - 1, i + kLookAhead); j > i + 4; --j) {
            const double dx = p[j].x - p[i].x, dy = p[j].y - p[i].y;
            if (dx * dx + dy * dy < kNear2) {
                next = j;
                break;
            }
        }
        i = next;
    }
    return out;
}

}  // namespace

Point2 Route::At(int64_t i) const {
    const int64_t n = static_cast<int64_t>(points.size());
    int64_t laps = i / n, k = i % n;
    if (k < 0) {
        k += n;
        --laps;
    }
    return {points[k].x + offset.x * laps, points[k].y + offset.y * laps};
}

double Route::Length() const {
    double sum = 0.0;
    for (size_t i = 0; i < points.size(); ++i) {
        const Point2 a = At(i), b = At(i + 1);
        sum += std::sqrt((b.x - a.x) * (b.x - a.x) + (b.y - a.y) * (b.y - a.y));
    }
    return sum;
}

Route FindRoute(const FlightGround& terrain, uint64_t seed) {
    // Low ground is cheap, high ground dear: legs keep to valleys and lakes.
    std::vector<double> cost(65536);
    for (int i = 0; i < 65536; ++i) {
        const double h = Clamp(terrain.surface.Cells()[i], 0.0, 255.0) / 255.0;
        cost[i] = 1.0 + 14.0 * h * h;
    }

    SceneRandom random(seed * 0x2545F4914F6CDD1Dull + 0xF11647ull);
    const double turn = random.Uniform();
    const double cx = random.Range(96.0, 160.0), cy = random.Range(96.0, 160.0);
    std::vector<std::pair<int, int>> waypoints;
    for (int j = 0; j < kWaypoints; ++j) {
        // A figure of eight, so the flight turns both ways, rotated by the seed.
        const double a = static_cast<double>(j) / kWaypoints;
        const double u = 100.0 * CosTurns(a), v = 72.0 * SinTurns(2.0 * a);
        const double px = cx + u * CosTurns(turn) - v * SinTurns(turn);
        const double py = cy + u * SinTurns(turn) + v * CosTurns(turn);
        waypoints.push_back(
            LowestNear(terrain, static_cast<int>(Floor(px)), static_cast<int>(Floor(py)), 6));
    }

    Route route;
    int x = waypoints[0].first, y = waypoints[0].second;
    const int startX = x, startY = y;
    for (int j = 0; j < kWaypoints; ++j) {
        const auto& a = waypoints[j];
        const auto& b = waypoints[(j + 1) % kWaypoints];
        for (const auto& [dx, dy] :
             CheapestLeg(cost, CellIndex(a.first, a.second), CellIndex(b.first, b.second))) {
            route.points.push_back({x + 0.5, y + 0.5});
            x += dx;
            y += dy;
        }
    }
    route.offset = {static_cast<double>(x - startX), static_cast<double>(y - startY)};
    return CutSpurs(route);
}

Route SmoothRoute(const Route& route, int radius, int passes) {
    Route current = route;
    const int64_t n = static_cast<int64_t>(route.Size());
    for (int p = 0; p < passes; ++p) {
        Route next = current;
        for (int64_t i = 0; i < n; ++i) {
            double sx = 0.0, sy = 0.0;
            for (int64_t k = -radius; k <= radius; ++k) {
                const Point2 q = current.At(i + k);
                sx += q.x;
                sy += q.y;
            }
            next.points[i] = {sx / (2 * radius + 1), sy / (2 * radius + 1)};
        }
        current = next;
    }
    return current;
}

Route ResampleRoute(const Route& route, int count) {
    const double spacing = route.Length() / count;
    Route out;
    out.offset = route.offset;
    double travelled = 0.0;  // along the track up to point i
    int64_t i = 0;
    for (int k = 0; k < count; ++k) {
        const double target = spacing * k;
        for (;;) {
            const Point2 a = route.At(i), b = route.At(i + 1);
            const double len = std::sqrt((b.x - a.x) * (b.x - a.x) + (b.y - a.y) * (b.y - a.y));
            if (len > 0.0 && travelled + len >= target) {
                const double f = (target - travelled) / len;
                out.points.push_back({Lerp(a.x, b.x, f), Lerp(a.y, b.y, f)});
                break;
            }
            travelled += len;
            ++i;
        }
    }
    return out;
}

Route EaseCorners(const Route& route, double maxTurnTurns) {
    Route r = route;
    const int64_t n = static_cast<int64_t>(r.Size());
    for (int round = 0; round < 200; ++round) {
        bool eased = false;
        Route next = r;
        for (int64_t i = 0; i < n; ++i) {
            const Point2 a = r.At(i - 1), b = r.At(i), c = r.At(i + 1);
            double turn = Atan2Turns(c.y - b.y, c.x - b.x) - Atan2Turns(b.y - a.y, b.x - a.x);
            turn -= Floor(turn + 0.5);
            if (turn < maxTurnTurns && turn > -maxTurnTurns) continue;
            eased = true;
            next.points[i] = {Lerp(b.x, 0.5 * (a.x + c.x), 0.5), Lerp(b.y, 0.5 * (a.y + c.y), 0.5)};
        }
        r = next;
        if (!eased) break;
    }
    return ResampleRoute(r, static_cast<int>(n));
}
