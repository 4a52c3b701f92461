// frame_timing_test.cpp -- the recording's frame clock and plan: no drift, the demo's restarts,
// --to, --loops and a start past the end
#include <gtest/gtest.h>

#include <memory>

#include "path/key_path.h"
#include "record/frame_timing.h"

namespace {

// A camera path of five values a key whose frames run from `first` to
// `nextToLast` ms (the next-to-last key's time), as the scene loader builds it.
std::unique_ptr<KeyPath> PathWithFrames(int32_t first, int32_t nextToLast) {
    const int32_t times[] = {first, (first + nextToLast) / 2, nextToLast, nextToLast + 1000};
    auto path = std::make_unique<KeyPath>(5, 0.5f, 4);
    for (const int32_t time : times) {
        const float values[5] = {1000.0f * time, 2000.0f, 3000.0f, 4.0f, 80.0f};
        path->AddKey(time, values);
    }
    path->Prepare();
    return path;
}

// A span as the command builds it: fps, --from, --to and --loops.
RecordSpan Span(int fps, int64_t fromMs = 0, std::optional<int64_t> toMs = std::nullopt,
                int loops = 1) {
    RecordSpan span;
    span.fps = fps;
    span.fromMs = fromMs;
    span.toMs = toMs;
    span.loops = loops;
    return span;
}

FramePlan MakePlan(const KeyPath& path, const RecordSpan& span, int64_t maxFrames = 1000000) {
    std::string error;
    std::optional<FramePlan> plan = FramePlan::Make(path, span, maxFrames, error);
    EXPECT_TRUE(plan) << error;
    return plan ? *plan : FramePlan();
}

TEST(FrameClock, WholeMillisecondsWithoutDrift) {
    const struct {
        int64_t index;
        int fps;
        int64_t ms;
    } cases[] = {
        {0, 60, 0},
        {1, 60, 16},
        {2, 60, 33},
        {3, 60, 50},
        {60, 60, 1000},
        {216000, 60, 3600000},
        {7, 30, 233},
        {1, 1, 1000},
        {3, 7, 428},
        {240, 240, 1000},
        {100000000, 240, 416666666},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FrameClockMs(c.index, c.fps), c.ms) << c.index << " at " << c.fps;
}

TEST(FrameClock, FramesBeforeIsTheFirstFrameAtOrAfterAClockTime) {
    for (const int fps : {1, 7, 24, 25, 30, 60, 240})
        for (int64_t ms = 0; ms < 3000; ms += 7) {
            const int64_t n = FramesBefore(ms, fps);
            EXPECT_GE(FrameClockMs(n, fps), ms) << ms << " at " << fps;
            if (n > 0) {
                EXPECT_LT(FrameClockMs(n - 1, fps), ms) << ms << " at " << fps;
            }
        }
}

TEST(FramePlan, OnePassEndsBeforeTheFrameThatFindsThePathEnded) {
    const auto path = PathWithFrames(0, 1000);  // frames at 0 .. 999 ms
    const FramePlan plan = MakePlan(*path, Span(10));
    EXPECT_EQ(plan.Frames(), 10);  // 0, 100, ... 900 ms
    EXPECT_EQ(plan.Restarts(), 0);
    for (int64_t i = 0; i < plan.Frames(); ++i) {
        EXPECT_EQ(plan.At(i).flightMs, 100 * i);
        EXPECT_FALSE(plan.At(i).repeat);
    }
}

TEST(FramePlan, RestartsAsTheDemoFrameLoopDoes) {
    // At 60 fps the clock reads 0, 16, 33, 50, 66, 83, 100, 116, ...; the
    // path has frames up to 99 ms. Frame 6 (clock 100) finds the end: it
    // shows frame 5's picture again and the flight's clock starts over
    // from clock 100, so frame 7 shows 116 - 100 = 16 ms.
    const auto path = PathWithFrames(0, 100);
    const FramePlan plan = MakePlan(*path, Span(60, 0, std::nullopt, 3));
    const struct {
        int64_t frame;
        uint32_t flightMs;
        bool repeat;
    } cases[] = {
        {0, 0, false},   {5, 83, false}, {6, 83, true},   {7, 16, false},
        {11, 83, false}, {12, 83, true}, {13, 16, false}, {17, 83, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(plan.At(c.frame).flightMs, c.flightMs) << c.frame;
        EXPECT_EQ(plan.At(c.frame).repeat, c.repeat) << c.frame;
    }
    // The third end (frame 18, clock 300) closes the recording.
    EXPECT_EQ(plan.Frames(), 18);
    EXPECT_EQ(plan.Restarts(), 2);
}

TEST(FramePlan, ToCountsOnTheClockThatStartedWithTheFlight) {
    const auto path = PathWithFrames(0, 1000);
    // From 500 to 2500: 2 s at 10 fps, passing the end once.
    const FramePlan plan = MakePlan(*path, Span(10, 500, 2500));
    EXPECT_EQ(plan.Frames(), 20);
    EXPECT_EQ(plan.At(0).flightMs, 500u);
    EXPECT_EQ(plan.At(4).flightMs, 900u);
    EXPECT_TRUE(plan.At(5).repeat);  // clock 500: flight 1000 has no frame
    EXPECT_EQ(plan.At(5).flightMs, 900u);
    EXPECT_EQ(plan.At(6).flightMs, 100u);
    EXPECT_TRUE(plan.At(15).repeat);  // clock 1500: flight 1000 again
    EXPECT_EQ(plan.Restarts(), 2);
}

TEST(FramePlan, RefusesAStartPastTheEndAndRecordingsTooLong) {
    const auto path = PathWithFrames(0, 1000);
    std::string error;
    EXPECT_FALSE(FramePlan::Make(*path, Span(60, 1000), 100, error));
    EXPECT_NE(error.find("past the end of the path"), std::string::npos) << error;
    EXPECT_FALSE(FramePlan::Make(*path, Span(60, 5000000000), 100, error));
    EXPECT_FALSE(FramePlan::Make(*path, Span(60, 0, std::nullopt, 5), 100, error));
    EXPECT_NE(error.find("longer than 100 frames"), std::string::npos) << error;
    // A path whose first key is late has no frame at 0.
    const auto late = PathWithFrames(500, 1000);
    EXPECT_FALSE(FramePlan::Make(*late, Span(60), 100, error));
    EXPECT_TRUE(FramePlan::Make(*late, Span(60, 500), 100, error));
}

TEST(FramePlan, APathThatNeverRestartsCleanlyStillEnds) {
    // The first key at 50 ms: after a restart the flight's clock reads 16,
    // before the first key, so every later frame finds the end at once.
    const auto late = PathWithFrames(50, 100);
    const FramePlan plan = MakePlan(*late, Span(60, 50, 500));
    EXPECT_EQ(plan.Frames(), 27);  // clock 0 .. 433
    for (int64_t i = 3; i < plan.Frames(); ++i) {
        EXPECT_TRUE(plan.At(i).repeat) << i;
        EXPECT_EQ(plan.At(i).flightMs, 83u) << i;  // the last picture drawn: clock 33, flight 83
    }
    // Ends at frames 3, 4, 5 and 6: the fourth closes the recording.
    EXPECT_EQ(MakePlan(*late, Span(60, 50, std::nullopt, 4)).Frames(), 6);
}

}  // namespace
