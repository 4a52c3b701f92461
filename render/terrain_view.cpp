// terrain_view.cpp -- the column-marching terrain renderer (scalar reference)
#include "render/terrain_view.h"

#include <cstddef>

namespace {

// The renderer's arithmetic is 32-bit with wrap-around. Unsigned types give
// the wrap without undefined behaviour; values are reinterpreted as signed
// (modular since C++20) wherever a signed comparison or shift is meant.
inline int32_t AsSigned(uint32_t v) {
    return static_cast<int32_t>(v);
}
inline uint32_t AsUnsigned(int32_t v) {
    return static_cast<uint32_t>(v);
}

// Draws the frame and returns the number of march steps it took.
inline long long DrawTerrain(const ViewGeometry& view, const TerrainSources& src,
                             const CameraState& camera) {
    const int width = view.width;
    const int bottomRow = view.bottomRow;
    const int xStep = view.properties.cbxPitch / 2;
    const int yStep = view.properties.cbyPitch / 2;

    // Per-frame values, shared by every column.
    const uint32_t startX = AsUnsigned(camera.x) << 8;
    const uint32_t startY = AsUnsigned(camera.y) << 8;
    const uint32_t startSlope =
        (AsUnsigned(camera.horizon) - AsUnsigned(bottomRow) + 1u) * kSlopeUnit;
    // Sky rows at the top: horizon + ((height - 0x60000) >> 18) - 20, clamped.
    const int32_t lift = AsSigned(AsUnsigned(camera.height) - 0x60000u) >> 18;
    int32_t band = AsSigned(AsUnsigned(camera.horizon) + AsUnsigned(lift) - 20u);
    if (band < 0) band = 0;
    if (band > bottomRow) band = bottomRow;
    // The sky turns at half the heading rate.
    const int32_t skyShift = AsSigned(0u - AsUnsigned(camera.heading)) >> 1;

    // Pixels are addressed as word offsets from the view origin, so a running
    // position may step past the buffer's edge after its last write without
    // ever forming an out-of-range pointer.
    uint16_t* const origin = view.origin;
    long long steps = 0;
    for (int col = 0; col < width; ++col) {
        // 1. Direction: one march step moves one map cell along the ray, 8.24.
        const int offset = ((width - 2 * col) * kHalfFieldOfView) / width;
        const uint32_t a = AsUnsigned(camera.heading) + AsUnsigned(offset);
        const uint32_t dx = AsUnsigned(src.sineTable[(a + 1024u) & kAngleMask]) << 8;
        const uint32_t dy = AsUnsigned(src.sineTable[a & kAngleMask]) << 8;

        // 2. Start at the camera, writing upwards from the bottom row.
        uint32_t x = startX;
        uint32_t y = startY;
        uint32_t rayHeight = AsUnsigned(camera.height);
        uint32_t slope = startSlope;
        int next = bottomRow;
        const ptrdiff_t top = static_cast<ptrdiff_t>(col) * xStep;
        ptrdiff_t pos = top + static_cast<ptrdiff_t>(bottomRow) * yStep;

        // 3. March 256 cells; wherever the ground rises above the ray, fill rows
        // upwards and bend the ray up by one row's slope per row filled.
        int s = 0;
        for (; s < kMarchSteps; ++s) {
            x += dx;
            y += dy;
            const unsigned cell = ((y >> 24) & 255u) * 256u + ((x >> 24) & 255u);
            rayHeight += slope;
            const uint32_t reach = static_cast<uint32_t>(s + 1) * kSlopeUnit;
            const int32_t ground = static_cast<int32_t>(src.heightMap[cell]) << kHeightShift;
            if (ground > AsSigned(rayHeight)) {
                const uint16_t colour = static_cast<uint16_t>(
                    src.shadeTable[src.colourMap[cell] * kFogLevels + (s >> 3)]);
                while (ground > AsSigned(rayHeight)) {
                    slope += kSlopeUnit;
                    rayHeight += reach;
                    origin[pos] = colour;
                    if (next == 0) {
                        next = -1;
                        break;
                    }
                    --next;
                    pos -= yStep;
                }
                if (next < 0) break;
            }
        }
        steps += next < 0 ? s + 1 : kMarchSteps;

        // 4. Sky rows from the top, then white haze down to the ground.
        if (next < 0) continue;
        const int open = next + 1;
        const int skyRows = band < open ? band : open;
        const unsigned sx = AsUnsigned(skyShift + col) & 511u;
        pos = top;
        for (int k = 0; k < skyRows; ++k) {
            // A band taller than 255 rows would address sky rows above the
            // picture; those rows repeat the picture's first row.
            int skyRow = 255 - band + k;
            if (skyRow < 0) skyRow = 0;
            origin[pos] = src.skyPalette[src.skyPixels[static_cast<unsigned>(skyRow) * 512u + sx]];
            pos += yStep;
        }
        for (int row = band; row <= next; ++row) {
            origin[pos] = kHazeColour;
            pos += yStep;
        }
    }
    return steps;
}

}  // namespace

TerrainSources SceneSources(const Scene& scene, const SineTable& sines) {
    TerrainSources sources;
    sources.heightMap = scene.heightMap.pixels.data();
    sources.colourMap = scene.colourMap.pixels.data();
    sources.skyPixels = scene.sky.pixels.data();
    sources.skyPalette = scene.sky.palette565.data();
    sources.shadeTable = scene.shadeTable.data();
    sources.sineTable = sines.data();
    return sources;
}

void RenderTerrain(const ViewGeometry& view, const TerrainSources& sources,
                   const CameraState& camera) {
    DrawTerrain(view, sources, camera);
}

long long CountMarchSteps(const ViewGeometry& view, const TerrainSources& sources,
                          const CameraState& camera) {
    return DrawTerrain(view, sources, camera);
}
