// fly_overlay_test.cpp -- the fly overlay: its status lines in each mode, and where its bands lie
#include <gtest/gtest.h>

#include "tools/fly/fly_overlay.h"
#include "tools/fly/overlay_font.h"

namespace {

TEST(FlyOverlayTest, TheStatusSaysTheModeAndItsState) {
    OverlayStatus s;
    s.fps = 59.6;
    s.frameMs = 16.71;
    EXPECT_EQ(StatusLine(s), "FLY 60 fps 16.7 ms");
    s.recording = true;
    s.keys = 12;
    s.closeLoop = true;
    s.controllers = 1;
    EXPECT_EQ(StatusLine(s), "FLY 60 fps 16.7 ms REC 12 keys loop pad 1");
    OverlayStatus p;
    p.player = true;
    p.timeMs = 12345;
    p.durationMs = 70500;
    p.key = 8;
    p.playedKeys = 47;
    p.speed = 0.5;
    p.paused = true;
    EXPECT_EQ(StatusLine(p), "PLAY 12.345/70.5s key 8/47 0.5x PAUSED");
    const CameraState c{(100 << 16) + 32768, 5 << 16, 80 << 17, 1024 + 4096, 148};
    EXPECT_EQ(CameraLine(c), "x 100.5 y 5.0 h 80.0 hd 90 hz 148");
}

TEST(FlyOverlayTest, BandsAtTheTopAndTheHelpAtTheBottomLeaveTheViewBetweenClear) {
    OverlayStatus s;
    s.message = "wrote /a/very/long/path/that/does/not/fit/on/the/screen/Keys2.txt.new";
    const OverlayImage image = ComposeOverlay(240, 320, s);
    ASSERT_EQ(image.width, 240);
    ASSERT_EQ(image.height, 320);
    ASSERT_EQ(image.pixels.size(), 240u * 320u);
    const auto row = [&](int y) {
        int covered = 0;
        for (int x = 0; x < 240; ++x)
            covered += (image.pixels[y * 240 + x] >> 24) != 0;
        return covered;
    };
    EXPECT_GT(row(0), 0) << "the status line";
    EXPECT_GT(row(12), 0) << "the camera line";
    EXPECT_GT(row(24), 0) << "the message";
    EXPECT_LE(row(24), 240) << "cut to the screen";
    EXPECT_EQ(row(160), 0) << "the middle of the view is left clear";
    EXPECT_GT(row(315), 0) << "the help";
    s.help = false;
    s.message.clear();
    const OverlayImage quiet = ComposeOverlay(240, 320, s);
    for (int y = 2 * (kLineAdvance + 1); y < 320; ++y)
        for (int x = 0; x < 240; ++x)
            ASSERT_EQ(quiet.pixels[y * 240 + x], 0u) << x << "," << y;
    // A narrow screen still gets an overlay of its size.
    EXPECT_EQ(ComposeOverlay(30, 40, s).pixels.size(), 30u * 40u);
}

}  // namespace
