// flight_review.cpp -- sampling a path at the demo's arithmetic, clearance and view content
#include "flight/flight_review.h"

#include "path/key_path.h"
#include "render/tables.h"
#include "render/terrain_view.h"
#include "shared/exact_math.h"

GroundAround GroundAt(const uint8_t* heights, int32_t x, int32_t y) {
    // The renderer takes a position's cell from the whole part of the 16.16
    // value, masked to the map: the same here.
    const int cx = static_cast<int>((static_cast<uint32_t>(x) >> 16) & 255u);
    const int cy = static_cast<int>((static_cast<uint32_t>(y) >> 16) & 255u);
    GroundAround g;
    g.under = heights[cy * 256 + cx];
    for (int dy = -kNearRadius; dy <= kNearRadius; ++dy)
        for (int dx = -kNearRadius; dx <= kNearRadius; ++dx) {
            const int h = heights[((cy + dy) & 255) * 256 + ((cx + dx) & 255)];
            if (h > g.near) g.near = h;
        }
    return g;
}

std::vector<FlightSample> SampleFlight(const KeyPath& path, uint32_t stepMs) {
    std::vector<FlightSample> samples;
    if (path.Dimension() != 5 || stepMs == 0) return samples;
    for (uint64_t t = 0; t <= UINT32_MAX; t += stepMs) {
        float v[5];
        if (!path.Evaluate(static_cast<float>(static_cast<uint32_t>(t)), v)) break;
        FlightSample s;
        s.timeMs = static_cast<uint32_t>(t);
        s.camera = {TruncateToInt32(v[0]), TruncateToInt32(v[1]), TruncateToInt32(v[2]),
                    TruncateToInt32(v[3]), TruncateToInt32(v[4])};
        samples.push_back(s);
    }
    return samples;
}

uint32_t PlayingDuration(const KeyPath& path) {
    if (path.Count() < 3) return 0;
    const int32_t first = path.Key(0).time, end = path.Key(path.Count() - 2).time;
    return end > first && first >= 0 ? static_cast<uint32_t>(end) : 0;
}

ClearanceReport MeasureClearance(const std::vector<FlightSample>& samples, const uint8_t* heights) {
    ClearanceReport r;
    for (const FlightSample& s : samples) {
        const GroundAround g = GroundAt(heights, s.camera.x, s.camera.y);
        const double height = static_cast<double>(s.camera.height) / kHeightUnit;
        const double under = height - g.under, near = height - g.near;
        if (!r.any || under < r.lowestUnder) {
            r.lowestUnder = under;
            r.atUnder = s;
        }
        if (!r.any || near < r.lowestNear) {
            r.lowestNear = near;
            r.atNear = s;
        }
        r.any = true;
    }
    return r;
}

ViewContent MeasureView(const uint8_t* heights, int width, int bottomRow, const CameraState& camera,
                        const int32_t* sineTable) {
    // Markers: ground pixels 1, sky pixels 2, haze the renderer's own white.
    static const std::vector<uint32_t> groundShades(256 * kFogLevels, 1u);
    static const std::vector<uint8_t> zeros(kSkyWidth * kSkyRows, 0);
    static const std::vector<uint16_t> skyMarks(256, 2u);
    std::vector<uint16_t> pixels(static_cast<size_t>(width) * (bottomRow + 1), 0);
    ViewGeometry view;
    view.width = width;
    view.height = bottomRow + kBottomRowOffset;
    view.bottomRow = bottomRow;
    view.properties.cxWidth = static_cast<uint32_t>(width);
    view.properties.cyHeight = static_cast<uint32_t>(view.height);
    view.properties.cbxPitch = 2;
    view.properties.cbyPitch = 2 * width;
    view.properties.cBPP = 16;
    view.origin = pixels.data();
    TerrainSources src;
    src.heightMap = heights;
    src.colourMap = zeros.data();
    src.skyPixels = zeros.data();
    src.skyPalette = skyMarks.data();
    src.shadeTable = groundShades.data();
    src.sineTable = sineTable;
    RenderTerrain(view, src, camera);
    ViewContent c;
    for (const uint16_t p : pixels) {
        if (p == 1)
            ++c.ground;
        else if (p == 2)
            ++c.sky;
        else
            ++c.haze;
    }
    return c;
}

int SkyBand(const CameraState& camera, int bottomRow) {
    // The renderer's arithmetic: 32-bit wrapping sums, an arithmetic shift.
    const int32_t lift =
        static_cast<int32_t>(static_cast<uint32_t>(camera.height) - 0x60000u) >> 18;
    const int32_t band = static_cast<int32_t>(static_cast<uint32_t>(camera.horizon) +
                                              static_cast<uint32_t>(lift) - 20u);
    return band < 0 ? 0 : band > bottomRow ? bottomRow : band;
}

const int32_t* ReproducibleSineTable() {
    static const std::vector<int32_t> table = [] {
        std::vector<int32_t> t(kAngleUnits);
        // The renderer's angle step is 6.28 / 4096 radians, not 2 pi / 4096.
        for (int i = 0; i < kAngleUnits; ++i)
            t[i] = static_cast<int32_t>(SinTurns(i * (6.28 / 4096.0) / (2.0 * kPi)) * 65536.0);
        return t;
    }();
    return table.data();
}
