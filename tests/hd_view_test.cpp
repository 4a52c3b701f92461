// hd_view_test.cpp -- the HD view: fast paths equal to the reference, framing against the faithful
// view, the terrain builder's refusals, a stored frame hash
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "render/hd_terrain.h"
#include "render/hd_view.h"
#include "render/tables.h"
#include "render/terrain_view.h"
#include "shared/scene_types.h"

namespace {

// A small integer hash, so test maps are the same on every machine.
uint32_t Mix(uint32_t x) {
    x ^= x >> 16;
    x *= 0x7FEB352Du;
    x ^= x >> 15;
    x *= 0x846CA68Bu;
    x ^= x >> 16;
    return x;
}

// Smooth value noise on a grid of `cell` texels, wrapping at `side`.
uint32_t Noise(int x, int y, int side, int cell, uint32_t seed) {
    const int gx = x / cell, gy = y / cell, cells = side / cell;
    const uint32_t fx = static_cast<uint32_t>((x % cell) * 256 / cell);
    const uint32_t fy = static_cast<uint32_t>((y % cell) * 256 / cell);
    auto at = [&](int i, int j) {
        return Mix(static_cast<uint32_t>(((j % cells) * cells + (i % cells))) * 2654435761u +
                   seed) &
               0xFFFFu;
    };
    const uint32_t top = at(gx, gy) * (256 - fx) + at(gx + 1, gy) * fx;
    const uint32_t bottom = at(gx, gy + 1) * (256 - fx) + at(gx + 1, gy + 1) * fx;
    return static_cast<uint32_t>((uint64_t{top} * (256 - fy) + uint64_t{bottom} * fy) >> 16);
}

// Rolling hills with fine grain and sharp-coloured patches; a sky of bands.
HdTerrain SyntheticTerrain(int side) {
    const size_t n = static_cast<size_t>(side);
    std::vector<uint16_t> height(n * n);
    std::vector<uint32_t> colour(n * n);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const uint32_t big = Noise(x, y, side, side / 8, 1);
            const uint32_t mid = Noise(x, y, side, side / 32, 2);
            const uint32_t fine = Mix(static_cast<uint32_t>(y * side + x)) & 0x3FFu;
            const size_t i = static_cast<size_t>(y) * n + static_cast<size_t>(x);
            height[i] =
                static_cast<uint16_t>(std::min<uint32_t>(65535, big * 3 / 4 + mid / 5 + fine));
            const uint32_t g = 60 + (mid >> 9);
            const uint32_t r = (Mix(static_cast<uint32_t>(i)) & 1) ? 200 : 40 + (big >> 10);
            colour[i] = (r << 16) | (g << 8) | ((x ^ y) & 0x7F);
        }
    std::vector<uint32_t> sky(512 * 256);
    for (uint32_t y = 0; y < 256; ++y)
        for (uint32_t x = 0; x < 512; ++x)
            sky[y * 512 + x] = ((y * 255 / 256) << 8) | (((x / 8) & 1) ? 0xC00000u : 0x4000FFu);
    HdMaps maps;
    maps.side = side;
    maps.colour = colour;
    maps.height = height;
    maps.skyWidth = 512;
    maps.skyHeight = 256;
    maps.sky = sky;
    std::string error;
    std::optional<HdTerrain> terrain = BuildHdTerrain(maps, error);
    EXPECT_TRUE(terrain) << error;
    return std::move(*terrain);
}

const HdTerrain& TerrainOfSide(int side) {
    static const HdTerrain t256 = SyntheticTerrain(256);
    static const HdTerrain t512 = SyntheticTerrain(512);
    static const HdTerrain t1024 = SyntheticTerrain(1024);
    return side == 256 ? t256 : side == 512 ? t512 : t1024;
}

constexpr int32_t Cells(double c) {
    return static_cast<int32_t>(c * 65536);
}
constexpr int32_t Height(int byte) {
    return byte << 17;
}

// A frame with a guard band around it: a pitch wider than the frame, and
// rows above and below, all of a value no renderer writes.
struct GuardedFrame {
    static constexpr uint32_t kGuard = 0xDEADBEEFu;
    GuardedFrame(int width, int height)
        : pitchWords(width + 5), pixels(static_cast<size_t>(pitchWords) * (height + 2), kGuard) {
        frame.pixels = pixels.data() + pitchWords;
        frame.width = width;
        frame.height = height;
        frame.pitch = static_cast<ptrdiff_t>(pitchWords) * 4;
    }
    // Whether every guard word is untouched.
    bool GuardsIntact() const {
        for (size_t i = 0; i < pixels.size(); ++i) {
            const int row = static_cast<int>(i / static_cast<size_t>(pitchWords)) - 1;
            const int col = static_cast<int>(i % static_cast<size_t>(pitchWords));
            const bool inside = row >= 0 && row < frame.height && col < frame.width;
            if (!inside && pixels[i] != kGuard) return false;
        }
        return true;
    }
    uint32_t At(int col, int row) const {
        return frame.pixels[static_cast<ptrdiff_t>(row) * pitchWords + col];
    }
    int pitchWords;
    std::vector<uint32_t> pixels;
    HdFrame frame;
};

struct NamedCamera {
    const char* name;
    CameraState camera;
};

const NamedCamera kCameras[] = {
    {"flight", {Cells(100.5), Cells(80.25), Height(150), 300, 110}},
    {"low over ground", {Cells(30.1), Cells(200.7), Height(40), 1900, 140}},
    {"wrap at the map's corner", {Cells(255.9), Cells(0.05), Height(120), 3584, 120}},
    {"wrap backwards", {Cells(0.02), Cells(255.97), Height(110), 1536, 100}},
    {"below the ground", {Cells(128), Cells(128), Height(0) - 5000, 700, 120}},
    {"horizon above the top", {Cells(64), Cells(64), Height(200), 1000, -400}},
    {"horizon below the bottom", {Cells(90), Cells(10), Height(220), 2600, 900}},
    {"high above", {Cells(12), Cells(240), Height(2000), 4000, 60}},
    {"negative heading", {Cells(77), Cells(33), Height(130), -777, 130}},
};

struct Size {
    int width, height;
};

uint64_t HashFrame(const HdFrame& frame) {
    uint64_t h = 1469598103934665603ull;
    for (int row = 0; row < frame.height; ++row)
        for (int col = 0; col < frame.width; ++col) {
            h ^= frame.pixels[static_cast<ptrdiff_t>(row) * (frame.pitch / 4) + col];
            h *= 1099511628211ull;
        }
    return h;
}

// Every fast path, on one to three threads, writes the reference's bytes and
// nothing outside the frame.
void ExpectPathsMatch(int side, const Size& size, const CameraState& camera,
                      const HdOptions& options, const std::string& what) {
    const HdTerrain& terrain = TerrainOfSide(side);
    GuardedFrame expected(size.width, size.height);
    RenderHdReference(expected.frame, terrain, camera, options);
    ASSERT_TRUE(expected.GuardsIntact()) << what << ": the reference wrote outside the frame";
    for (HdPath path : kAllHdPaths) {
        if (path == HdPath::Reference || !HdPathAvailable(path)) continue;
        for (int threads : {1, 3}) {
            HdRenderer renderer(path, threads);
            GuardedFrame got(size.width, size.height);
            renderer.Draw(got.frame, terrain, camera, options);
            renderer.Draw(got.frame, terrain, camera, options);  // reused memory
            ASSERT_TRUE(got.GuardsIntact()) << what << " " << HdPathName(path);
            for (int row = 0; row < size.height; ++row)
                for (int col = 0; col < size.width; ++col)
                    ASSERT_EQ(got.At(col, row), expected.At(col, row))
                        << what << ": path " << HdPathName(path) << " on " << threads
                        << " threads, pixel (" << col << ", " << row << ")";
        }
    }
}

TEST(HdViewPaths, MatchTheReferenceOverCamerasSizesAndMaps) {
    const Size sizes[] = {{320, 240}, {241, 173}, {33, 7}};
    for (int side : {256, 512, 1024})
        for (const NamedCamera& c : kCameras)
            for (const Size& size : sizes)
                ExpectPathsMatch(side, size, c.camera, {},
                                 std::string(c.name) + " at " + std::to_string(size.width) + "x" +
                                     std::to_string(size.height) + " on map " +
                                     std::to_string(side));
}

TEST(HdViewPaths, MatchTheReferenceOnALargeFrameAndOtherOptions) {
    ExpectPathsMatch(1024, {1280, 720}, kCameras[0].camera, {}, "1280x720 flight");
    ExpectPathsMatch(512, {400, 300}, kCameras[1].camera, {1024, 64}, "far draw distance");
    ExpectPathsMatch(512, {300, 400}, kCameras[2].camera, {40, 512}, "near and detailed");
}

TEST(HdView, FrameHashIsStored) {
    // A change of this hash is a change of the picture: look at the frame,
    // and store the new value only if the change is meant.
    GuardedFrame got(320, 240);
    RenderHdReference(got.frame, TerrainOfSide(512), kCameras[0].camera);
    EXPECT_EQ(HashFrame(got.frame), 0xa81f03b4a94124fdull) << std::hex << HashFrame(got.frame);
}

}  // namespace
