// demo_hd_test.cpp -- the demo with the HD view (a screen that wants true colour, as
// FLYOVER_VIEW=hd makes it) on the headless platform: HD frames at the window's size, the same
// flight and stop
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "app/app_main.h"
#include "app/demo_state.h"
#include "app/main_window.h"
#include "app/render_thread.h"
#include "platform/headless/headless_platform.h"
#include "render/hd_view.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Runs the demo until a few frames are drawn, then presses a key; returns
// AppMain's status and the last true-colour frame's pixels.
int RunDemo(HeadlessPlatform& headless) {
    pathFreed = 0;
    renderRunning = 0;
    std::thread user([&] {
        const auto limit = Clock::now() + 20s;
        while (renderRunning.load() == 0 && Clock::now() < limit)
            std::this_thread::sleep_for(1ms);
        HeadlessScreen* screen = headless.OpenedScreen();
        while (screen && screen->presents.load() < 3 && Clock::now() < limit)
            std::this_thread::sleep_for(1ms);
        InputEvent key;
        key.kind = EventKind::KeyDown;
        key.code = ' ';
        headless.Events().Post(key);
    });
    const int code = AppMain(headless);
    user.join();
    return code;
}

TEST(DemoHdTest, DrawsTheHdViewAtTheWindowsSizeThenStopsAsEver) {
    HeadlessOptions options;
    options.memoryCopy = true;
    options.trueColourWidth = 320;
    options.trueColourHeight = 200;
    HeadlessPlatform headless(options);
    ASSERT_EQ(RunDemo(headless), 0);
    const HeadlessScreen& shown = *headless.OpenedScreen();
    EXPECT_TRUE(shown.windowShown);
    EXPECT_GE(shown.trueColourPresents.load(), 3) << "HD frames were drawn";
    EXPECT_EQ(shown.trueColourPresents.load(), shown.presents.load());
    const std::vector<uint16_t>& faithful = shown.Frame().Memory();
    EXPECT_TRUE(std::all_of(faithful.begin(), faithful.end(), [](uint16_t p) { return p == 0; }))
        << "the faithful view is not drawn";
    EXPECT_FALSE(renderThread.joinable());
    EXPECT_EQ(scene.path, nullptr) << "the stop sequence ran";
    EXPECT_FALSE(headless.SoundPlaying());

    // The last frame is the HD view of the last camera, as HdRenderer draws it.
    const TrueColourFrame& last = shown.LastTrueColourFrame();
    ASSERT_EQ(last.width, 320);
    ASSERT_EQ(last.height, 200);
    std::string error;
    const std::optional<HdTerrain> terrain = BuildHdTerrainFromScene(scene, 1024, error);
    ASSERT_TRUE(terrain) << error;
    std::vector<uint32_t> want(320 * 200);
    HdRenderer(HdPath::Reference, 1)
        .Draw(HdFrame{want.data(), 320, 200, 320 * 4}, *terrain, cameraState);
    EXPECT_TRUE(std::equal(want.begin(), want.end(), last.pixels));
}

// Without true colour the demo draws the faithful view, as it always has,
// even after a run with the HD view in the same process.
TEST(DemoHdTest, TheFaithfulViewStaysTheDefault) {
    HeadlessPlatform headless(HeadlessOptions{DisplayShape{}, true});
    ASSERT_EQ(RunDemo(headless), 0);
    const HeadlessScreen& shown = *headless.OpenedScreen();
    EXPECT_EQ(shown.trueColourPresents.load(), 0);
    EXPECT_GT(shown.presents.load(), 0);
    const std::vector<uint16_t>& faithful = shown.Frame().Memory();
    EXPECT_TRUE(std::any_of(faithful.begin(), faithful.end(), [](uint16_t p) { return p != 0; }));
}

}  // namespace
