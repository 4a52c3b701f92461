// app_frame_test.cpp -- the frame loop, the render thread, the main window and the stop sequence,
// on a test display
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
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
#include "platform/frame_buffer.h"
#include "platform/gx.h"
#include "platform/messages.h"
#include "platform/threads.h"
#include "platform/window.h"
#include "platform/window_internal.h"
#include "render/tables.h"
#include "scene/scene_loader.h"
#include "shared/scene_types.h"
#include "tests/support/test_files.h"

namespace {

using namespace std::chrono_literals;

constexpr uint16_t kUntouched = 0x1234;  // no renderer output is this colour here

// A display whose calls the test can count and hook. Begin and end of a
// drawing pass run the hooks on the calling (render) thread.
class TestDisplay : public GXDevice {
public:
    TestDisplay(int dram) : frame_(DisplayShape{240, 320, DisplayLayout::Normal}), dram_(dram) {}
    bool Open() override { return true; }
    GXDisplayProperties Properties() const override {
        GXDisplayProperties p;
        p.cxWidth = 240;
        p.cyHeight = 320;
        p.cbxPitch = frame_.XPitchBytes();
        p.cbyPitch = frame_.YPitchBytes();
        p.cBPP = 16;
        return p;
    }
    void* BeginDraw() override {
        ++begins;
        if (onBegin) onBegin();
        return frame_.TopLeft();
    }
    int EndDraw() override {
        ++ends;
        if (onEnd) onEnd();
        return 1;
    }
    int IsDRAMBuffer() const override { return dram_; }

    // Paints the view with kUntouched; ViewUntouched tells whether it still is.
    void MarkView() {
        for (int row = 0; row <= viewGeometry.bottomRow; ++row)
            for (int col = 0; col < viewGeometry.width; ++col)
                Pixel(col, row) = kUntouched;
    }
    bool ViewUntouched() {
        for (int row = 0; row <= viewGeometry.bottomRow; ++row)
            for (int col = 0; col < viewGeometry.width; ++col)
                if (Pixel(col, row) != kUntouched) return false;
        return true;
    }

    std::atomic<int> begins{0};
    std::atomic<int> ends{0};
    std::function<void()> onBegin;
    std::function<void()> onEnd;

private:
    uint16_t& Pixel(int col, int row) {
        return viewGeometry.origin[col * (viewGeometry.properties.cbxPitch / 2) +
                                   row * (viewGeometry.properties.cbyPitch / 2)];
    }
    FrameBuffer frame_;
    int dram_;
};

std::string FixtureDir() {
    return std::string(FLYOVER_SOURCE_DIR) + "/tests/fixtures/small_scene/";
}

// The scene in `dir` as LoadScene reads it from the program's directory.
bool ReadFixture(const std::string& dir = FixtureDir()) {
    SceneLoad load = ReadScene(dir + "Keys2.txt", dir, colourTables);
    scene = std::move(load.scene);
    return static_cast<bool>(load);
}

// Start-up as AppMain does it, on a test display, with the fixture scene.
TestDisplay& StartUp(int dram, const std::string& sceneDir = FixtureDir()) {
    auto device = std::make_unique<TestDisplay>(dram);
    TestDisplay& display = *device;
    GXInstallDevice(std::move(device));
    EXPECT_TRUE(OpenView());
    colourTables = BuildColourTables();
    sineTable = BuildSineTable();
    EXPECT_TRUE(ReadFixture(sceneDir));
    display.begins = 0;
    return display;
}

bool SameCamera(const CameraState& a, const CameraState& b) {
    return a.x == b.x && a.y == b.y && a.height == b.height && a.heading == b.heading &&
           a.horizon == b.horizon;
}

TEST(ElapsedMsTest, SurvivesTheTickCountersWrap) {
    SetTickCountForTesting(0xFFFFFFC0u);
    startTick = GetTickCount();
    Sleep(100);  // the counter passes zero meanwhile
    EXPECT_LT(GetTickCount(), startTick);
    const uint32_t elapsed = ElapsedMs();
    EXPECT_GE(elapsed, 100u);
    EXPECT_LT(elapsed, 5000u);
}

TEST(RenderFrameTest, DrawsTheCameraOfItsTime) {
    TestDisplay& display = StartUp(1);
    display.MarkView();
    ASSERT_TRUE(RenderFrame(1500.0f));
    const CameraState drawn = cameraState;
    EXPECT_FALSE(display.ViewUntouched());
    ASSERT_TRUE(UpdateCamera(1500.0f));
    EXPECT_TRUE(SameCamera(drawn, cameraState));
}

TEST(RenderFrameTest, AtThePathsEndDrawsNothing) {
    TestDisplay& display = StartUp(1);
    ASSERT_TRUE(RenderFrame(3000.0f));
    const CameraState before = cameraState;
    display.MarkView();
    // The fixture's keys are 1000 ms apart, six of them: the path ends at the
    // next-to-last key, 4000 ms.
    for (float t : {4000.0f, 4500.0f, 1e9f}) {
        EXPECT_FALSE(RenderFrame(t)) << t;
        EXPECT_TRUE(display.ViewUntouched()) << t;
        EXPECT_TRUE(SameCamera(before, cameraState)) << t;
    }
}

TEST(RunFramesTest, MemoryCopyDrawsEveryFrameBetweenBeginAndEnd) {
    TestDisplay& display = StartUp(1);
    std::vector<bool> drawn;
    display.onBegin = [&] {
        EXPECT_EQ(display.begins.load(), display.ends.load() + 1);
        display.MarkView();
    };
    display.onEnd = [&] {
        drawn.push_back(!display.ViewUntouched());
        if (display.ends == 5) renderRunning = 0;
    };
    renderRunning = 1;
    startTick = GetTickCount();
    RunFrames();
    EXPECT_EQ(display.begins.load(), 5);
    EXPECT_EQ(display.ends.load(), 5);
    EXPECT_EQ(drawn, std::vector<bool>(5, true));
}

TEST(RunFramesTest, FlightStartsAgainAfterThePathsEnd) {
    TestDisplay& display = StartUp(1);
    std::vector<CameraState> cameras;
    std::vector<bool> drawn;
    display.onBegin = [&] { display.MarkView(); };
    display.onEnd = [&] {
        cameras.push_back(cameraState);
        drawn.push_back(!display.ViewUntouched());
        // Each frame appears to take a second.
        SetTickCountForTesting(GetTickCount() + 1000);
        if (display.ends == 7) renderRunning = 0;
    };
    renderRunning = 1;
    startTick = GetTickCount();
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

TEST(RunFramesTest, DirectDisplayGetsNoDrawingPasses) {
    TestDisplay& display = StartUp(0);
    display.MarkView();
    renderRunning = 1;
    startTick = GetTickCount();
    std::thread stopper([] {
        std::this_thread::sleep_for(50ms);
        renderRunning = 0;
    });
    RunFrames();
    stopper.join();
    EXPECT_EQ(display.begins.load(), 0);
    EXPECT_EQ(display.ends.load(), 0);
    EXPECT_FALSE(display.ViewUntouched());
}

TEST(RunFramesTest, PathOfTwoKeysNeverDraws) {
    TempDir dir;
    for (const char* name : {"colour.bmp", "height.bmp", "sky.BMP"})
        std::filesystem::copy_file(FixtureDir() + name, dir.File(name));
    dir.Write("Keys2.txt",
              "colour.bmp\nheight.bmp\n2\n1000\n8388608 8388608 40000000 0 80\n"
              "9388608 8888608 36000000 300 90\n");
    TestDisplay& display = StartUp(1, dir.Dir());
    display.MarkView();
    display.onEnd = [&] {
        if (display.ends == 20) renderRunning = 0;
    };
    renderRunning = 1;
    startTick = GetTickCount();
    RunFrames();
    EXPECT_EQ(display.ends.load(), 20);
    EXPECT_TRUE(display.ViewUntouched());
}

// ---- window and stop sequence ----

class StopTest : public ::testing::Test {
protected:
    // Each case starts from what the program has at start-up, whatever the
    // case before it left behind: no render thread, no queued message or
    // pending quit, the path not yet released.
    void SetUp() override {
        DiscardQueuedMessages();
        pathFreed = 0;
        StartUp(0);
        ASSERT_TRUE(CreateMainWindow(SW_SHOW, GetModuleHandle(nullptr)));
        DrainPaint();
    }
    void TearDown() override {
        renderRunning = 0;
        // A render thread ending by itself posts a close request; it must
        // land before the queue is emptied, not in the next case.
        if (renderThread) WaitForSingleObject(renderThread.get(), INFINITE);
        renderThread.reset();
        DestroyAllWindowsAtExit();
        DiscardQueuedMessages();
        pathFreed = 0;
    }
    static void DrainPaint() {
        // Nothing is queued after start-up but possibly a paint request.
        PostMessage(nullptr, 0x7FFF, 0, 0);
        MSG msg;
        while (GetMessage(&msg, nullptr, 0, 0) && msg.message != 0x7FFF)
            DispatchMessage(&msg);
    }
    static void StartRenderThread() {
        renderThread = CreateThread(nullptr, 4096, RenderThread, nullptr, 0, nullptr);
        ASSERT_TRUE(renderThread);
        while (renderRunning.load() == 0)
            std::this_thread::sleep_for(1ms);
    }
    static bool ThreadEnded() {
        DWORD code = 0;
        return GetExitCodeThread(renderThread.get(), &code) && code != STILL_ACTIVE;
    }
    // Whether the quit message is the next one: a marker posted now comes
    // after anything already queued, but the quit comes before everything.
    static bool QuitIsNext() {
        PostMessage(nullptr, 0x7FFE, 0, 0);
        MSG msg;
        const bool quit = !GetMessage(&msg, nullptr, 0, 0);
        if (quit) return true;
        while (msg.message != 0x7FFE && GetMessage(&msg, nullptr, 0, 0)) {
        }
        return false;
    }
};

TEST_F(StopTest, CreateMainWindowMakesTheDemoWindow) {
    EXPECT_TRUE(IsWindow(mainWindow));
    EXPECT_EQ(GetWindowTitle(mainWindow), "GAPI Demo, github.com/flyover-demo/flyover");
    EXPECT_NE(windowDc, nullptr);
    EXPECT_EQ(windowDc, GetDC(mainWindow));
    WNDCLASS again;
    again.lpfnWndProc = MainWindowProc;
    again.lpszClassName = "demo";
    EXPECT_EQ(RegisterClass(&again), 0);  // "demo" is taken
}

TEST_F(StopTest, StopMessagesRunTheStopSequence) {
    for (UINT message : {WM_DESTROY, WM_CLOSE, WM_KEYDOWN, WM_LBUTTONDOWN}) {
        SCOPED_TRACE(message);
        if (!IsWindow(mainWindow)) {
            ASSERT_TRUE(CreateMainWindow(SW_SHOW, nullptr));
        }
        if (!scene.path) {
            ASSERT_TRUE(ReadFixture());
        }
        pathFreed = 0;
        windowDc = GetDC(mainWindow);
        StartRenderThread();
        MSG msg{mainWindow, message, 0, 0, 0};
        DispatchMessage(&msg);
        EXPECT_TRUE(ThreadEnded());
        EXPECT_EQ(renderRunning.load(), 0);
        EXPECT_EQ(scene.path, nullptr);
        EXPECT_EQ(pathFreed, 1);
        EXPECT_EQ(windowDc, nullptr);
        EXPECT_TRUE(QuitIsNext());
        EXPECT_EQ(IsWindow(mainWindow), message == WM_CLOSE ? FALSE : TRUE)
            << "only the close request's default handling destroys the window";
        UnregisterClass("demo", nullptr);
        DestroyAllWindowsAtExit();
    }
}

TEST_F(StopTest, OtherMessagesLeaveTheDemoRunning) {
    StartRenderThread();
    for (UINT message : {WM_PAINT, 257u, 512u, 514u, 516u, 0x400u}) {
        MSG msg{mainWindow, message, 0, 0, 0};
        DispatchMessage(&msg);
        EXPECT_FALSE(ThreadEnded()) << message;
        EXPECT_NE(scene.path, nullptr);
        EXPECT_FALSE(QuitIsNext()) << message;
    }
}

TEST_F(StopTest, CloseRunsTheStopSequenceTwiceWithoutHarm) {
    StartRenderThread();
    PostMessage(mainWindow, WM_CLOSE, 0, 0);
    MSG msg;
    ASSERT_TRUE(GetMessage(&msg, nullptr, 0, 0));
    ASSERT_EQ(msg.message, WM_CLOSE);
    DispatchMessage(&msg);  // StopDemo; then DefWindowProc destroys: StopDemo again
    EXPECT_FALSE(IsWindow(mainWindow));
    EXPECT_TRUE(ThreadEnded());
    EXPECT_EQ(scene.path, nullptr);
    EXPECT_EQ(pathFreed, 1);
    EXPECT_FALSE(GetMessage(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.wParam, 0u);
    // A third run, as a stray message would make, is harmless too.
    StopDemo();
    EXPECT_FALSE(GetMessage(&msg, nullptr, 0, 0));
}

TEST_F(StopTest, TheRenderThreadsOwnCloseRequestStopsTheDemo) {
    StartRenderThread();
    renderRunning = 0;  // the loop ends by itself
    MSG msg;
    ASSERT_TRUE(GetMessage(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.hwnd, mainWindow);
    EXPECT_EQ(msg.message, WM_CLOSE);
    EXPECT_EQ(msg.wParam, 0u);
    EXPECT_EQ(msg.lParam, 0);
    DispatchMessage(&msg);
    EXPECT_FALSE(GetMessage(&msg, nullptr, 0, 0));
    EXPECT_TRUE(ThreadEnded());
    EXPECT_EQ(scene.path, nullptr);
}

TEST_F(StopTest, StopEndsARenderThreadThatHadNotStartedItsLoop) {
    // The thread sets renderRunning only after StopDemo has first cleared it.
    renderThread = CreateThread(
        nullptr, 4096,
        [](void*) -> DWORD {
            std::this_thread::sleep_for(60ms);
            return RenderThread(nullptr);
        },
        nullptr, 0, nullptr);
    ASSERT_TRUE(renderThread);
    auto stopped = std::async(std::launch::async, [] { StopDemo(); });
    ASSERT_EQ(stopped.wait_for(10s), std::future_status::ready) << "StopDemo hangs";
    EXPECT_TRUE(ThreadEnded());
    EXPECT_EQ(renderRunning.load(), 0);
    EXPECT_EQ(scene.path, nullptr);
}

TEST(FreePathTest, ReleasesThePathOnce) {
    pathFreed = 0;
    StartUp(0);
    ASSERT_NE(scene.path, nullptr);
    FreePath();
    EXPECT_EQ(scene.path, nullptr);
    EXPECT_EQ(pathFreed, 1);
    // A path put back is not released again: FreePath works once.
    scene.path = std::make_unique<KeyPath>(5, 0.5f, 3);
    FreePath();
    EXPECT_NE(scene.path, nullptr);
}

}  // namespace
