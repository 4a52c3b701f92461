// fly_hd_test.cpp -- fly with the HD view on the headless platform: frames at the window's size
// equal to HdRenderer's for the same cameras, following a resize, and the ground kept above
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "fly/fly_hd.h"
#include "fly/fly_input.h"
#include "fly/fly_session.h"
#include "platform/headless/headless_platform.h"
#include "render/hd_view.h"
#include "shared/scene_format.h"
#include "tests/support/fly_scenes.h"
#include "tests/support/test_files.h"

namespace {

constexpr int64_t kFrameUs = 16667;

ScriptedInput Key(double seconds, EventKind kind, int32_t code) {
    ScriptedInput s;
    s.at = static_cast<int64_t>(seconds * 1e6);
    s.event.kind = kind;
    s.event.code = code;
    return s;
}

HdTerrain TerrainOf(const FlyTestScene& scene, int side) {
    std::string error;
    std::optional<HdTerrain> terrain = BuildHdTerrainFromScene(scene.load.scene, side, error);
    EXPECT_TRUE(terrain) << error;
    return std::move(*terrain);
}

struct Drawn {
    CameraState camera;
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
};

// The session's frames, at the window's size before and after a resize, are
// HdRenderer's for the cameras drawn; the overlay is laid out at the frame's
// size over its scale; the faithful frame buffer is not drawn.
TEST(FlyHdTest, FramesAreTheHdViewsAtTheWindowsSizeThroughAResize) {
    const auto scene = DefaultFlyScene();
    ASSERT_FALSE(scene->load.error);
    const HdTerrain terrain = TerrainOf(*scene, 256);
    HeadlessOptions headless;
    headless.memoryCopy = true;
    headless.frameStepMicroseconds = kFrameUs;
    headless.trueColourWidth = 320;
    headless.trueColourHeight = 240;
    headless.script = {Key(0.01, EventKind::KeyDown, 'w'), Key(0.03, EventKind::KeyDown, 'a')};
    HeadlessPlatform platform(headless);
    TempDir temp;
    FlySessionOptions options;
    options.keysOut = temp.File("Keys2.txt.new");
    options.maxFrames = 8;
    options.hd = &terrain;
    options.hdThreads = 2;
    std::vector<Drawn> drawn;
    FlySessionReport report;
    testing::internal::CaptureStdout();
    const int status =
        RunFlySession(platform, scene->Fly(), options, report, [&](const FlyFrame& f) {
            HeadlessScreen* screen = platform.OpenedScreen();
            const TrueColourFrame& frame = screen->LastTrueColourFrame();
            Drawn d{f.camera, frame.width, frame.height, {}};
            for (int y = 0; y < frame.height; ++y)
                d.pixels.insert(d.pixels.end(), frame.pixels + y * (frame.pitch / 4),
                                frame.pixels + y * (frame.pitch / 4) + frame.width);
            drawn.push_back(std::move(d));
            // The window grows after the fourth frame, as a resize would make it.
            if (f.index == 3) screen->SetTrueColourSize(400, 720);
        });
    testing::internal::GetCapturedStdout();
    ASSERT_EQ(status, 0);
    ASSERT_EQ(drawn.size(), 8u);
    HeadlessScreen* screen = platform.OpenedScreen();
    EXPECT_EQ(screen->trueColourPresents.load(), 8);
    const std::vector<uint16_t>& faithful = screen->Frame().Memory();
    EXPECT_TRUE(std::all_of(faithful.begin(), faithful.end(), [](uint16_t p) { return p == 0; }))
        << "the faithful view is not drawn";
    EXPECT_EQ(screen->overlay.scale, HdOverlayScale(720));
    EXPECT_EQ(screen->overlay.width, 400 / HdOverlayScale(720));
    EXPECT_EQ(screen->overlay.height, 720 / HdOverlayScale(720));

    HdRenderer renderer(HdPath::Reference, 1);
    bool moved = false;
    for (size_t i = 0; i < drawn.size(); ++i) {
        const Drawn& d = drawn[i];
        EXPECT_EQ(d.width, i < 4 ? 320 : 400) << i;
        EXPECT_EQ(d.height, i < 4 ? 240 : 720) << i;
        std::vector<uint32_t> want(d.pixels.size(), 0xFFFFFFFFu);
        renderer.Draw(HdFrame{want.data(), d.width, d.height, static_cast<ptrdiff_t>(d.width) * 4},
                      terrain, d.camera);
        EXPECT_TRUE(want == d.pixels) << "frame " << i;
        moved |= i > 0 &&
                 (d.camera.x != drawn[0].camera.x || d.camera.heading != drawn[0].camera.heading);
    }
    EXPECT_TRUE(moved) << "the flight moved";
}

// A screen without true colour cannot show the HD view: fly says so.
TEST(FlyHdTest, AScreenWithoutTrueColourIsRefused) {
    const auto scene = DefaultFlyScene();
    const HdTerrain terrain = TerrainOf(*scene, 256);
    HeadlessPlatform platform;
    FlySessionOptions options;
    options.hd = &terrain;
    options.maxFrames = 1;
    FlySessionReport report;
    testing::internal::CaptureStderr();
    EXPECT_EQ(RunFlySession(platform, scene->Fly(), options, report), 1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("cannot show the HD view"),
              std::string::npos);
}

// The ground envelope bounds every level-0 texel, with a texel to spare
// around each cell, for faithful maps interpolated (1024) and as they are (256).
TEST(FlyHdTest, TheGroundEnvelopeHoldsEveryTexelNearItsCell) {
    const auto scene = SteepFlyScene();
    for (const int side : {256, 1024}) {
        const HdTerrain terrain = TerrainOf(*scene, side);
        const std::vector<uint8_t> ground = HdGroundBytes(terrain);
        ASSERT_EQ(ground.size(), static_cast<size_t>(kMapCells));
        const HdLevel& level = terrain.Level(0);
        const int per = side / kMapSide;
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) {
                const int h = level.height[static_cast<size_t>(y) * side + x];
                // The cell holding the texel and, a texel away, its neighbours.
                for (const int dy : {-1, 0, 1})
                    for (const int dx : {-1, 0, 1}) {
                        const int cx = ((x + dx) & (side - 1)) / per;
                        const int cy = ((y + dy) & (side - 1)) / per;
                        ASSERT_GE(ground[static_cast<size_t>(cy) * kMapSide + cx] * 256,
                                  std::min(h, 255 * 256))
                            << side << ": texel " << x << "," << y;
                    }
            }
        // Interpolated maps never rise above the faithful cells around them.
        if (side == 1024) {
            const uint8_t* faithful = scene->Heights();
            for (int cell = 0; cell < kMapCells; ++cell) {
                const int cx = cell % kMapSide, cy = cell / kMapSide;
                int highest = 0;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx)
                        highest = std::max<int>(
                            highest, faithful[((cy + dy) & 255) * kMapSide + ((cx + dx) & 255)]);
                ASSERT_LE(ground[static_cast<size_t>(cell)], highest) << cx << "," << cy;
            }
        }
    }
}

// Flying down into steep ground with the HD view on: the camera stays
// above the ground the view shows under it.
TEST(FlyHdTest, TheCameraStaysAboveTheHdGround) {
    const auto scene = SteepFlyScene();
    const HdTerrain terrain = TerrainOf(*scene, 1024);
    HeadlessOptions headless;
    headless.memoryCopy = true;
    headless.frameStepMicroseconds = kFrameUs;
    headless.trueColourWidth = 64;
    headless.trueColourHeight = 48;
    headless.script = {Key(0.01, EventKind::KeyDown, 'w'), Key(0.02, EventKind::KeyDown, 'f'),
                       Key(0.03, EventKind::KeyDown, keys::kLeftShift)};
    HeadlessPlatform platform(headless);
    TempDir temp;
    FlySessionOptions options;
    options.keysOut = temp.File("Keys2.txt.new");
    options.maxFrames = 600;
    options.hd = &terrain;
    const HdLevel& level = terrain.Level(0);
    const int side = level.side;
    FlySessionReport report;
    int frames = 0;
    testing::internal::CaptureStdout();
    RunFlySession(platform, scene->Fly(), options, report, [&](const FlyFrame& f) {
        ++frames;
        // The texels around the camera's point on the HD map.
        const int64_t hx = (int64_t{f.camera.x} * side) >> 24,
                      hy = (int64_t{f.camera.y} * side) >> 24;
        int highest = 0;
        for (int64_t dy = -1; dy <= 1; ++dy)
            for (int64_t dx = -1; dx <= 1; ++dx)
                highest = std::max<int>(
                    highest, level.height[static_cast<size_t>(((hy + dy) & (side - 1)) * side +
                                                              ((hx + dx) & (side - 1)))]);
        ASSERT_GT(int64_t{f.camera.height} >> 9, highest) << "frame " << f.index;
    });
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(frames, 600);
}

}  // namespace
