// platform_window_test.cpp -- window classes, windows, the message queue, threads and the tick
// count, without a desktop
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/messages.h"
#include "platform/threads.h"
#include "platform/window.h"
#include "platform/window_internal.h"

namespace {

struct Seen {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<Seen> seen;  // main thread only

LRESULT RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    seen.push_back({window, message, wParam, lParam});
    return DefWindowProc(window, message, wParam, lParam) + 7;
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        seen.clear();
        WNDCLASS windowClass;
        windowClass.lpfnWndProc = RecordingProc;
        windowClass.hInstance = GetModuleHandle(nullptr);
        windowClass.hbrBackground = GetStockObject(BLACK_BRUSH);
        windowClass.lpszClassName = "recording";
        ASSERT_NE(RegisterClass(&windowClass), 0);
    }
    void TearDown() override {
        DestroyAllWindowsAtExit();
        DiscardQueuedMessages();
    }
    HWND Make() {
        return CreateWindow("recording", "title", WS_CAPTION | WS_SYSMENU, CW_USEDEFAULT,
                            CW_USEDEFAULT, 240, 320, nullptr, nullptr, GetModuleHandle(nullptr),
                            nullptr);
    }
    std::vector<UINT> SeenMessages() const {
        std::vector<UINT> result;
        for (const auto& s : seen)
            result.push_back(s.message);
        return result;
    }
};

TEST_F(WindowTest, RegisteringTheSameNameTwiceFails) {
    WNDCLASS again;
    again.lpfnWndProc = RecordingProc;
    again.lpszClassName = "recording";
    EXPECT_EQ(RegisterClass(&again), 0);
}

TEST_F(WindowTest, ClassesWithoutProcedureOrNameAreRefused) {
    WNDCLASS noProc;
    noProc.lpszClassName = "other";
    EXPECT_EQ(RegisterClass(&noProc), 0);
    WNDCLASS noName;
    noName.lpfnWndProc = RecordingProc;
    EXPECT_EQ(RegisterClass(&noName), 0);
    noName.lpszClassName = "";
    EXPECT_EQ(RegisterClass(&noName), 0);
}

TEST_F(WindowTest, UnknownClassGivesNoWindow) {
    EXPECT_EQ(CreateWindow("missing", "t", WS_CAPTION, CW_USEDEFAULT, CW_USEDEFAULT, 10, 10,
                           nullptr, nullptr, nullptr, nullptr),
              nullptr);
    EXPECT_EQ(CreateWindow(nullptr, "t", WS_CAPTION, CW_USEDEFAULT, CW_USEDEFAULT, 10, 10, nullptr,
                           nullptr, nullptr, nullptr),
              nullptr);
}

TEST_F(WindowTest, NewWindowKeepsItsTitleAndIsHiddenUntilShown) {
    HWND window = Make();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(GetWindowTitle(window), "title");
    EXPECT_EQ(ShowWindow(window, SW_SHOW), FALSE);  // was hidden
    EXPECT_EQ(ShowWindow(window, SW_SHOWNORMAL), TRUE);
    EXPECT_EQ(ShowWindow(window, SW_HIDE), TRUE);
    EXPECT_TRUE(seen.empty());
}

TEST_F(WindowTest, UpdateWindowPaintsOnceAfterShowing) {
    HWND window = Make();
    EXPECT_EQ(UpdateWindow(window), TRUE);  // hidden: nothing to paint
    EXPECT_TRUE(seen.empty());
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    UpdateWindow(window);  // DefWindowProc validated it the first time
    EXPECT_EQ(SeenMessages(), std::vector<UINT>{WM_PAINT});
}

TEST_F(WindowTest, ExposedWindowGetsPaintAfterQueuedMessages) {
    HWND window = Make();
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    InvalidateWindow(window);
    PostMessage(window, 0x400, 1, 2);
    MSG msg;
    ASSERT_TRUE(GetMessage(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, 0x400u);
    ASSERT_TRUE(GetMessage(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, WM_PAINT);
    EXPECT_EQ(msg.hwnd, window);
    DispatchMessage(&msg);  // validates
    EXPECT_EQ(WindowNeedingPaint(), nullptr);
}

TEST_F(WindowTest, CloseThroughDefaultProcedureDestroysWithDestroyMessage) {
    HWND window = Make();
    ShowWindow(window, SW_SHOW);
    seen.clear();
    MSG msg{window, WM_CLOSE, 0, 0, 0};
    EXPECT_EQ(DispatchMessage(&msg), 7);
    EXPECT_EQ(SeenMessages(), (std::vector<UINT>{WM_CLOSE, WM_DESTROY}));
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(DestroyWindow(window), FALSE);
}

TEST_F(WindowTest, DefaultProcedureIgnoresOtherMessages) {
    HWND window = Make();
    for (UINT message : {WM_KEYDOWN, WM_LBUTTONDOWN, WM_DESTROY, 0x400u})
        EXPECT_EQ(DefWindowProc(window, message, 0, 0), 0);
    EXPECT_TRUE(IsWindow(window));
}

TEST_F(WindowTest, DispatchPassesArgumentsAndReturnsTheResult) {
    HWND window = Make();
    MSG msg{window, WM_KEYDOWN, 32, 1, 0};
    EXPECT_EQ(DispatchMessage(&msg), 7);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].window, window);
    EXPECT_EQ(seen[0].message, WM_KEYDOWN);
    EXPECT_EQ(seen[0].wParam, 32u);
    EXPECT_EQ(seen[0].lParam, 1);
}

TEST_F(WindowTest, DispatchToDestroyedOrMissingWindowCallsNothing) {
    HWND window = Make();
    DestroyWindow(window);
    seen.clear();
    MSG toDestroyed{window, WM_KEYDOWN, 0, 0, 0};
    EXPECT_EQ(DispatchMessage(&toDestroyed), 0);
    MSG toNobody{nullptr, WM_KEYDOWN, 0, 0, 0};
    EXPECT_EQ(DispatchMessage(&toNobody), 0);
    EXPECT_TRUE(seen.empty());
}

TEST_F(WindowTest, DeviceContextReleaseTakesOnlyTheWindowsOwn) {
    HWND window = Make();
    HWND other = Make();
    HDC dc = GetDC(window);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(GetDC(window), dc);
    struct Case {
        HWND window;
        HDC dc;
        int expected;
    };
    const Case cases[] = {{window, dc, 1}, {window, nullptr, 0}, {other, dc, 0}, {nullptr, dc, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(ReleaseDC(c.window, c.dc), c.expected);
    DestroyWindow(window);
    EXPECT_EQ(GetDC(window), nullptr);
    EXPECT_EQ(ReleaseDC(window, dc), 0);
}

TEST_F(WindowTest, DestroyingSendsDestroyOnceEvenWhenTheProcedureDestroysAgain) {
    static int destroys;
    destroys = 0;
    WNDCLASS windowClass;
    windowClass.lpfnWndProc = [](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
        if (m == WM_DESTROY) {
            ++destroys;
            DestroyWindow(w);
        }
        return DefWindowProc(w, m, wp, lp);
    };
    windowClass.lpszClassName = "selfdestroying";
    ASSERT_NE(RegisterClass(&windowClass), 0);
    HWND window = CreateWindow("selfdestroying", "", WS_CAPTION, CW_USEDEFAULT, CW_USEDEFAULT, 5, 5,
                               nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(DestroyWindow(window), TRUE);
    EXPECT_EQ(destroys, 1);
}

// ---- the queue ----

class QueueTest : public WindowTest {};

TEST_F(QueueTest, QuitComesFirstAndCarriesItsCode) {
    HWND window = Make();
    PostMessage(window, WM_CLOSE, 0, 0);
    PostQuitMessage(3);
    MSG msg;
    EXPECT_EQ(GetMessage(&msg, nullptr, 0, 0), FALSE);
    EXPECT_EQ(msg.message, WM_QUIT);
    EXPECT_EQ(msg.wParam, 3u);
    // The quit is taken once; what was posted before it is still there.
    EXPECT_EQ(GetMessage(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.message, WM_CLOSE);
}

TEST_F(QueueTest, PostedMessagesKeepTheirOrderAndArguments) {
    HWND window = Make();
    for (int i = 0; i < 5; ++i)
        PostMessage(window, 0x400 + i, i, -i);
    for (int i = 0; i < 5; ++i) {
        MSG msg;
        ASSERT_TRUE(GetMessage(&msg, nullptr, 0, 0));
        EXPECT_EQ(msg.hwnd, window);
        EXPECT_EQ(msg.message, 0x400u + i);
        EXPECT_EQ(msg.wParam, static_cast<WPARAM>(i));
        EXPECT_EQ(msg.lParam, -i);
    }
}

TEST_F(QueueTest, GetMessageWaitsForAPostFromAnotherThread) {
    HWND window = Make();
    std::thread poster([window] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        PostMessage(window, WM_CLOSE, 0, 0);
    });
    MSG msg;
    EXPECT_TRUE(GetMessage(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, WM_CLOSE);
    poster.join();
}

TEST_F(QueueTest, PostsFromManyThreadsAllArriveInEachThreadsOrder) {
    HWND window = Make();
    constexpr int kThreads = 4;
    constexpr int kEach = 500;
    std::vector<std::thread> posters;
    for (int t = 0; t < kThreads; ++t)
        posters.emplace_back([window, t] {
            for (int i = 0; i < kEach; ++i)
                PostMessage(window, 0x400, t, i);
        });
    std::vector<int> next(kThreads, 0);
    for (int n = 0; n < kThreads * kEach; ++n) {
        MSG msg;
        ASSERT_TRUE(GetMessage(&msg, nullptr, 0, 0));
        ASSERT_LT(msg.wParam, static_cast<WPARAM>(kThreads));
        EXPECT_EQ(msg.lParam, next[msg.wParam]++);
    }
    for (auto& p : posters)
        p.join();
}

TEST_F(QueueTest, TranslateMakesNoCharacters) {
    MSG msg{nullptr, WM_KEYDOWN, 'A', 1, 0};
    EXPECT_EQ(TranslateMessage(&msg), FALSE);
}

TEST(QueueDeathTest, FiltersAreRefusedLoudly) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    MSG msg;
    EXPECT_DEATH(GetMessage(&msg, nullptr, 1, 10), "unsupported GetMessage filter");
}

TEST(WindowDeathTest, UnsupportedArgumentsAreRefusedLoudly) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(ShowWindow(nullptr, 3), "unsupported ShowWindow command");
    EXPECT_DEATH(
        CreateWindowEx(1, "x", "", 0, CW_USEDEFAULT, 0, 1, 1, nullptr, nullptr, nullptr, nullptr),
        "unsupported extended window style");
    EXPECT_DEATH(CreateWindow("x", "", 0x40000000, CW_USEDEFAULT, 0, 1, 1, nullptr, nullptr,
                              nullptr, nullptr),
                 "unsupported window style");
    EXPECT_DEATH(CreateWindow("x", "", 0, 10, 10, 1, 1, nullptr, nullptr, nullptr, nullptr),
                 "unsupported window position");
    WNDCLASS withIcon;
    withIcon.lpfnWndProc = RecordingProc;
    withIcon.lpszClassName = "icon";
    withIcon.hIcon = &withIcon;
    EXPECT_DEATH(RegisterClass(&withIcon), "unsupported class icon");
}

// ---- threads ----

DWORD ReturnParameter(void* parameter) {
    return static_cast<DWORD>(reinterpret_cast<uintptr_t>(parameter));
}

TEST(ThreadTest, EntryRunsWithItsParameterAndReturnsTheExitCode) {
    DWORD id = 0;
    ThreadHandle thread = CreateThread(nullptr, 4096, ReturnParameter,
                                       reinterpret_cast<void*>(uintptr_t{42}), 0, &id);
    ASSERT_TRUE(thread);
    EXPECT_NE(id, 0u);
    EXPECT_EQ(WaitForSingleObject(thread.get(), INFINITE), WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(thread.get(), &code));
    EXPECT_EQ(code, 42u);
    // Waiting again for a finished thread returns at once.
    EXPECT_EQ(WaitForSingleObject(thread.get(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(thread.get(), INFINITE), WAIT_OBJECT_0);
}

std::atomic<bool> releaseThread{false};
DWORD WaitForRelease(void*) {
    while (!releaseThread.load())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return 5;
}

TEST(ThreadTest, RunningThreadTimesOutAndReportsStillActive) {
    releaseThread = false;
    ThreadHandle thread = CreateThread(nullptr, 0, WaitForRelease, nullptr, 0, nullptr);
    ASSERT_TRUE(thread);
    EXPECT_EQ(WaitForSingleObject(thread.get(), 10), WAIT_TIMEOUT);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(thread.get(), &code));
    EXPECT_EQ(code, STILL_ACTIVE);
    releaseThread = true;
    EXPECT_EQ(WaitForSingleObject(thread.get(), INFINITE), WAIT_OBJECT_0);
    EXPECT_TRUE(GetExitCodeThread(thread.get(), &code));
    EXPECT_EQ(code, 5u);
}

TEST(ThreadTest, DroppingTheHandleWaitsForTheThread) {
    static std::atomic<bool> finished;
    finished = false;
    {
        ThreadHandle thread = CreateThread(
            nullptr, 0,
            [](void*) -> DWORD {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                finished = true;
                return 0;
            },
            nullptr, 0, nullptr);
        ASSERT_TRUE(thread);
    }
    EXPECT_TRUE(finished.load());
}

TEST(ThreadTest, MissingEntryGivesNoThread) {
    EXPECT_FALSE(CreateThread(nullptr, 0, nullptr, nullptr, 0, nullptr));
}

TEST(ThreadDeathTest, FlagsAndAttributesAreRefusedLoudly) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(CreateThread(nullptr, 0, ReturnParameter, nullptr, 4, nullptr),
                 "unsupported thread creation flags");
    int attributes = 0;
    EXPECT_DEATH(CreateThread(&attributes, 0, ReturnParameter, nullptr, 0, nullptr),
                 "unsupported thread security attributes");
}

// ---- time ----

TEST(ClockTest, TickCountWrapsAndDifferencesSurvive) {
    SetTickCountForTesting(0xFFFFFFF0u);
    const uint32_t before = GetTickCount();
    Sleep(40);
    const uint32_t after = GetTickCount();
    EXPECT_LT(after, before);  // wrapped past zero
    const uint32_t elapsed = after - before;
    EXPECT_GE(elapsed, 40u);
    EXPECT_LT(elapsed, 10000u);
}

TEST(ClockTest, SleepLastsAtLeastItsTime) {
    for (uint32_t ms : {0u, 1u, 10u, 40u}) {
        const auto start = std::chrono::steady_clock::now();
        Sleep(ms);
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(ms));
    }
}

TEST(ClockTest, TickCountFollowsTheMonotonicClock) {
    SetTickCountForTesting(1000);
    const uint32_t start = GetTickCount();
    EXPECT_GE(start, 1000u);
    EXPECT_LT(start, 1100u);
}

}  // namespace
