// terrain.cpp -- fractal height map with ridges and erosion, shaped to the full byte range
#include "scenegen/terrain.h"

#include <algorithm>
#include <cmath>

#include "scenegen/erosion.h"
#include "shared/exact_math.h"

namespace {

// Share of the map under water.
constexpr double kWaterShare = 0.10;
// The steepest slope that stays, in height bytes per cell (about 45 degrees).
constexpr double kTalus = 2.0;

// Raw relief: broad rolling land, plus ridged mountain chains where a slow
// mask field says so, all sampled through a domain warp that bends the
// ridges into natural curves. Fine octaves are weak, so slopes stay
// flyable: the renderer draws a height byte about 0.4 cells tall.
WrapGrid RawRelief(uint32_t salt) {
    WrapGrid h(kMapSide);
    for (int y = 0; y < kMapSide; ++y)
        for (int x = 0; x < kMapSide; ++x) {
            const double wx = x + 14.0 * Fbm(x, y, kMapSide, 2, 3, 0.5, salt + 11);
            const double wy = y + 14.0 * Fbm(x, y, kMapSide, 2, 3, 0.5, salt + 23);
            const double broad = Fbm(wx, wy, kMapSide, 2, 6, 0.42, salt + 37);
            const double ridges = RidgedFbm(wx, wy, kMapSide, 3, 5, salt + 53);
            const double mask = SmoothStep(-0.3, 0.5, Fbm(x, y, kMapSide, 2, 2, 0.5, salt + 71));
            h.At(x, y) = broad + mask * 0.6 * ridges;
        }
    return h;
}

void Normalise(WrapGrid& h, double lo, double hi) {
    const auto [mn, mx] = std::minmax_element(h.Cells().begin(), h.Cells().end());
    const double a = *mn, b = *mx;
    for (double& v : h.Cells())
        v = lo + (v - a) * (hi - lo) / (b - a);
}

}  // namespace

Terrain GenerateTerrain(uint64_t seed) {
    const uint32_t salt =
        HashMix(static_cast<uint32_t>(seed) ^ HashMix(static_cast<uint32_t>(seed >> 32)));
    WrapGrid h = RawRelief(salt);
    Normalise(h, 0.0, 255.0);
    ErodeByRain(h, 60000, seed ^ 0x5EED5EEDull);

    // Water fills the lowest share of the map. Above it the land rises
    // gently from the shore and steepens towards the summits.
    std::vector<double> sorted = h.Cells();
    std::sort(sorted.begin(), sorted.end());
    const double seaLevel = sorted[static_cast<size_t>(kWaterShare * sorted.size())];
    const double lowest = sorted.front(), highest = sorted.back();
    for (double& v : h.Cells()) {
        if (v < seaLevel) {
            v = -40.0 * (seaLevel - v) / (seaLevel - lowest);
        } else {
            const double u = (v - seaLevel) / (highest - seaLevel);
            v = 255.0 * (0.45 * u + 0.55 * u * u);
        }
    }
    // Screes: the steepest spikes slump towards the talus; then soften.
    SettleSlopes(h, 40, kTalus, 0.5);
    Smooth(h, 0.3);

    // Stretch the land back to reach 255 exactly; water surfaces are 0, and
    // every land cell at least 1.
    double top = 0.0;
    for (const double v : h.Cells())
        top = v > top ? v : top;
    Terrain t;
    t.relief = WrapGrid(kMapSide);
    t.height.assign(h.Cells().size(), 0);
    for (size_t i = 0; i < h.Cells().size(); ++i) {
        const double v = h.Cells()[i];
        const double out = v < 0 ? v : v * 255.0 / top;
        t.relief.Cells()[i] = out;
        t.height[i] = static_cast<uint8_t>(v < 0 ? 0.0 : Clamp(Floor(out + 0.5), 1.0, 255.0));
    }

    // Moisture: low, sheltered and near water is wet; a noise field breaks
    // it into woods and clearings.
    t.moisture = WrapGrid(kMapSide);
    for (int y = 0; y < kMapSide; ++y)
        for (int x = 0; x < kMapSide; ++x) {
            const double local = t.relief.At(x, y);
            double around = 0.0;
            for (int d = -6; d <= 6; d += 3)
                around += t.relief.At(x + d, y) + t.relief.At(x, y + d);
            around /= 10.0;
            const double hollow = Clamp((around - local) / 12.0, -1.0, 1.0);
            const double patches = Fbm(x, y, kMapSide, 8, 4, 0.55, salt + 97);
            t.moisture.At(x, y) = Clamp(0.5 + 0.9 * patches + 0.35 * hollow, 0.0, 1.0);
        }
    return t;
}
