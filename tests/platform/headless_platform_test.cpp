// headless_platform_test.cpp -- the platform of the tool and the tests: its screen, its silent
// sound, its error box
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/headless/headless_platform.h"
#include "resources/resources.h"

namespace {

TEST(HeadlessPlatformTest, TheScreenIsOpenedOnceOrNotAtAll) {
    HeadlessPlatform platform(HeadlessOptions{DisplayShape{320, 240, DisplayLayout::Rot90}});
    EXPECT_EQ(platform.OpenedScreen(), nullptr);
    Screen* screen = platform.OpenScreen();
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(platform.OpenScreen(), screen);
    const GXDisplayProperties p = screen->Properties();
    EXPECT_EQ(p.cxWidth, 320u);
    EXPECT_EQ(p.cyHeight, 240u);
    EXPECT_EQ(p.cbxPitch, 2 * 240) << "rot90 stores screen columns as memory rows";
    EXPECT_EQ(p.cbyPitch, -2);
    EXPECT_FALSE(screen->IsMemoryCopy());
    EXPECT_TRUE(screen->ShowWindow("title"));

    HeadlessPlatform none(HeadlessOptions{std::nullopt});
    EXPECT_EQ(none.OpenScreen(), nullptr);

    HeadlessPlatform failing(HeadlessOptions{DisplayShape{}, true, true});
    ASSERT_NE(failing.OpenScreen(), nullptr);
    EXPECT_TRUE(failing.OpenScreen()->IsMemoryCopy());
    EXPECT_FALSE(failing.OpenScreen()->ShowWindow("title"));
}

TEST(HeadlessPlatformTest, SoundIsCheckedAndRemembered) {
    HeadlessPlatform platform;
    const ResourceData clip = FindResource(kBackgroundSoundId, "WAVE");
    EXPECT_TRUE(platform.PlayLoopingSound(clip.data, clip.size));
    EXPECT_TRUE(platform.SoundPlaying());
    platform.StopSound();
    EXPECT_FALSE(platform.SoundPlaying());
    const std::vector<uint8_t> notWave = {'R', 'I', 'F', 'F', 0, 0, 0, 0};
    EXPECT_FALSE(platform.PlayLoopingSound(notWave.data(), notWave.size()));
    EXPECT_FALSE(platform.PlayLoopingSound(nullptr, 0));
    EXPECT_FALSE(platform.SoundPlaying());
}

TEST(HeadlessPlatformTest, ErrorBoxesGoToStderrUnderTheirCaption) {
    HeadlessPlatform platform;
    ::testing::internal::CaptureStderr();
    platform.ShowErrorBox("Can't open file /x/Keys2.txt", "Pelmora, File Error");
    platform.ShowErrorBox("GXOpenDisplay failed", "");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "Pelmora, File Error: Can't open file /x/Keys2.txt\nGXOpenDisplay failed\n");
    EXPECT_EQ(platform.ErrorBoxes(),
              (std::vector<std::string>{"Pelmora, File Error: Can't open file /x/Keys2.txt",
                                        "GXOpenDisplay failed"}));
}

TEST(HeadlessPlatformTest, ScriptedInputArrivesOnItsTimeByAClockThePresentsStep) {
    HeadlessOptions options;
    options.memoryCopy = true;
    options.frameStepMicroseconds = 10000;
    for (const int64_t at : {0, 25000, 25000, 41000}) {
        ScriptedInput input;
        input.at = at;
        input.event.kind = EventKind::KeyDown;
        input.event.code = static_cast<int32_t>(at);
        options.script.push_back(input);
    }
    HeadlessPlatform platform(options);
    EXPECT_EQ(platform.ClockMicroseconds(), 0);
    Screen* screen = platform.OpenScreen();
    ASSERT_NE(screen, nullptr);
    std::vector<std::pair<int64_t, int32_t>> arrived;  // (clock, code)
    for (int frame = 0; frame < 6; ++frame) {
        const int64_t now = platform.ClockMicroseconds();
        InputEvent event;
        while (platform.Events().Poll(event))
            arrived.emplace_back(now, event.code);
        screen->Present();
    }
    EXPECT_EQ(platform.ClockMicroseconds(), 60000);
    EXPECT_EQ(arrived, (std::vector<std::pair<int64_t, int32_t>>{
                           {0, 0}, {30000, 25000}, {30000, 25000}, {50000, 41000}}));
}

TEST(HeadlessPlatformTest, WithoutASteppedClockTheClockIsTheSystems) {
    HeadlessPlatform platform;
    const int64_t first = platform.ClockMicroseconds();
    EXPECT_GE(first, 0);
    EXPECT_LT(first, 1000000) << "counted from the first reading";
    EXPECT_GE(platform.ClockMicroseconds(), first);
}

TEST(HeadlessPlatformTest, TheOverlayIsKeptApartFromTheFrameBuffer) {
    HeadlessPlatform platform(HeadlessOptions{DisplayShape{4, 30}});
    HeadlessScreen* screen = static_cast<HeadlessScreen*>(platform.OpenScreen());
    ASSERT_NE(screen, nullptr);
    EXPECT_TRUE(screen->overlay.Empty());
    OverlayImage overlay;
    overlay.width = 4;
    overlay.height = 30;
    overlay.pixels.assign(4 * 30, 0xFF00FF00u);
    screen->SetOverlay(overlay);
    EXPECT_EQ(screen->overlay.pixels, overlay.pixels);
    for (const uint16_t p : screen->Frame().ScreenPixels())
        EXPECT_EQ(p, 0u);
}

}  // namespace

namespace {

// True-colour frames at the size the test gives, following a resize; each
// present moves a stepped clock on as Present does; without a size there are none.
TEST(HeadlessPlatformTest, TrueColourFramesHaveTheWindowsSizeAndStepTheClock) {
    HeadlessOptions options;
    options.trueColourWidth = 64;
    options.trueColourHeight = 48;
    options.frameStepMicroseconds = 1000;
    HeadlessPlatform platform(options);
    auto* screen = static_cast<HeadlessScreen*>(platform.OpenScreen());
    ASSERT_NE(screen, nullptr);
    EXPECT_TRUE(screen->SupportsTrueColour());
    TrueColourFrame frame = screen->NextTrueColourFrame();
    ASSERT_FALSE(frame.Empty());
    EXPECT_EQ(frame.width, 64);
    EXPECT_EQ(frame.height, 48);
    EXPECT_GE(frame.pitch, 64 * 4);
    frame.pixels[frame.pitch / 4 * 47 + 63] = 0x00ABCDEFu;
    screen->PresentTrueColour();
    EXPECT_EQ(screen->trueColourPresents.load(), 1);
    EXPECT_EQ(screen->presents.load(), 1);
    EXPECT_EQ(platform.ClockMicroseconds(), 1000);
    EXPECT_EQ(screen->LastTrueColourFrame().pixels[frame.pitch / 4 * 47 + 63], 0x00ABCDEFu);
    EXPECT_EQ(screen->Frame().Memory()[0], 0) << "the frame buffer is left alone";

    screen->SetTrueColourSize(1920, 1080);
    frame = screen->NextTrueColourFrame();
    EXPECT_EQ(frame.width, 1920);
    EXPECT_EQ(frame.height, 1080);
    frame.pixels[frame.pitch / 4 * 1079 + 1919] = 1;  // the whole frame is there

    screen->SetTrueColourSize(0, 0);
    EXPECT_FALSE(screen->SupportsTrueColour());
    EXPECT_TRUE(screen->NextTrueColourFrame().Empty());

    HeadlessPlatform plain;
    Screen* faithful = plain.OpenScreen();
    ASSERT_NE(faithful, nullptr);
    EXPECT_FALSE(faithful->SupportsTrueColour());
    EXPECT_TRUE(faithful->NextTrueColourFrame().Empty());
}

}  // namespace
