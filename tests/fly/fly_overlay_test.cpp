// fly_overlay_test.cpp -- the fly overlay: its status lines in each mode, and where its bands lie
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fly/fly_overlay.h"
#include "fly/overlay_font.h"

namespace {

TEST(FlyOverlayTest, TheStatusSaysTheModeAndItsState) {
    OverlayStatus s;
    s.fps = 59.6;
    s.frameMs = 16.71;
    s.camera = CameraState{(100 << 16) + 32768, 5 << 16, 80 << 17, 1024 + 4096, 148};
    s.ground = 62;
    EXPECT_EQ(TopLines(240, s),
              (std::vector<std::string>{"FLY 60 fps 16.7 ms", "x 100.5 y 5.0 hd 90 deg hz row 148",
                                        "h 80.0 18.0 above ground"}));
    s.recording = true;
    s.keys = 12;
    s.closeLoop = true;
    s.controllers = 1;
    EXPECT_EQ(TopLines(240, s)[0], "REC 12 keys");
    EXPECT_EQ(TopLines(240, s)[1], "FLY 60 fps 16.7 ms loop pad 1");
    OverlayStatus p;
    p.player = true;
    p.fps = 60;
    p.timeMs = 13500;
    p.durationMs = 70500;
    p.key = 9;
    p.playedKeys = 48;
    p.speed = 4;
    p.paused = true;
    const std::vector<std::string> lines = TopLines(240, p);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "PLAY 13.500/70.5 s 4x PAUSED");
    EXPECT_EQ(lines[1], "key 9/48 60 fps");
    // A wider screen holds the same lines.
    EXPECT_EQ(TopLines(320, p), lines);
}

// Every mode, with the widest values each field can take: on the handheld's
// 240-pixel screen each group keeps to its line, and on any narrower one the
// fields wrap, so no band is ever wider than the screen (measured with the
// font's own width).
TEST(FlyOverlayTest, NoLineIsWiderThanTheScreen) {
    std::vector<OverlayStatus> modes;
    OverlayStatus widest;
    widest.fps = 999;
    widest.frameMs = 999.9;
    widest.controllers = 99;
    widest.closeLoop = true;
    widest.camera = CameraState{(256 << 16) - 1, (256 << 16) - 1, 1000 << 17, 4095, 295};
    widest.ground = 0;
    modes.push_back(widest);  // free flight
    widest.recording = true;
    widest.keys = 99999;
    modes.push_back(widest);  // recording
    widest.recording = false;
    widest.player = true;
    widest.timeMs = 9999999;
    widest.durationMs = 9999999;
    widest.key = 9999;
    widest.playedKeys = 9999;
    for (const bool paused : {false, true}) {
        for (double speed = 0.5; speed <= 4; speed *= 2) {
            widest.paused = paused;
            widest.speed = speed;
            modes.push_back(widest);  // the player, playing and paused, at every speed
        }
    }
    for (const OverlayStatus& mode : modes) {
        const size_t groups = mode.player || mode.recording ? 4 : 3;
        EXPECT_EQ(TopLines(240, mode).size(), groups) << TopLines(240, mode)[0];
        for (int width = 1; width <= 480; ++width) {
            for (const std::string& line : TopLines(width, mode))
                ASSERT_LE(TextWidth(line), BandTextWidth(width)) << width << ": " << line;
            OverlayStatus said = mode;
            said.message = "wrote /a/long/path/Keys2.txt.new: 13 keys\nand a second line";
            for (const std::string& line : MessageLines(width, said.message))
                ASSERT_LE(TextWidth(line), BandTextWidth(width)) << width << ": " << line;
        }
    }
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
    EXPECT_GT(row(24), 0) << "the height line";
    EXPECT_GT(row(34), 0) << "the message";
    EXPECT_LT(row(34), 240) << "cut to the screen";
    EXPECT_EQ(row(160), 0) << "the middle of the view is left clear";
    EXPECT_GT(row(315), 0) << "the help";
    s.help = false;
    s.message.clear();
    const OverlayImage quiet = ComposeOverlay(240, 320, s);
    for (int y = 3 * (kLineAdvance + 1); y < 320; ++y)
        for (int x = 0; x < 240; ++x)
            ASSERT_EQ(quiet.pixels[y * 240 + x], 0u) << x << "," << y;
    // A narrow screen still gets an overlay of its size.
    EXPECT_EQ(ComposeOverlay(30, 40, s).pixels.size(), 30u * 40u);
}

}  // namespace
