// events_test.cpp -- the input queue between threads, the tick count and pauses
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/events.h"
#include "platform/headless/headless_platform.h"

namespace {

InputEvent Key(int32_t code) {
    InputEvent event;
    event.kind = EventKind::KeyDown;
    event.code = code;
    return event;
}

TEST(EventQueueTest, QuitComesFirstAndCarriesItsCode) {
    EventQueue queue;
    InputEvent close;
    close.kind = EventKind::CloseRequest;
    queue.Post(close);
    queue.PostQuit(3);
    InputEvent event;
    int code = -1;
    EXPECT_FALSE(queue.Poll(event)) << "a pending quit holds back what is queued";
    EXPECT_FALSE(queue.Take(event, code));
    EXPECT_EQ(code, 3);
    // The quit is taken once; what was posted before it is still there.
    ASSERT_TRUE(queue.Take(event, code));
    EXPECT_EQ(event.kind, EventKind::CloseRequest);
}

TEST(EventQueueTest, EventsKeepTheirOrderAndFieldsAndAreStamped) {
    HeadlessPlatform platform({.clockStartMicroseconds = 5'000'000});
    EventQueue& queue = platform.Events();
    for (int i = 0; i < 5; ++i) {
        InputEvent event;
        event.kind = EventKind::ButtonDown;
        event.code = i;
        event.x = 10 * i;
        event.y = -i;
        queue.Post(event);
    }
    for (int i = 0; i < 5; ++i) {
        InputEvent event;
        ASSERT_TRUE(queue.Poll(event));
        EXPECT_EQ(event.kind, EventKind::ButtonDown);
        EXPECT_EQ(event.code, i);
        EXPECT_EQ(event.x, 10 * i);
        EXPECT_EQ(event.y, -i);
        EXPECT_GE(event.time, 5000u);
        EXPECT_LT(event.time, 6000u);
    }
    InputEvent none;
    EXPECT_FALSE(queue.Poll(none));
}

TEST(EventQueueTest, TakeWaitsForAPostFromAnotherThread) {
    EventQueue queue;
    std::thread poster([&queue] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        queue.Post(Key('a'));
    });
    InputEvent event;
    int code = 0;
    ASSERT_TRUE(queue.Take(event, code));
    EXPECT_EQ(event.code, 'a');
    poster.join();
}

TEST(EventQueueTest, AQuitFromAnotherThreadEndsAWait) {
    EventQueue queue;
    std::thread quitter([&queue] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        queue.PostQuit(0);
    });
    InputEvent event;
    int code = -1;
    EXPECT_FALSE(queue.Take(event, code));
    EXPECT_EQ(code, 0);
    quitter.join();
}

TEST(EventQueueTest, PostsFromManyThreadsAllArriveInEachThreadsOrder) {
    EventQueue queue;
    constexpr int kThreads = 4;
    constexpr int kEach = 500;
    std::vector<std::thread> posters;
    for (int t = 0; t < kThreads; ++t)
        posters.emplace_back([&queue, t] {
            for (int i = 0; i < kEach; ++i) {
                InputEvent event = Key(t);
                event.value = i;
                queue.Post(event);
            }
        });
    std::vector<int> next(kThreads, 0);
    for (int n = 0; n < kThreads * kEach; ++n) {
        InputEvent event;
        int code = 0;
        ASSERT_TRUE(queue.Take(event, code));
        ASSERT_GE(event.code, 0);
        ASSERT_LT(event.code, kThreads);
        EXPECT_EQ(event.value, next[event.code]++);
    }
    for (auto& p : posters)
        p.join();
}

TEST(EventQueueTest, ClearDropsEventsAndAPendingQuit) {
    EventQueue queue;
    queue.Post(Key('x'));
    queue.PostQuit(1);
    queue.Clear();
    InputEvent event;
    EXPECT_FALSE(queue.Poll(event));
    queue.Post(Key('y'));
    int code = -1;
    ASSERT_TRUE(queue.Take(event, code)) << "no quit is left pending";
    EXPECT_EQ(event.code, 'y');
}

TEST(ClockTest, TickCountWrapsAndDifferencesSurvive) {
    HeadlessPlatform platform({.clockStartMicroseconds = int64_t{0xFFFFFFF0} * 1000});
    const uint32_t before = platform.TickCount();
    Pause(40);
    const uint32_t after = platform.TickCount();
    EXPECT_LT(after, before);  // wrapped past zero
    const uint32_t elapsed = after - before;
    EXPECT_GE(elapsed, 40u);
    EXPECT_LT(elapsed, 10000u);
}

TEST(ClockTest, PauseLastsAtLeastItsTime) {
    for (uint32_t ms : {0u, 1u, 10u, 40u}) {
        const auto start = std::chrono::steady_clock::now();
        Pause(ms);
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(ms));
    }
}

TEST(ClockTest, TickCountFollowsTheMonotonicClock) {
    HeadlessPlatform platform({.clockStartMicroseconds = 1'000'000});
    const uint32_t start = platform.TickCount();
    EXPECT_GE(start, 1000u);
    EXPECT_LT(start, 1100u);
    Pause(20);
    EXPECT_GE(platform.TickCount() - start, 20u);
}

TEST(ClockTest, AQueueOfItsOwnStampsNothing) {
    EventQueue queue;
    queue.Post(InputEvent{EventKind::KeyDown});
    InputEvent event;
    ASSERT_TRUE(queue.Poll(event));
    EXPECT_EQ(event.time, 0u);
}

}  // namespace
