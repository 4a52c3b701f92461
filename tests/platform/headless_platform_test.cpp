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

}  // namespace
