// app_main_test.cpp -- the whole demo in this process on the headless platform: start-up, flight,
// input, the end
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "app/app_main.h"
#include "app/demo_state.h"
#include "app/main_window.h"
#include "app/render_thread.h"
#include "platform/headless/headless_platform.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

InputEvent Input(EventKind kind, int32_t code = 0) {
    InputEvent event;
    event.kind = kind;
    event.code = code;
    return event;
}

// Runs AppMain on `headless` (the scene is the default one beside the test
// program) while another thread, once the flight is under way, posts
// `inputs` and notes when it did. Returns AppMain's result.
int RunDemo(HeadlessPlatform& headless, const std::vector<InputEvent>& inputs,
            Clock::time_point* posted = nullptr) {
    pathFreed = 0;
    renderRunning = 0;
    std::thread user([&] {
        const auto limit = Clock::now() + 20s;
        while (renderRunning.load() == 0 && Clock::now() < limit)
            std::this_thread::sleep_for(1ms);
        std::this_thread::sleep_for(50ms);  // a few frames
        if (posted) *posted = Clock::now();
        for (const InputEvent& input : inputs)
            headless.Events().Post(input);
    });
    const int code = AppMain(headless);
    user.join();
    return code;
}

TEST(AppMainTest, FliesUntilAKeyThenEndsWithStatusZero) {
    HeadlessPlatform headless(HeadlessOptions{DisplayShape{}, true});
    ASSERT_EQ(RunDemo(headless, {Input(EventKind::KeyDown, ' ')}), 0);
    const HeadlessScreen& shown = *headless.OpenedScreen();
    EXPECT_TRUE(shown.windowShown);
    EXPECT_EQ(shown.windowTitle, kWindowTitle);
    EXPECT_GT(shown.presents.load(), 0) << "frames were drawn";
    EXPECT_FALSE(headless.SoundPlaying()) << "the sound stops at the end";
    EXPECT_FALSE(renderThread.joinable());
    EXPECT_EQ(scene.path, nullptr);
    EXPECT_TRUE(headless.ErrorBoxes().empty());
}

TEST(AppMainTest, EveryEventTakenIsFollowedByAPause) {
    // Three events that do not stop the demo, then a tap: four pauses of
    // 40 ms before the tap is handled.
    HeadlessPlatform headless;
    Clock::time_point posted;
    const int code =
        RunDemo(headless,
                {Input(EventKind::KeyUp, 'a'), Input(EventKind::ButtonDown, kRightButton),
                 Input(EventKind::PointerMotion), Input(EventKind::ButtonDown, kLeftButton)},
                &posted);
    EXPECT_EQ(code, 0);
    EXPECT_GE(Clock::now() - posted, 160ms);
}

TEST(AppMainTest, StartUpFailuresShowTheirMessageAndEndWithStatusOne) {
    const struct {
        const char* name;
        HeadlessOptions options;
        std::vector<std::string> boxes;
    } cases[] = {
        {"no display", HeadlessOptions{std::nullopt}, {"GXOpenDisplay failed"}},
        {"display too short", HeadlessOptions{DisplayShape{240, 24}}, {"GXOpenDisplay failed"}},
        {"no window", HeadlessOptions{DisplayShape{}, false, true}, {}},
    };
    for (const auto& c : cases) {
        HeadlessPlatform headless(c.options);
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(AppMain(headless), kStartupFailedExitCode) << c.name;
        ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(headless.ErrorBoxes(), c.boxes) << c.name;
        EXPECT_FALSE(headless.SoundPlaying()) << c.name;
        EXPECT_FALSE(renderThread.joinable()) << c.name;
    }
}

}  // namespace
