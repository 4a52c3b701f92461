// terrain_view_paths_test.cpp -- every renderer path draws exactly what the reference draws
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "platform/frame_buffer.h"
#include "render/cpu_features.h"
#include "render/tables.h"
#include "render/terrain_renderer.h"
#include "render/terrain_view.h"
#include "tests/support/scene_buffers.h"

namespace {

constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
constexpr int32_t kMax = std::numeric_limits<int32_t>::max();

constexpr int32_t Cells(double c) {
    return static_cast<int32_t>(c * 65536);
}

// Terrain shapes that stress different parts of the march.
enum class Terrain {
    Hills,   // smooth rolling ground: long runs near the camera, short ones far away
    Noise,   // a random byte per cell: a hit at almost every step
    Flat,    // one height everywhere
    Wall,    // 255 everywhere: every column fills at its first step
    Steps,   // terraces with sheer faces (cliffs)
    Spikes,  // low flat ground with single tall cells here and there
};

const char* TerrainName(Terrain t) {
    switch (t) {
        case Terrain::Hills:
            return "hills";
        case Terrain::Noise:
            return "noise";
        case Terrain::Flat:
            return "flat";
        case Terrain::Wall:
            return "wall";
        case Terrain::Steps:
            return "steps";
        case Terrain::Spikes:
            return "spikes";
    }
    return "?";
}

// A scene held in memory whose colours are all distinct enough that a pixel
// from the wrong cell, fog level, sky row or sky column shows.
struct MemoryScene : SceneBuffers {
    explicit MemoryScene(Terrain terrain, uint32_t seed = 1) {
        std::mt19937 rng(seed);
        for (int y = 0; y < 256; ++y) {
            for (int x = 0; x < 256; ++x) {
                int h = 0;
                switch (terrain) {
                    case Terrain::Hills:
                        h = 128 + static_cast<int>(60 * std::sin(x * 0.11) * std::cos(y * 0.07) +
                                                   50 * std::sin((x + 2 * y) * 0.031));
                        break;
                    case Terrain::Noise:
                        h = static_cast<int>(rng() & 255);
                        break;
                    case Terrain::Flat:
                        h = 40;
                        break;
                    case Terrain::Wall:
                        h = 255;
                        break;
                    case Terrain::Steps:
                        h = ((x / 16 + y / 32) % 4) * 80;
                        break;
                    case Terrain::Spikes:
                        h = (x % 23 == 5 && y % 19 == 3) ? 255 : 10;
                        break;
                }
                heightMap[y * 256 + x] = static_cast<uint8_t>(std::clamp(h, 0, 255));
                colourMap[y * 256 + x] = static_cast<uint8_t>(x * 7 + y * 13);
            }
        }
        for (size_t i = 0; i < sky.size(); ++i)
            sky[i] = static_cast<uint8_t>((i % 512) * 3 + (i / 512) * 5);
        for (int i = 0; i < 256; ++i)
            skyPalette[i] = static_cast<uint16_t>(0x4000 + i * 37);
        for (int i = 0; i < 256 * 32; ++i)
            shade[i] =
                static_cast<uint32_t>(i * 2654435761u) | 0x10000u;  // high bits must be dropped
    }
};

// A frame buffer of any size and layout with the view placed as the display
// set-up places it (24 rows down), without the 320-pixel cap, so that larger
// views are checked too. Every pixel starts as a marker.
struct View {
    FrameBuffer frame;
    ViewGeometry geometry;

    explicit View(const DisplayShape& shape) : frame(shape) {
        frame.Fill(0x5A5A);
        geometry.width = shape.width;
        geometry.height = shape.height;
        geometry.bottomRow = shape.height - kBottomRowOffset;
        geometry.properties.cxWidth = static_cast<uint32_t>(shape.width);
        geometry.properties.cyHeight = static_cast<uint32_t>(shape.height);
        geometry.properties.cbxPitch = frame.XPitchBytes();
        geometry.properties.cbyPitch = frame.YPitchBytes();
        geometry.properties.cBPP = 16;
        geometry.origin = frame.TopLeft() + kTopMargin * (frame.YPitchBytes() / 2);
    }
};

std::string Describe(const CameraState& c) {
    return "camera " + std::to_string(c.x) + "," + std::to_string(c.y) + "," +
           std::to_string(c.height) + "," + std::to_string(c.heading) + "," +
           std::to_string(c.horizon);
}

std::vector<RenderPath> FastPaths() {
    std::vector<RenderPath> paths;
    for (RenderPath p : kAllRenderPaths)
        if (p != RenderPath::Reference && RenderPathAvailable(p)) paths.push_back(p);
    return paths;
}

// One renderer per path, kept for the whole run as the demo's render thread
// keeps its renderer: what a path reuses from frame to frame (the sky in
// colours above all) meets every scene, size and layout drawn here.
TerrainRenderer& RendererFor(RenderPath path) {
    static std::map<RenderPath, std::unique_ptr<TerrainRenderer>> renderers;
    std::unique_ptr<TerrainRenderer>& renderer = renderers[path];
    if (!renderer) renderer = std::make_unique<TerrainRenderer>(path);
    return *renderer;
}

// Renders `camera` with the reference and with every other path on fresh
// buffers and compares every word of memory, the pixels outside the view
// included. Returns the number of differing frames (each reported).
int CompareAllPaths(const MemoryScene& scene, const DisplayShape& shape,
                    const CameraState& camera) {
    const TerrainSources sources = scene.Sources();
    View expected(shape);
    RenderTerrain(expected.geometry, sources, camera);
    int failures = 0;
    for (RenderPath path : FastPaths()) {
        View actual(shape);
        RendererFor(path).Draw(actual.geometry, sources, camera);
        if (actual.frame.Memory() != expected.frame.Memory()) {
            const auto& a = actual.frame.Memory();
            const auto& e = expected.frame.Memory();
            size_t first = 0;
            while (a[first] == e[first])
                ++first;
            ADD_FAILURE() << RenderPathName(path) << " differs on " << shape.width << "x"
                          << shape.height << ":" << LayoutName(shape.layout) << " for "
                          << Describe(camera) << ": first at word " << first << " (" << a[first]
                          << " instead of " << e[first] << ")";
            ++failures;
        }
    }
    return failures;
}

class TerrainViewPathsTest : public ::testing::Test {};

// The gather choice reads family and model from the CPUID signature, where
// the extended fields are easy to get wrong.
TEST(CpuFeaturesTest, GathersCountAsQuickFromZen4On) {
    struct Case {
        const char* processor;
        unsigned signature;
        bool quick;
    };
    const Case cases[] = {
        {"K10 (family 10h)", 0x00100F42, false},
        {"Zen 2 Rome (17h, model 31h)", 0x00830F10, false},
        {"Zen 3 Milan (19h, model 01h)", 0x00A00F11, false},
        {"Zen 3 Vermeer (19h, model 21h)", 0x00A20F10, false},
        {"Zen 3+ Rembrandt (19h, model 44h)", 0x00A40F41, false},
        {"Zen 3 Cezanne (19h, model 50h)", 0x00A50F00, false},
        {"Zen 4 Genoa (19h, model 11h)", 0x00A10F11, true},
        {"Zen 4 Raphael (19h, model 61h)", 0x00A60F12, true},
        {"Zen 4 Phoenix (19h, model 74h)", 0x00A70F41, true},
        {"Zen 4c Bergamo (19h, model A0h)", 0x00AA0F01, true},
        {"Zen 5 (1Ah, model 02h)", 0x00B00F21, true},
        {"Zen 5 Strix (1Ah, model 24h)", 0x00B20F40, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(AmdGathersQuickly(c.signature), c.quick) << c.processor;
    if (!CpuHasAvx2()) {
        EXPECT_FALSE(CpuGathersQuickly());
    }
}

TEST_F(TerrainViewPathsTest, ReferenceAndScalarAreAlwaysAvailable) {
    EXPECT_TRUE(RenderPathAvailable(RenderPath::Reference));
    EXPECT_TRUE(RenderPathAvailable(RenderPath::Scalar));
    EXPECT_TRUE(RenderPathAvailable(FastestRenderPath()));
#if defined(__x86_64__)
    EXPECT_NE(FastestRenderPath(), RenderPath::Reference);
#endif
}

TEST_F(TerrainViewPathsTest, NamedCasesOnEveryLayout) {
    // Hand-picked cameras: views along the flight's range of heights and
    // horizons, a camera under the ground, a camera facing a wall, horizons
    // far above and below the view, rays that wrap the map, and the 32-bit
    // extremes of every field.
    struct Case {
        const char* name;
        CameraState camera;
    } cases[] = {
        {"level flight", {Cells(128.5), Cells(100.25), 140 << 17, 300, 62}},
        {"low over the ground", {Cells(10), Cells(200), 30 << 17, -1332, 200}},
        {"high above", {Cells(64), Cells(64), 1000 << 17, 2048, 20}},
        {"looking down hard", {Cells(3.7), Cells(250.1), 200 << 17, 4000, -500}},
        {"looking up hard", {Cells(99), Cells(1), 100 << 17, 1024, 900}},
        {"under the ground", {Cells(128), Cells(128), -(50 << 17), 512, 100}},
        {"tall sky band", {Cells(5), Cells(5), 1800 << 17, 0, 300}},
        {"heading wraps", {Cells(77), Cells(33), 150 << 17, kMax, 100}},
        {"heading wraps down", {Cells(77), Cells(33), 150 << 17, kMin, 100}},
        {"map position wraps", {kMax, kMin, 120 << 17, 777, 80}},
        {"height extreme high", {Cells(50), Cells(50), kMax, 100, 100}},
        {"height extreme low", {Cells(50), Cells(50), kMin, 100, 100}},
        {"horizon extreme high", {Cells(50), Cells(50), 120 << 17, 100, kMax}},
        {"horizon extreme low", {Cells(50), Cells(50), 120 << 17, 100, kMin}},
        {"all extreme", {kMin, kMax, kMin, kMax, kMin}},
        {"all zero", {0, 0, 0, 0, 0}},
    };
    const DisplayShape shapes[] = {
        {240, 320, DisplayLayout::Normal}, {240, 320, DisplayLayout::BottomUp},
        {240, 320, DisplayLayout::Rot90},  {240, 320, DisplayLayout::Rot180},
        {240, 320, DisplayLayout::Rot270}, {320, 320, DisplayLayout::Normal},
        {320, 240, DisplayLayout::Rot90},  {1, 25, DisplayLayout::Normal},
        {1, 26, DisplayLayout::Rot270},    {2, 100, DisplayLayout::BottomUp},
        {7, 40, DisplayLayout::Normal},    {9, 33, DisplayLayout::Rot180},
        {13, 320, DisplayLayout::Rot90},   {17, 64, DisplayLayout::Normal},
        {250, 25, DisplayLayout::Normal},  {321, 300, DisplayLayout::BottomUp},
        {480, 640, DisplayLayout::Normal}, {480, 640, DisplayLayout::Rot270},
    };
    for (Terrain terrain : {Terrain::Hills, Terrain::Noise, Terrain::Steps}) {
        const MemoryScene scene(terrain);
        for (const DisplayShape& shape : shapes)
            for (const Case& c : cases) {
                SCOPED_TRACE(std::string(c.name) + " over " + TerrainName(terrain));
                CompareAllPaths(scene, shape, c.camera);
            }
    }
}

TEST_F(TerrainViewPathsTest, FullColumnsAndEmptyColumns) {
    // A wall that fills every column at the first step, flat ground never
    // reached, and flat ground seen from below.
    struct Case {
        Terrain terrain;
        CameraState camera;
    } cases[] = {
        {Terrain::Wall, {Cells(3), Cells(3), -(100 << 17), 0, 100}},
        {Terrain::Wall, {Cells(3), Cells(3), 300 << 17, 0, 100}},
        {Terrain::Wall, {Cells(3), Cells(3), 254 << 17, 2000, 0}},
        {Terrain::Flat, {Cells(128.5), Cells(128.5), 200 << 17, 0, 300}},
        {Terrain::Flat, {Cells(128.5), Cells(128.5), 41 << 17, 1000, 60}},
        {Terrain::Flat, {Cells(128.5), Cells(128.5), 39 << 17, 3000, 60}},
        {Terrain::Flat, {Cells(128.5), Cells(128.5), 0x60000, 0, 0}},
    };
    for (const Case& c : cases) {
        const MemoryScene scene(c.terrain);
        for (DisplayShape shape : {DisplayShape{240, 320, DisplayLayout::Normal},
                                   DisplayShape{29, 200, DisplayLayout::Rot90}}) {
            SCOPED_TRACE(TerrainName(c.terrain));
            CompareAllPaths(scene, shape, c.camera);
        }
    }
}

TEST_F(TerrainViewPathsTest, SpikesBetweenWideSpreadRays) {
    // Narrow views spread neighbouring columns' rays far apart, and low ground
    // with rare tall cells lets the vector paths step over long stretches:
    // a spike that only a middle column's ray meets must still be drawn.
    const MemoryScene scene(Terrain::Spikes);
    std::mt19937 rng(99);
    const DisplayShape shapes[] = {
        {9, 100, DisplayLayout::Normal},  {16, 60, DisplayLayout::Normal},
        {11, 40, DisplayLayout::Rot90},   {24, 200, DisplayLayout::Normal},
        {40, 120, DisplayLayout::Normal}, {240, 320, DisplayLayout::Normal}};
    int failures = 0;
    for (const DisplayShape& shape : shapes) {
        for (int i = 0; i < 40 && failures < 5; ++i) {
            const CameraState camera{static_cast<int32_t>(rng()), static_cast<int32_t>(rng()),
                                     static_cast<int32_t>(20 + rng() % 200) << 17,
                                     static_cast<int32_t>(rng() % 4096),
                                     static_cast<int32_t>(rng() % 120) - 20 + shape.height / 3};
            failures += CompareAllPaths(scene, shape, camera);
        }
    }
}

TEST_F(TerrainViewPathsTest, RayHeightsAtTheEdgeOfTheFastPaths) {
    // The fast paths take a frame only while no ray height can wrap around 32
    // bits; cameras just inside and just outside that limit, at the top and
    // the bottom of the range, must all match.
    const MemoryScene scene(Terrain::Noise);
    const DisplayShape shape{24, 80, DisplayLayout::Normal};
    const int rows = shape.height - 24;
    const int bottomRow = rows - 1;
    for (int32_t horizon : {-300, 0, 10, 55, 200, 5000}) {
        const int64_t k0 = static_cast<int64_t>(horizon) - bottomRow + 1;
        // Largest and smallest ray height offsets over the frame.
        int64_t low = INT64_MAX, high = INT64_MIN;
        for (int64_t reach : {1, 256})
            for (int64_t k : {k0, k0 + rows}) {
                low = std::min(low, reach * 1536 * k);
                high = std::max(high, reach * 1536 * k);
            }
        for (int64_t height : {int64_t{kMax} - high, int64_t{kMin} - low}) {
            for (int64_t delta : {-2, -1, 0, 1, 2}) {
                const int64_t h = height + delta;
                if (h < kMin || h > kMax) continue;
                const CameraState camera{Cells(20.5), Cells(40.5), static_cast<int32_t>(h), 700,
                                         horizon};
                CompareAllPaths(scene, shape, camera);
            }
        }
    }
}

TEST_F(TerrainViewPathsTest, RandomCamerasSizesAndLayouts) {
    // Random cameras: positions and headings anywhere, heights and horizons
    // mostly in the range where the fast paths take over, some anywhere.
    std::mt19937 rng(20240605);
    const DisplayLayout layouts[] = {DisplayLayout::Normal, DisplayLayout::BottomUp,
                                     DisplayLayout::Rot90, DisplayLayout::Rot180,
                                     DisplayLayout::Rot270};
    const MemoryScene scenes[] = {MemoryScene(Terrain::Hills), MemoryScene(Terrain::Noise, 7),
                                  MemoryScene(Terrain::Steps)};
    auto uniform = [&](int64_t lo, int64_t hi) {
        return static_cast<int32_t>(std::uniform_int_distribution<int64_t>(lo, hi)(rng));
    };
    int failures = 0;
    for (int i = 0; i < 600 && failures < 5; ++i) {
        DisplayShape shape;
        shape.width = uniform(1, i % 10 == 0 ? 480 : 64);
        shape.height = uniform(25, i % 10 == 0 ? 640 : 120);
        shape.layout = layouts[i % 5];
        CameraState camera;
        camera.x = uniform(kMin, kMax);
        camera.y = uniform(kMin, kMax);
        camera.heading = uniform(kMin, kMax);
        switch (i % 4) {
            case 0:  // anywhere
                camera.height = uniform(kMin, kMax);
                camera.horizon = uniform(kMin, kMax);
                break;
            case 1:  // the flight's kind of camera
                camera.height = uniform(0, 400 << 17);
                camera.horizon = uniform(-100, 300);
                break;
            case 2:  // far above or below the map, horizons outside the view
                camera.height = uniform(-(1 << 30), 1 << 30);
                camera.horizon = uniform(-2000, 2000);
                break;
            default:  // near the ground
                camera.height = uniform(0, 256 << 17);
                camera.horizon = uniform(0, 200);
                break;
        }
        failures += CompareAllPaths(scenes[i % 3], shape, camera);
    }
}

TEST_F(TerrainViewPathsTest, MarchStepCountsStopWhenAColumnFills) {
    struct Case {
        const char* name;
        Terrain terrain;
        CameraState camera;
        long long expectedPerColumn;  // 0: not checked per column
    } cases[] = {
        // Never reaches the ground: every column marches all 256 steps.
        {"sky only", Terrain::Flat, {Cells(10), Cells(10), 200 << 17, 0, 300}, 256},
        // Under a wall of 255: the first step fills every row.
        {"under a wall", Terrain::Wall, {Cells(3), Cells(3), -(100 << 17), 0, 100}, 1},
    };
    for (const Case& c : cases) {
        const MemoryScene scene(c.terrain);
        View view(DisplayShape{240, 320, DisplayLayout::Normal});
        EXPECT_EQ(CountMarchSteps(view.geometry, scene.Sources(), c.camera),
                  c.expectedPerColumn * 240)
            << c.name;
    }
    // Looking down at near ground, some columns fill early: fewer steps than
    // the full march, but at least one per column.
    const MemoryScene hills(Terrain::Hills);
    View view(DisplayShape{240, 320, DisplayLayout::Normal});
    const long long steps =
        CountMarchSteps(view.geometry, hills.Sources(), {Cells(5), Cells(5), 60 << 17, 0, -800});
    EXPECT_GE(steps, 240);
    EXPECT_LT(steps, 240 * 256);
}

TEST_F(TerrainViewPathsTest, SkyAndPaletteChangedInPlaceBetweenFrames) {
    // The same buffers drawn again after their sky picture or palette has
    // changed: nothing from an earlier frame may show.
    MemoryScene scene(Terrain::Hills);
    const DisplayShape shape{240, 320, DisplayLayout::Normal};
    const CameraState camera{Cells(128.5), Cells(100.25), 140 << 17, 300, 62};
    EXPECT_EQ(CompareAllPaths(scene, shape, camera), 0);
    for (uint8_t& pixel : scene.sky)
        pixel = static_cast<uint8_t>(pixel + 1);
    EXPECT_EQ(CompareAllPaths(scene, shape, camera), 0) << "every sky pixel changed";
    for (int row = 0; row < 256; ++row)
        scene.sky[static_cast<size_t>(row) * 512 + (row * 37) % 512] ^= 0x55;
    EXPECT_EQ(CompareAllPaths(scene, shape, camera), 0) << "one pixel of each sky row changed";
    for (int i = 0; i < 256; i += 3)
        scene.skyPalette[static_cast<size_t>(i)] ^= 0x0F0F;
    EXPECT_EQ(CompareAllPaths(scene, shape, camera), 0) << "sky palette changed";
    // Back to the first frame's sky, then to another heading.
    for (uint8_t& pixel : scene.sky)
        pixel = static_cast<uint8_t>(pixel - 1);
    EXPECT_EQ(CompareAllPaths(scene, shape, camera), 0) << "sky changed back";
    EXPECT_EQ(CompareAllPaths(scene, shape, {Cells(7), Cells(9), 300 << 17, 3000, 200}), 0);
}

TEST_F(TerrainViewPathsTest, PathNamesAreDistinct) {
    EXPECT_STREQ(RenderPathName(RenderPath::Reference), "reference");
    EXPECT_STREQ(RenderPathName(RenderPath::Scalar), "scalar");
    EXPECT_STREQ(RenderPathName(RenderPath::Sse2), "sse2");
    EXPECT_STREQ(RenderPathName(RenderPath::Avx2), "avx2");
    EXPECT_STREQ(RenderPathName(RenderPath::Avx2Gather), "avx2-gather");
}

}  // namespace
