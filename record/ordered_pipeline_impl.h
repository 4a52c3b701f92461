// ordered_pipeline_impl.h -- the body of RunOrderedPipeline: a ring of slots, a mutex and two
// condition variables
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

template <typename Item>
PipelineOutcome RunOrderedPipeline(
    const PipelineShape& shape, const std::function<std::unique_ptr<ItemMaker<Item>>()>& makeMaker,
    const std::function<bool(int64_t index, Item& item, std::string& error)>& consume,
    const std::atomic<bool>& stop, const std::function<void(int64_t consumed)>& onConsumed) {
    const int depth = shape.depth < 1 ? 1 : shape.depth;
    std::mutex mutex;
    std::condition_variable itemReady;  // the consumer waits on it
    std::condition_variable slotFree;   // the workers wait on it
    // Slot i % depth holds item i once made, until consumed.
    std::vector<std::unique_ptr<Item>> slots(static_cast<size_t>(depth));
    int64_t nextToMake = 0, consumed = 0;
    bool ending = false;
    PipelineOutcome outcome;

    auto fail = [&](std::string error) {  // with the mutex held
        if (!outcome.failed) {
            outcome.failed = true;
            outcome.error = std::move(error);
        }
        ending = true;
        itemReady.notify_all();
        slotFree.notify_all();
    };

    auto work = [&] {
        std::unique_ptr<ItemMaker<Item>> maker;
        std::string error;
        try {
            maker = makeMaker();
        } catch (const std::exception& e) {
            error = e.what();
        }
        if (!maker) {
            std::lock_guard<std::mutex> lock(mutex);
            fail(error.empty() ? "a worker could not start" : error);
            return;
        }
        for (;;) {
            int64_t index = 0;
            {
                std::unique_lock<std::mutex> lock(mutex);
                slotFree.wait(lock, [&] {
                    return ending || nextToMake >= shape.count || nextToMake < consumed + depth;
                });
                if (ending || nextToMake >= shape.count) return;
                index = nextToMake++;
            }
            std::unique_ptr<Item> item = maker->Make(index, error);
            std::lock_guard<std::mutex> lock(mutex);
            if (!item) {
                fail(error);
                return;
            }
            slots[static_cast<size_t>(index % depth)] = std::move(item);
            itemReady.notify_all();
        }
    };

    std::vector<std::thread> threads;
    for (int i = 0; i < (shape.workers < 1 ? 1 : shape.workers); ++i)
        threads.emplace_back(work);

    while (consumed < shape.count) {
        std::unique_ptr<Item> item;
        {
            std::unique_lock<std::mutex> lock(mutex);
            std::unique_ptr<Item>& slot = slots[static_cast<size_t>(consumed % depth)];
            while (!slot && !ending && !stop.load())
                itemReady.wait_for(lock, std::chrono::milliseconds(50));
            if (ending) break;
            if (stop.load()) {
                outcome.stopped = true;
                break;
            }
            item = std::move(slot);
        }
        std::string error;
        const bool ok = consume(consumed, *item, error);
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (!ok) {
                fail(error);
                break;
            }
            ++consumed;
            slotFree.notify_one();  // one slot came free: one worker can use it
        }
        if (onConsumed) onConsumed(consumed);
    }
    {
        std::lock_guard<std::mutex> lock(mutex);
        ending = true;
        slotFree.notify_all();
    }
    for (std::thread& thread : threads)
        thread.join();
    outcome.consumed = consumed;
    return outcome;
}
