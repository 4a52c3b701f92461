// clock.cpp -- the tick count from the monotonic clock, and pauses
#include "platform/clock.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// Added to the monotonic milliseconds; only tests change it.
std::atomic<uint32_t> tickOffset{0};

uint32_t MonotonicMs() {
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch());
    return static_cast<uint32_t>(static_cast<uint64_t>(ms.count()));
}

}  // namespace

uint32_t TickCount() {
    return MonotonicMs() + tickOffset.load(std::memory_order_relaxed);
}

void SetTickCountForTesting(uint32_t tick) {
    tickOffset.store(tick - MonotonicMs(), std::memory_order_relaxed);
}

void Pause(uint32_t ms) {
    std::this_thread::sleep_until(Clock::now() + std::chrono::milliseconds(ms));
}
