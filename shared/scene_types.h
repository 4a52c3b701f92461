// scene_types.h -- the records every subsystem shares: pictures, camera, scene
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "shared/scene_format.h"
#include "shared/view_geometry.h"

class KeyPath;

// A picture as the bitmap reader returns it. Rows are stored top row first,
// `stride` bytes each. The palette holds 256 entries or is empty: as read,
// each entry is the 32-bit value whose bytes in memory are red, green, blue,
// 0 (red = entry & 0xFF, green = entry >> 8 & 0xFF, blue = entry >> 16 & 0xFF).
// ConvertPaletteTo565 replaces it by palette565 (256 RGB565 values).
struct BitmapImage {
    int32_t width = 0;
    int32_t height = 0;  // as stored in the file: negative for a top-down file
    int32_t bitCount = 0;
    int32_t stride = 0;  // bytes per row, a multiple of 4
    std::vector<uint8_t> pixels;
    std::vector<uint32_t> palette;
    std::vector<uint16_t> palette565;

    bool HasPalette() const { return !palette.empty() || !palette565.empty(); }
    // The number of rows, whichever way they are stored.
    int64_t Rows() const { return height < 0 ? -int64_t{height} : int64_t{height}; }
};

// The camera for one frame. x, y: 16.16 map cells (the map repeats every
// 256 cells); height: a height-map byte h stands for h << 17; heading: 4096
// units per turn; horizon: the view row of the horizon.
struct CameraState {
    int32_t x = 0;
    int32_t y = 0;
    int32_t height = 0;
    int32_t heading = 0;
    int32_t horizon = 0;

    friend bool operator==(const CameraState&, const CameraState&) = default;
};

// The RGB565 colour of palette index e at fog level L (0 = clear .. 31 =
// almost white) at index e * 32 + L, each in a 32-bit slot.
using ShadeTable = std::array<uint32_t, 256 * kFogLevels>;

// One set of scene data: the pictures, the haze colours of the colour map
// and the camera path, as the scene reader builds them. Read-only once built;
// the demo frees the path in its stop sequence.
struct Scene {
    BitmapImage colourMap;  // 8-bit, at least 256 x 256, with a palette
    BitmapImage heightMap;  // 8-bit, at least 256 x 256
    BitmapImage sky;        // 8-bit, 512 x 256, palette converted to RGB565
    ShadeTable shadeTable{};
    std::unique_ptr<KeyPath> path;

    Scene();
    ~Scene();
    Scene(Scene&&) noexcept;
    Scene& operator=(Scene&&) noexcept;
};

// The camera `path` gives at `timeMs` milliseconds of flight: the five path
// values truncated toward zero into 32 bits (saturating; NaN gives 0), in
// the order x, y, height, heading, horizon. Returns false, leaving `camera`
// as it was, when the path has ended there (or is not a path of five values).
bool CameraAtTime(const KeyPath& path, float timeMs, CameraState& camera);
