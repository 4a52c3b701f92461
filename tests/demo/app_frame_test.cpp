// app_frame_test.cpp -- the frame loop, the render thread, the main window and the stop sequence,
// on the headless platform
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <thread>
#include <vector>

#include "app/demo_state.h"
#include "app/display.h"
#include "app/main_window.h"
#include "app/render_thread.h"
#include "path/key_path.h"
#include "platform/clock.h"
#include "platform/headless/headless_platform.h"
#include "render/tables.h"
#include "resources/icon.h"
#include "scene/scene_loader.h"
#include "shared/scene_types.h"
#include "tests/support/test_files.h"

namespace {

using namespace std::chrono_literals;

constexpr uint16_t kUntouched = 0x1234;  // no renderer output is this colour here

// Marks every view pixel kUntouched, and tells whether they all still are.
void MarkView() {
    for (int row = 0; row <= viewGeometry.bottomRow; ++row)
        for (int col = 0; col < viewGeometry.width; ++col)
            viewGeometry.origin[col * (viewGeometry.properties.cbxPitch / 2) +
                                row * (viewGeometry.properties.cbyPitch / 2)] = kUntouched;
}
bool ViewUntouched() {
    for (int row = 0; row <= viewGeometry.bottomRow; ++row)
        for (int col = 0; col < viewGeometry.width; ++col)
            if (viewGeometry.origin[col * (viewGeometry.properties.cbxPitch / 2) +
                                    row * (viewGeometry.properties.cbyPitch / 2)] != kUntouched)
                return false;
    return true;
}

std::string FixtureDir() {
    return std::string(FLYOVER_SOURCE_DIR) + "/tests/fixtures/small_scene/";
}

// The scene in `dir` as LoadScene reads it from the program's directory.
bool ReadFixture(const std::string& dir = FixtureDir()) {
    SceneLoad load = ReadScene(dir + "Keys2.txt", dir, colourTables);
    scene = std::move(load.scene);
    return static_cast<bool>(load);
}

// The platform of the case that runs: made afresh by StartUp.
std::unique_ptr<HeadlessPlatform> testPlatform;

// Start-up as AppMain does it, on a headless 240 x 320 display that is a
// memory copy or the screen itself, with the fixture scene.
// The platform's clock starts at `clockStart` microseconds.
HeadlessScreen& StartUp(bool memoryCopy, const std::string& sceneDir = FixtureDir(),
                        int64_t clockStart = 0) {
    testPlatform = std::make_unique<HeadlessPlatform>(
        HeadlessOptions{.screen = DisplayShape{}, .memoryCopy = memoryCopy, .clockStartMicroseconds = clockStart});
    platform = testPlatform.get();
    EXPECT_TRUE(OpenView());
    colourTables = BuildColourTables();
    sineTable = BuildSineTable();
    EXPECT_TRUE(ReadFixture(sceneDir));
    return *testPlatform->OpenedScreen();
}

bool SameCamera(const CameraState& a, const CameraState& b) {
    return a.x == b.x && a.y == b.y && a.height == b.height && a.heading == b.heading &&
           a.horizon == b.horizon;
}

TEST(ElapsedMsTest, SurvivesTheTickCountersWrap) {
    StartUp(false, FixtureDir(), int64_t{0xFFFFFFC0} * 1000);
    startTick = platform->TickCount();
    Pause(100);  // the counter passes zero meanwhile
    EXPECT_LT(platform->TickCount(), startTick);
    const uint32_t elapsed = ElapsedMs();
    EXPECT_GE(elapsed, 100u);
    EXPECT_LT(elapsed, 5000u);
}

TEST(RenderFrameTest, DrawsTheCameraOfItsTime) {
    StartUp(true);
    MarkView();
    ASSERT_TRUE(RenderFrame(1500.0f));
    const CameraState drawn = cameraState;
    EXPECT_FALSE(ViewUntouched());
    ASSERT_TRUE(UpdateCamera(1500.0f));
    EXPECT_TRUE(SameCamera(drawn, cameraState));
}

TEST(RenderFrameTest, AtThePathsEndDrawsNothing) {
    StartUp(true);
    ASSERT_TRUE(RenderFrame(3000.0f));
    const CameraState before = cameraState;
    MarkView();
    // The fixture's keys are 1000 ms apart, six of them: the path ends at the
    // next-to-last key, 4000 ms.
    for (float t : {4000.0f, 4500.0f, 1e9f}) {
        EXPECT_FALSE(RenderFrame(t)) << t;
        EXPECT_TRUE(ViewUntouched()) << t;
        EXPECT_TRUE(SameCamera(before, cameraState)) << t;
    }
}

TEST(RunFramesTest, MemoryCopyDrawsEveryFrameBetweenBeginAndEnd) {
    HeadlessScreen& display = StartUp(true);
    std::vector<bool> drawn;
    display.onBeginFrame = [&] {
        EXPECT_EQ(display.frameBegins.load(), display.presents.load() + 1);
        MarkView();
    };
    display.onPresent = [&] {
        drawn.push_back(!ViewUntouched());
        if (display.presents == 5) renderRunning = 0;
    };
    renderRunning = 1;
    startTick = platform->TickCount();
    RunFrames();
    EXPECT_EQ(display.frameBegins.load(), 5);
    EXPECT_EQ(display.presents.load(), 5);
    EXPECT_EQ(drawn, std::vector<bool>(5, true));
}

TEST(RunFramesTest, FlightStartsAgainAfterThePathsEnd) {
    HeadlessScreen& display = StartUp(true);
    std::vector<CameraState> cameras;
    std::vector<bool> drawn;
    display.onBeginFrame = [&] { MarkView(); };
    display.onPresent = [&] {
        cameras.push_back(cameraState);
        drawn.push_back(!ViewUntouched());
        // Each frame appears to take a second.
        testPlatform->StepClock(1'000'000);
        if (display.presents == 7) renderRunning = 0;
    };
    renderRunning = 1;
    startTick = platform->TickCount();
    RunFrames();
    ASSERT_EQ(cameras.size(), 7u);
    // Frames at about 0, 1000, 2000, 3000 ms draw; at 4000 the path has
    // ended: nothing is drawn and the clock restarts, so the next frames come
    // at about 1000 and 2000 ms again.
    EXPECT_EQ(drawn, (std::vector<bool>{true, true, true, true, false, true, true}));
    EXPECT_TRUE(SameCamera(cameras[4], cameras[3]));
    constexpr int32_t kFewMs = 50000;  // the camera moves about 1000 units per ms
    EXPECT_NEAR(cameras[5].x, cameras[1].x, kFewMs);
    EXPECT_NEAR(cameras[5].y, cameras[1].y, kFewMs);
    EXPECT_NEAR(cameras[6].x, cameras[2].x, kFewMs);
    EXPECT_NEAR(cameras[6].y, cameras[2].y, kFewMs);
}

TEST(RunFramesTest, TheFlightCrossesTheTickCountersWrapWithoutAJumpOrAStall) {
    // The tick count starts 300 ms short of its 32-bit wrap: the flight's
    // time goes on rising through the wrap, and the camera moves on smoothly.
    HeadlessScreen& display = StartUp(true, FixtureDir(), int64_t{0xFFFFFFFFu - 300} * 1000);
    std::vector<uint32_t> times;
    std::vector<CameraState> cameras;
    display.onPresent = [&] {
        times.push_back(ElapsedMs());
        cameras.push_back(cameraState);
        if (times.back() >= 700) renderRunning = 0;
        std::this_thread::sleep_for(2ms);
    };
    renderRunning = 1;
    startTick = platform->TickCount();
    RunFrames();
    ASSERT_GE(times.size(), 20u);
    EXPECT_LT(platform->TickCount(), startTick) << "the counter wrapped meanwhile";
    for (size_t i = 1; i < times.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_GE(times[i], times[i - 1]);
        EXPECT_LT(times[i] - times[i - 1], 200u) << "no stall";
        // About 1000 camera units per ms in the fixture's flight.
        EXPECT_LT(std::abs(int64_t{cameras[i].x} - cameras[i - 1].x), 250000) << "no jump";
        EXPECT_LT(std::abs(int64_t{cameras[i].y} - cameras[i - 1].y), 250000) << "no jump";
    }
}

TEST(RunFramesTest, DirectDisplayGetsNoDrawingPasses) {
    HeadlessScreen& display = StartUp(false);
    MarkView();
    renderRunning = 1;
    startTick = platform->TickCount();
    std::thread stopper([] {
        std::this_thread::sleep_for(50ms);
        renderRunning = 0;
    });
    RunFrames();
    stopper.join();
    EXPECT_EQ(display.frameBegins.load(), 0);
    EXPECT_EQ(display.presents.load(), 0);
    EXPECT_FALSE(ViewUntouched());
}

TEST(RunFramesTest, PathOfTwoKeysNeverDraws) {
    TempDir dir;
    for (const char* name : {"colour.bmp", "height.bmp", "sky.BMP"})
        std::filesystem::copy_file(FixtureDir() + name, dir.File(name));
    dir.Write("Keys2.txt",
              "colour.bmp\nheight.bmp\n2\n1000\n8388608 8388608 40000000 0 80\n"
              "9388608 8888608 36000000 300 90\n");
    HeadlessScreen& display = StartUp(true, dir.Dir());
    MarkView();
    display.onPresent = [&] {
        if (display.presents == 20) renderRunning = 0;
    };
    renderRunning = 1;
    startTick = platform->TickCount();
    RunFrames();
    EXPECT_EQ(display.presents.load(), 20);
    EXPECT_TRUE(ViewUntouched());
}

TEST(UpdateCameraTest, NoPathGivesNoCamera) {
    StartUp(false);
    scene.path.reset();
    const CameraState before = cameraState;
    EXPECT_FALSE(UpdateCamera(0.0f));
    EXPECT_TRUE(SameCamera(before, cameraState));
}

// ---- window and stop sequence ----

class StopTest : public ::testing::Test {
protected:
    // Each case starts from what the program has at start-up, whatever the
    // case before it left behind: no render thread, no queued input or
    // pending quit, the path not yet released.
    void SetUp() override {
        pathFreed = 0;
        StartUp(false);
        ASSERT_TRUE(CreateMainWindow());
    }
    void TearDown() override {
        // A render thread ending by itself posts a close request; it must
        // land before the queue is dropped, not in the next case.
        EndRenderThread();
        testPlatform.reset();
        pathFreed = 0;
    }
    static EventQueue& Events() { return platform->Events(); }
    static void StartRender() {
        ASSERT_TRUE(StartRenderThread());
        while (renderRunning.load() == 0)
            std::this_thread::sleep_for(1ms);
    }
    // Whether the render thread has run to its end (it may not be joined yet).
    static bool ThreadEnded() { return !renderThread.joinable(); }
    // Whether a quit request is pending: a marker posted now would come
    // after anything already queued, but the quit comes before everything.
    static bool QuitIsNext() {
        InputEvent marker;
        marker.kind = EventKind::KeyUp;
        marker.code = 0x7FFE;
        Events().Post(marker);
        InputEvent event;
        int code = -1;
        if (!Events().Take(event, code)) return true;
        while (!(event.kind == EventKind::KeyUp && event.code == 0x7FFE) &&
               Events().Take(event, code)) {
        }
        return false;
    }
    static InputEvent Input(EventKind kind, int32_t code = 0) {
        InputEvent event;
        event.kind = kind;
        event.code = code;
        return event;
    }
};

TEST_F(StopTest, CreateMainWindowShowsTheScreenWithTheDemosTitle) {
    const HeadlessScreen& shown = *testPlatform->OpenedScreen();
    EXPECT_TRUE(shown.windowShown);
    EXPECT_EQ(shown.windowTitle, "GAPI Demo, github.com/flyover-demo/flyover");
    // The window carries the program's icon, square and as drawn.
    EXPECT_EQ(shown.windowIcon.width, shown.windowIcon.height);
    EXPECT_EQ(shown.windowIcon.pixels, DrawIcon(shown.windowIcon.width));
    EXPECT_FALSE(shown.windowIcon.Empty());
    testPlatform->OpenedScreen()->windowFails = true;
    testPlatform->OpenedScreen()->windowShown = false;
    EXPECT_FALSE(CreateMainWindow());
}

TEST_F(StopTest, StopInputRunsTheStopSequence) {
    const InputEvent stops[] = {Input(EventKind::CloseRequest), Input(EventKind::KeyDown, 'a'),
                                Input(EventKind::KeyDown, keys::kEscape),
                                Input(EventKind::ButtonDown, kLeftButton)};
    for (const InputEvent& input : stops) {
        SCOPED_TRACE(static_cast<int>(input.kind));
        if (!scene.path) {
            ASSERT_TRUE(ReadFixture());
        }
        pathFreed = 0;
        StartRender();
        MainWindowProc(input);
        EXPECT_TRUE(ThreadEnded());
        EXPECT_EQ(renderRunning.load(), 0);
        EXPECT_EQ(scene.path, nullptr);
        EXPECT_EQ(pathFreed, 1);
        EXPECT_TRUE(QuitIsNext());
    }
}

TEST_F(StopTest, OtherInputLeavesTheDemoRunning) {
    StartRender();
    const InputEvent others[] = {
        Input(EventKind::KeyUp, 'a'),
        Input(EventKind::ButtonDown, kRightButton),
        Input(EventKind::ButtonDown, kMiddleButton),
        Input(EventKind::ButtonUp, kLeftButton),
        Input(EventKind::PointerMotion),
        Input(EventKind::ControllerButtonDown, 0),
        Input(EventKind::ControllerAxis, 1),
    };
    for (const InputEvent& input : others) {
        MainWindowProc(input);
        EXPECT_FALSE(ThreadEnded()) << static_cast<int>(input.kind);
        EXPECT_NE(scene.path, nullptr);
        EXPECT_FALSE(QuitIsNext()) << static_cast<int>(input.kind);
    }
}

TEST_F(StopTest, TheStopSequenceRunsAgainWithoutHarm) {
    StartRender();
    Events().Post(Input(EventKind::CloseRequest));
    InputEvent event;
    int code = -1;
    ASSERT_TRUE(Events().Take(event, code));
    ASSERT_EQ(event.kind, EventKind::CloseRequest);
    MainWindowProc(event);
    EXPECT_TRUE(ThreadEnded());
    EXPECT_EQ(scene.path, nullptr);
    EXPECT_EQ(pathFreed, 1);
    // A second run, as a key pressed while the first was under way makes.
    MainWindowProc(Input(EventKind::KeyDown, ' '));
    EXPECT_FALSE(Events().Take(event, code));
    EXPECT_EQ(code, 0);
    // A third, as a stray request would make, is harmless too.
    StopDemo();
    EXPECT_FALSE(Events().Take(event, code));
}

TEST_F(StopTest, TheRenderThreadsOwnCloseRequestStopsTheDemo) {
    StartRender();
    renderRunning = 0;  // the loop ends by itself
    InputEvent event;
    int code = -1;
    ASSERT_TRUE(Events().Take(event, code));
    EXPECT_EQ(event.kind, EventKind::CloseRequest);
    MainWindowProc(event);
    EXPECT_FALSE(Events().Take(event, code));
    EXPECT_TRUE(ThreadEnded());
    EXPECT_EQ(scene.path, nullptr);
}

TEST_F(StopTest, StopEndsARenderThreadThatHadNotStartedItsLoop) {
    // The thread sets renderRunning only after StopDemo has first cleared it.
    ASSERT_TRUE(StartRenderThread([] {
        std::this_thread::sleep_for(60ms);
        return RenderThread();
    }));
    auto stopped = std::async(std::launch::async, [] { StopDemo(); });
    ASSERT_EQ(stopped.wait_for(10s), std::future_status::ready) << "StopDemo hangs";
    EXPECT_TRUE(ThreadEnded());
    EXPECT_EQ(renderRunning.load(), 0);
    EXPECT_EQ(scene.path, nullptr);
}

TEST(FreePathTest, ReleasesThePathOnce) {
    pathFreed = 0;
    StartUp(false);
    ASSERT_NE(scene.path, nullptr);
    FreePath();
    EXPECT_EQ(scene.path, nullptr);
    EXPECT_EQ(pathFreed, 1);
    // A path put back is not released again: FreePath works once.
    scene.path = std::make_unique<KeyPath>(5, 0.5f, 3);
    FreePath();
    EXPECT_NE(scene.path, nullptr);
    pathFreed = 0;
}

}  // namespace
