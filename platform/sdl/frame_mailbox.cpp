// frame_mailbox.cpp -- the triple-buffered frame hand-off
#include "platform/sdl/frame_mailbox.h"

FrameMailbox::FrameMailbox(size_t pixels) : pixels_(pixels) {
    for (auto& slot : slots_)
        slot.assign(pixels, 0);
}

void FrameMailbox::Publish() {
    const uint32_t previous = ready_.exchange(back_ | kNew, std::memory_order_acq_rel);
    back_ = previous & 3;
    published_.fetch_add(1, std::memory_order_relaxed);
}

bool FrameMailbox::WaitUntilTaken(Clock::time_point deadline) {
    std::unique_lock<std::mutex> lock(takenMutex_);
    const uint64_t departures = departures_;
    return takenChanged_.wait_until(
        lock, deadline, [this, departures] { return departures_ != departures || !HasNewFrame(); });
}

void FrameMailbox::ConsumerGoesAway() {
    {
        std::lock_guard<std::mutex> lock(takenMutex_);
        ++departures_;
    }
    takenChanged_.notify_all();
}

bool FrameMailbox::TakeNewest() {
    if (!HasNewFrame()) return false;
    const uint32_t previous = ready_.exchange(front_, std::memory_order_acq_rel);
    front_ = previous & 3;
    taken_.fetch_add(1, std::memory_order_relaxed);
    {
        // Taking the lock orders this take before a producer's predicate check.
        std::lock_guard<std::mutex> lock(takenMutex_);
    }
    takenChanged_.notify_all();
    return true;
}
