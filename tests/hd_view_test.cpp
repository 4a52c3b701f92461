// hd_view_test.cpp -- the HD view: fast paths equal to the reference, framing against the faithful
// view, the terrain builder's refusals, a stored frame hash
#include <gtest/gtest.h>

#include <span>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "render/hd_terrain.h"
#include "render/hd_view.h"
#include "render/hd_view_math.h"
#include "render/tables.h"
#include "render/terrain_view.h"
#include "shared/scene_types.h"
#include "shared/view_geometry.h"

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

TEST(HdViewSteps, GroundOfOneHeightMovesTowardTheHorizonStepByStep) {
    // The staged path skips runs of steps by testing only the run's first
    // or last step: that needs q / 2^shift never to grow along the steps.
    for (int side : {256, 1024, 8192})
        for (int height : {1, 7, 240, 1080, 2160, 7680})
            for (const HdOptions options :
                 {HdOptions{}, HdOptions{4096, 1024}, HdOptions{16, 32}}) {
                const std::vector<hd_detail::Step> steps =
                    hd_detail::MarchSteps(side, 7, height, options);
                for (size_t i = 1; i < steps.size(); ++i) {
                    const hd_detail::Step& a = steps[i - 1];
                    const hd_detail::Step& b = steps[i];
                    ASSERT_GE(b.shift, a.shift);
                    ASSERT_LE(b.q, a.q << (b.shift - a.shift))
                        << "side " << side << " height " << height << " step " << i;
                    ASSERT_GE(b.minBlock, a.minBlock);
                }
            }
}

TEST(HdTerrainBuild, BlockMaximaBoundEverySampleNearTheirBlock) {
    // Every sample a step can take (its level, blended or not) at any point
    // of a block is at most the block's maximum at the step's minBlock.
    const HdTerrain& terrain = TerrainOfSide(256);
    const int sideLog2 = 8;
    uint32_t seed = 1;
    for (int level = 0; level + 1 < terrain.LevelCount(); ++level)
        for (uint32_t blend : {0u, 1u, 200u}) {
            hd_detail::Step step{};
            step.level = level;
            step.blend = blend;
            step.minBlock = level + (blend != 0 ? 2 : 1);
            for (int k = step.minBlock; k <= sideLog2; ++k)
                for (int n = 0; n < 3000; ++n) {
                    seed = Mix(seed + 0x9E3779B9u);
                    const uint32_t u = seed, v = Mix(seed);
                    const int shift = 32 - sideLog2 + k;
                    const uint32_t bx = k == sideLog2 ? 0 : u >> shift;
                    const uint32_t by = k == sideLog2 ? 0 : v >> shift;
                    const uint32_t highest = terrain.BlockMax(k)[(by << (sideLog2 - k)) + bx];
                    ASSERT_LE(hd_detail::GroundHeight(terrain, step, u, v), highest)
                        << "level " << level << " blend " << blend << " block level " << k;
                }
        }
    // The top level is the map's maximum.
    EXPECT_EQ(terrain.BlockMax(sideLog2)[0], terrain.MaxHeight());
}

// A faithful scene in memory: flat ground of height 0 and colour index 1,
// with `block` cells (x0, y0, size) raised to `blockHeight` in colour 3; a
// sky of one colour (index 2).
Scene FaithfulScene(int x0, int y0, int size, int blockHeight) {
    Scene scene;
    std::vector<uint32_t> palette(256, 0);
    palette[1] = 200u << 8;  // green
    palette[3] = 230u;       // red
    scene.colourMap.width = scene.colourMap.height = 256;
    scene.colourMap.bitCount = 8;
    scene.colourMap.stride = 256;
    scene.colourMap.pixels.assign(kMapCells, 1);
    scene.colourMap.palette = palette;
    scene.heightMap = scene.colourMap;
    scene.heightMap.pixels.assign(kMapCells, 0);
    for (int y = y0; y < y0 + size; ++y)
        for (int x = x0; x < x0 + size; ++x) {
            scene.heightMap.pixels[static_cast<size_t>(y * 256 + x)] =
                static_cast<uint8_t>(blockHeight);
            scene.colourMap.pixels[static_cast<size_t>(y * 256 + x)] = 3;
        }
    scene.sky.width = 512;
    scene.sky.height = 256;
    scene.sky.bitCount = 8;
    scene.sky.stride = 512;
    scene.sky.pixels.assign(512 * 256, 2);
    scene.sky.palette565.assign(256, 0);
    scene.sky.palette565[2] = PackRgb565(0, 0, 255);
    scene.shadeTable = BuildShadeTable(scene.colourMap.palette.data());
    return scene;
}

// The faithful view of 240 x 320 (rows 0..295) and the HD frame of the same
// rows, both as 0x00RRGGBB.
struct TwoViews {
    std::vector<uint32_t> faithful, hd;
    uint32_t Faithful(int col, int row) const {
        return faithful[static_cast<size_t>(row * 240 + col)];
    }
    uint32_t Hd(int col, int row) const { return hd[static_cast<size_t>(row * 240 + col)]; }
};

TwoViews DrawBoth(const Scene& scene, const CameraState& camera) {
    TwoViews views;
    const SineTable sines = BuildSineTable();
    std::vector<uint16_t> display(240 * 320, 0);
    const GXDisplayProperties properties{240, 320, 2, 480, 16, 0};
    const ViewGeometry view = ViewGeometryFor(properties, display.data());
    RenderTerrain(view, SceneSources(scene, sines), camera);
    for (int row = 0; row < kHdFaithfulRows; ++row)
        for (int col = 0; col < 240; ++col) {
            const uint16_t c = view.origin[row * 240 + col];
            views.faithful.push_back(((c >> 11) << 19) | (((c >> 5) & 63u) << 10) |
                                     ((c & 31u) << 3));
        }
    std::string error;
    std::optional<HdTerrain> terrain = BuildHdTerrainFromScene(scene, 256, error);
    EXPECT_TRUE(terrain) << error;
    views.hd.resize(240 * kHdFaithfulRows);
    RenderHdReference({views.hd.data(), 240, kHdFaithfulRows, 240 * 4}, *terrain, camera);
    return views;
}

uint16_t To565(uint32_t c) {
    return PackRgb565(static_cast<int>(c >> 16), static_cast<int>((c >> 8) & 255),
                      static_cast<int>(c & 255));
}

bool IsSkyOrHaze(uint32_t c) {
    const uint32_t r = c >> 16, g = (c >> 8) & 255, b = c & 255;
    return (r < 16 && g < 16 && b > 240) || (r > 245 && g > 245 && b > 245);
}
bool IsRed(uint32_t c) {
    return (c >> 16) > ((c >> 8) & 255) + 30;
}

TEST(HdViewFraming, FlatGroundMeetsTheSkyAtTheFaithfulRow) {
    const Scene scene = FaithfulScene(0, 0, 0, 0);
    for (const CameraState& camera : {CameraState{Cells(10), Cells(20), Height(60), 0, 120},
                                      CameraState{Cells(200), Cells(50), Height(30), 1500, 80},
                                      CameraState{Cells(90), Cells(90), Height(120), 3000, 200}}) {
        const TwoViews views = DrawBoth(scene, camera);
        for (int col = 0; col < 240; col += 7) {
            int faithfulTop = 0, hdTop = 0;
            while (faithfulTop < kHdFaithfulRows && IsSkyOrHaze(views.Faithful(col, faithfulTop)))
                ++faithfulTop;
            while (hdTop < kHdFaithfulRows && IsSkyOrHaze(views.Hd(col, hdTop)))
                ++hdTop;
            EXPECT_NEAR(hdTop, faithfulTop, 2) << "column " << col << " horizon " << camera.horizon
                                               << " heading " << camera.heading;
        }
    }
}

TEST(HdViewFraming, APeakStandsWhereTheFaithfulViewShowsIt) {
    // A 5 x 5 block 100 cells ahead, 20 cells to the left of the heading.
    const Scene scene = FaithfulScene(200, 120, 5, 250);
    const CameraState camera{Cells(100), Cells(102), Height(60), 0, 120};
    const TwoViews views = DrawBoth(scene, camera);
    auto extent = [&](bool hd, int& left, int& right, int& top) {
        left = 240, right = -1, top = kHdFaithfulRows;
        for (int row = 0; row < kHdFaithfulRows; ++row)
            for (int col = 0; col < 240; ++col)
                if (IsRed(hd ? views.Hd(col, row) : views.Faithful(col, row))) {
                    left = std::min(left, col);
                    right = std::max(right, col);
                    top = std::min(top, row);
                }
    };
    int fl, fr, ft, hl, hr, ht;
    extent(false, fl, fr, ft);
    extent(true, hl, hr, ht);
    ASSERT_GE(fr, 0) << "the faithful view shows no peak";
    ASSERT_GE(hr, 0) << "the HD view shows no peak";
    EXPECT_NEAR((hl + hr) / 2.0, (fl + fr) / 2.0, 2.0) << "peak's centre column";
    EXPECT_NEAR(ht, ft, 2) << "peak's top row";
}

TEST(HdViewFraming, SkyIsTheFaithfulSkyAtTheFaithfulScale) {
    // A sky of distinct columns and rows, drawn at 240 x 296: every sky pixel
    // is the faithful one's colour.
    Scene scene = FaithfulScene(0, 0, 0, 0);
    for (size_t i = 0; i < scene.sky.pixels.size(); ++i)
        scene.sky.pixels[i] = static_cast<uint8_t>((i % 512) * 7 + (i / 512) * 13);
    for (int e = 0; e < 256; ++e)
        scene.sky.palette565[static_cast<size_t>(e)] = PackRgb565(e, 255 - e, (e * 37) & 255);
    for (int heading : {0, 1, 333, 1023, 2048, 4095}) {
        // The band ends at row 128, the flat ground's top at about 134.
        const CameraState camera{Cells(10), Cells(20), Height(100), heading, 100};
        const TwoViews views = DrawBoth(scene, camera);
        const int band = 100 + ((Height(100) - 0x60000) >> 18) - 20;
        for (int row = 0; row < band; ++row)
            for (int col = 0; col < 240; ++col)
                ASSERT_EQ(To565(views.Hd(col, row)), To565(views.Faithful(col, row)))
                    << "heading " << heading << " pixel (" << col << ", " << row << ")";
    }
}

TEST(HdTerrainBuild, RefusesBadMapsWithAMessage) {
    const std::vector<uint32_t> colour(256 * 256), sky(512 * 256);
    const std::vector<uint16_t> height(256 * 256);
    struct Case {
        const char* name;
        int side;
        size_t colourCells, heightCells;
        int skyWidth, skyHeight;
        size_t skyPixels;
        const char* message;
    };
    const Case cases[] = {
        {"side not a power of two", 300, 0, 0, 512, 256, 512 * 256,
         "map side 300 is not a power of two"},
        {"side too small", 128, 128 * 128, 128 * 128, 512, 256, 512 * 256, "map side 128"},
        {"side too large", 16384, 0, 0, 512, 256, 512 * 256, "map side 16384"},
        {"side zero", 0, 0, 0, 512, 256, 512 * 256, "map side 0"},
        {"colour cells", 256, 1000, 65536, 512, 256, 512 * 256, "colour map has 1000 cells"},
        {"height cells", 256, 65536, 65535, 512, 256, 512 * 256, "height map has 65535 cells"},
        {"sky without width", 256, 65536, 65536, 0, 256, 0, "sky of 0 x 256"},
        {"sky pixels", 256, 65536, 65536, 512, 200, 512 * 256,
         "sky has 131072 pixels, 512 x 200 needs 102400"},
    };
    for (const Case& c : cases) {
        HdMaps maps;
        maps.side = c.side;
        maps.colour =
            std::span<const uint32_t>(colour.data(), std::min(c.colourCells, colour.size()));
        maps.height =
            std::span<const uint16_t>(height.data(), std::min(c.heightCells, height.size()));
        maps.skyWidth = c.skyWidth;
        maps.skyHeight = c.skyHeight;
        maps.sky = std::span<const uint32_t>(sky.data(), c.skyPixels);
        std::string error;
        EXPECT_FALSE(BuildHdTerrain(maps, error)) << c.name;
        EXPECT_NE(error.find(c.message), std::string::npos) << c.name << ": " << error;
    }
    std::string error;
    EXPECT_FALSE(BuildHdTerrainFromScene(Scene{}, 256, error));
    EXPECT_NE(error.find("256 x 256 cells"), std::string::npos) << error;
    EXPECT_FALSE(BuildHdTerrainFromScene(FaithfulScene(0, 0, 0, 0), 1000, error));
    EXPECT_NE(error.find("map side 1000"), std::string::npos) << error;
}

TEST(HdViewCheck, RefusesFramesAndOptionsItCannotDraw) {
    uint32_t pixel = 0;
    struct Case {
        HdFrame frame;
        HdOptions options;
        const char* message;
    };
    const Case cases[] = {
        {{nullptr, 320, 240, 1280}, {}, "no pixels"},
        {{&pixel, 0, 240, 1280}, {}, "frame of 0 x 240"},
        {{&pixel, 7681, 240, 7681 * 4}, {}, "frame of 7681 x 240"},
        {{&pixel, 320, 240, 1279}, {}, "row pitch 1279"},
        {{&pixel, 320, 240, 1276}, {}, "row pitch 1276"},
        {{&pixel, 320, 240, 1280}, {8, 128}, "draw distance 8"},
        {{&pixel, 320, 240, 1280}, {256, 2000}, "detail 2000"},
    };
    for (const Case& c : cases)
        EXPECT_NE(HdCheck(c.frame, c.options).find(c.message), std::string::npos)
            << c.message << ": " << HdCheck(c.frame, c.options);
    EXPECT_EQ(HdCheck({&pixel, 7680, 4320, 7680 * 4}, {}), "");
}

}  // namespace
