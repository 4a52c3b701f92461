// ordered_pipeline.h -- items made on worker threads and handed to one consumer in index order,
// with a bounded number in flight
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// What one worker thread makes. Each worker gets its own maker and calls it
// for one index at a time.
template <typename Item>
class ItemMaker {
public:
    virtual ~ItemMaker() = default;
    // Makes item `index`; returns null with a message in `error` on failure.
    virtual std::unique_ptr<Item> Make(int64_t index, std::string& error) = 0;
};

// How a pipeline run ended.
struct PipelineOutcome {
    int64_t consumed = 0;  // items handed to the consumer, 0 .. count - 1 in order
    bool stopped = false;  // `stop` was seen before every item was consumed
    bool failed = false;   // a maker or the consumer failed; `error` says why
    std::string error;
};

// The shape of a run.
struct PipelineShape {
    int64_t count = 0;  // items 0 .. count - 1
    int workers = 1;    // threads that make items
    int depth = 16;     // items made but not yet consumed, at most
};

// Runs the workers (each with a maker from `makeMaker`, called on its own
// thread) and hands every item, in index order, to `consume` on the calling
// thread. `consume` returns false with a message to end the run. The run
// also ends, with `stopped`, once `stop` reads true (checked between items
// and at least every 50 ms while waiting); items made past the last one
// consumed are dropped. `onConsumed` (may be empty) is called after each
// item with the number consumed so far.
template <typename Item>
PipelineOutcome RunOrderedPipeline(
    const PipelineShape& shape, const std::function<std::unique_ptr<ItemMaker<Item>>()>& makeMaker,
    const std::function<bool(int64_t index, Item& item, std::string& error)>& consume,
    const std::atomic<bool>& stop, const std::function<void(int64_t consumed)>& onConsumed);

#include "record/ordered_pipeline_impl.h"
