// scene_types.h -- the records every subsystem shares: display geometry, pictures, camera, scene
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

class KeyPath;

// The display library's description of the frame buffer (six 32-bit fields,
// as the device reports them). Pitches are signed byte distances between
// horizontally (x) and vertically (y) adjacent pixels.
struct GXDisplayProperties {
    uint32_t cxWidth = 0;   // width in pixels
    uint32_t cyHeight = 0;  // height in pixels
    int32_t cbxPitch = 0;   // bytes from pixel (x, y) to (x + 1, y)
    int32_t cbyPitch = 0;   // bytes from pixel (x, y) to (x, y + 1)
    int32_t cBPP = 0;       // bits per pixel
    uint32_t ffFormat = 0;  // format flags
};

// Where the view lies in the frame buffer. Filled once by OpenView before
// anything else runs; read-only afterwards.
struct ViewGeometry {
    int width = 0;      // view columns: the display width, at most 320
    int height = 0;     // the display height, at most 320
    int bottomRow = 0;  // last view row: height - 25
    GXDisplayProperties properties;
    uint16_t* origin = nullptr;  // view column 0, row 0: 24 display rows below the top
};

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
};

// The one set of scene data: pictures and the camera path. The pictures are
// written by LoadScene and read-only afterwards; the path is freed by the stop
// sequence once the render thread has ended.
struct Scene {
    BitmapImage colourMap;  // 8-bit, at least 256 x 256, with a palette
    BitmapImage heightMap;  // 8-bit, at least 256 x 256
    BitmapImage sky;        // 8-bit, 512 x 256, palette converted to RGB565
    std::unique_ptr<KeyPath> path;

    Scene();
    ~Scene();
    Scene(Scene&&) noexcept;
    Scene& operator=(Scene&&) noexcept;
};

// The program-wide instances. Written during start-up only, before the
// render thread exists; cameraState belongs to the render thread afterwards.
extern ViewGeometry viewGeometry;
extern Scene scene;
extern CameraState cameraState;
