// frame_mailbox_test.cpp -- the frame hand-off between the render thread and the screen
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <set>
#include <thread>

#include "platform/sdl/frame_mailbox.h"

namespace {

using namespace std::chrono_literals;

void Fill(FrameMailbox& box, uint16_t value) {
    uint16_t* slot = box.BackSlot();
    for (size_t i = 0; i < box.Pixels(); ++i)
        slot[i] = value;
    box.Publish();
}

TEST(FrameMailboxTest, NothingToTakeBeforeTheFirstFrame) {
    FrameMailbox box(4);
    EXPECT_FALSE(box.HasNewFrame());
    EXPECT_FALSE(box.TakeNewest());
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(box.Front()[i], 0);
}

TEST(FrameMailboxTest, TheNewestFrameWinsAndIsTakenOnce) {
    FrameMailbox box(4);
    Fill(box, 1);
    Fill(box, 2);
    Fill(box, 3);
    EXPECT_TRUE(box.HasNewFrame());
    ASSERT_TRUE(box.TakeNewest());
    EXPECT_EQ(box.Front()[0], 3);
    EXPECT_EQ(box.Front()[3], 3);
    EXPECT_FALSE(box.HasNewFrame());
    EXPECT_FALSE(box.TakeNewest());
    EXPECT_EQ(box.Front()[0], 3);  // still shown
    EXPECT_EQ(box.PublishedCount(), 3u);
    EXPECT_EQ(box.TakenCount(), 1u);
}

TEST(FrameMailboxTest, TheProducerNeverWritesTheSlotBeingShown) {
    FrameMailbox box(2);
    std::set<const uint16_t*> backs;
    for (int round = 0; round < 10; ++round) {
        Fill(box, static_cast<uint16_t>(round + 1));
        if (round % 3 == 0) {
            ASSERT_TRUE(box.TakeNewest());
        }
        EXPECT_NE(box.BackSlot(), box.Front()) << round;
        backs.insert(box.BackSlot());
    }
    EXPECT_EQ(backs.size(), 3u);  // three slots take turns
}

TEST(FrameMailboxTest, WaitEndsWhenTakenOrAtItsDeadline) {
    FrameMailbox box(1);
    Fill(box, 1);
    const auto start = FrameMailbox::Clock::now();
    EXPECT_FALSE(box.WaitUntilTaken(start + 20ms));
    EXPECT_GE(FrameMailbox::Clock::now() - start, 20ms);

    std::thread consumer([&box] {
        std::this_thread::sleep_for(10ms);
        box.TakeNewest();
    });
    EXPECT_TRUE(box.WaitUntilTaken(FrameMailbox::Clock::now() + 10s));
    consumer.join();
    // Nothing new: the wait ends at once.
    EXPECT_TRUE(box.WaitUntilTaken(FrameMailbox::Clock::now() + 10s));
}

// A producer and a consumer at full speed: every frame the consumer sees is
// whole (all its pixels from one frame) and frames never go backwards.
TEST(FrameMailboxTest, ConcurrentFramesArriveWholeAndInOrder) {
    constexpr size_t kPixels = 1024;
    constexpr uint16_t kFrames = 20000;
    FrameMailbox box(kPixels);
    std::atomic<bool> done{false};
    std::thread producer([&] {
        for (uint16_t frame = 1; frame <= kFrames; ++frame) {
            uint16_t* slot = box.BackSlot();
            for (size_t i = 0; i < kPixels; ++i)
                slot[i] = frame;
            box.Publish();
            if (frame % 64 == 0) box.WaitUntilTaken(FrameMailbox::Clock::now() + 1ms);
        }
        done = true;
    });
    uint16_t last = 0;
    size_t taken = 0;
    while (!done.load() || box.HasNewFrame()) {
        if (!box.TakeNewest()) continue;
        const uint16_t* frame = box.Front();
        for (size_t i = 0; i < kPixels; ++i)
            ASSERT_EQ(frame[i], frame[0]);
        ASSERT_GT(frame[0], last);
        last = frame[0];
        ++taken;
    }
    producer.join();
    EXPECT_EQ(last, kFrames);
    EXPECT_GT(taken, 0u);
}

// True-colour frames carry their own size, which may change from frame to frame.
TEST(FrameMailboxTest, EachFrameCarriesItsOwnSize) {
    TrueColourMailbox box(0);
    EXPECT_EQ(box.FrontWidth(), 0);
    uint32_t* slot = box.SizeBackSlot(3, 2);
    slot[5] = 7;
    box.Publish();
    slot = box.SizeBackSlot(5, 4);
    slot[19] = 9;
    box.Publish();
    ASSERT_TRUE(box.TakeNewest());
    EXPECT_EQ(box.FrontWidth(), 5);
    EXPECT_EQ(box.FrontHeight(), 4);
    EXPECT_EQ(box.Front()[19], 9u);
    box.SizeBackSlot(3, 2)[5] = 8;
    box.Publish();
    ASSERT_TRUE(box.TakeNewest());
    EXPECT_EQ(box.FrontWidth(), 3);
    EXPECT_EQ(box.FrontHeight(), 2);
    EXPECT_EQ(box.Front()[5], 8u);
}

}  // namespace
