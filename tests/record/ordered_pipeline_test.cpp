// ordered_pipeline_test.cpp -- the worker pool: every item once, in order, never more in flight
// than the depth, and a stop or a failure ends it cleanly
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "record/ordered_pipeline.h"

namespace {

struct Item {
    int64_t index;
};

// Makes items with uneven delays, counting those made but not yet consumed.
class SlowMaker final : public ItemMaker<Item> {
public:
    SlowMaker(std::atomic<int>& inFlight, std::atomic<int>& peak, int64_t failAt)
        : inFlight_(inFlight), peak_(peak), failAt_(failAt) {}
    std::unique_ptr<Item> Make(int64_t index, std::string& error) override {
        std::this_thread::sleep_for(std::chrono::microseconds((index * 7919) % 500));
        if (index == failAt_) {
            error = "item " + std::to_string(index) + " failed";
            return nullptr;
        }
        const int now = ++inFlight_;
        int seen = peak_.load();
        while (now > seen && !peak_.compare_exchange_weak(seen, now)) {
        }
        return std::make_unique<Item>(Item{index});
    }

private:
    std::atomic<int>& inFlight_;
    std::atomic<int>& peak_;
    int64_t failAt_;
};

struct PipelineRun {
    PipelineOutcome outcome;
    std::vector<int64_t> order;
    int peak = 0;
};

PipelineRun RunPipeline(const PipelineShape& shape, int64_t failAt = -1,
                        int64_t consumerFailsAt = -1, int64_t stopAfter = -1) {
    PipelineRun run;
    std::atomic<int> inFlight{0}, peak{0};
    std::atomic<bool> stop{false};
    run.outcome = RunOrderedPipeline<Item>(
        shape, [&] { return std::make_unique<SlowMaker>(inFlight, peak, failAt); },
        [&](int64_t index, Item& item, std::string& error) {
            --inFlight;
            if (index == consumerFailsAt) {
                error = "disk full";
                return false;
            }
            run.order.push_back(item.index);
            return true;
        },
        stop,
        [&](int64_t consumed) {
            if (consumed == stopAfter) stop.store(true);
        });
    run.peak = peak.load();
    return run;
}

TEST(OrderedPipeline, EveryItemOnceInOrderWithinTheDepth) {
    const struct {
        int64_t count;
        int workers, depth;
    } cases[] = {{0, 2, 4}, {1, 1, 1}, {200, 3, 4}, {300, 4, 32}, {50, 8, 2}};
    for (const auto& c : cases) {
        const PipelineRun run = RunPipeline({c.count, c.workers, c.depth});
        EXPECT_FALSE(run.outcome.failed) << run.outcome.error;
        EXPECT_FALSE(run.outcome.stopped);
        EXPECT_EQ(run.outcome.consumed, c.count);
        ASSERT_EQ(run.order.size(), static_cast<size_t>(c.count));
        for (int64_t i = 0; i < c.count; ++i)
            ASSERT_EQ(run.order[static_cast<size_t>(i)], i);
        EXPECT_LE(run.peak, c.depth) << c.count << " items, depth " << c.depth;
    }
}

TEST(OrderedPipeline, AStopEndsAfterTheItemsConsumed) {
    const PipelineRun run = RunPipeline({500, 3, 8}, -1, -1, 40);
    EXPECT_TRUE(run.outcome.stopped);
    EXPECT_FALSE(run.outcome.failed);
    EXPECT_EQ(run.outcome.consumed, 40);
    EXPECT_EQ(run.order.size(), 40u);
}

TEST(OrderedPipeline, AFailingMakerOrConsumerEndsTheRunWithItsMessage) {
    const PipelineRun maker = RunPipeline({500, 3, 8}, 77);
    EXPECT_TRUE(maker.outcome.failed);
    EXPECT_EQ(maker.outcome.error, "item 77 failed");
    EXPECT_LE(maker.outcome.consumed, 77);
    const PipelineRun consumer = RunPipeline({500, 3, 8}, -1, 123);
    EXPECT_TRUE(consumer.outcome.failed);
    EXPECT_EQ(consumer.outcome.error, "disk full");
    EXPECT_EQ(consumer.outcome.consumed, 123);
}

TEST(OrderedPipeline, AWorkerThatCannotStartFailsTheRun) {
    std::atomic<bool> stop{false};
    const PipelineOutcome outcome = RunOrderedPipeline<Item>(
        {10, 2, 4},
        []() -> std::unique_ptr<ItemMaker<Item>> { throw std::runtime_error("no encoder"); },
        [](int64_t, Item&, std::string&) { return true; }, stop, nullptr);
    EXPECT_TRUE(outcome.failed);
    EXPECT_EQ(outcome.error, "no encoder");
    EXPECT_EQ(outcome.consumed, 0);
}

}  // namespace
