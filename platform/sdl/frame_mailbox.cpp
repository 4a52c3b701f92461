// frame_mailbox.cpp -- the triple-buffered frame hand-off
#include "platform/sdl/frame_mailbox.h"

template <typename Pixel>
BasicFrameMailbox<Pixel>::BasicFrameMailbox(size_t pixels) : pixels_(pixels) {
    for (auto& slot : slots_) {
        slot.pixels.assign(pixels, 0);
        slot.width = static_cast<int>(pixels);
        slot.height = pixels > 0 ? 1 : 0;
    }
}

template <typename Pixel>
Pixel* BasicFrameMailbox<Pixel>::SizeBackSlot(int width, int height) {
    Slot& slot = slots_[back_];
    const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
    if (slot.pixels.size() < pixels) slot.pixels.resize(pixels);
    slot.width = width;
    slot.height = height;
    return slot.pixels.data();
}

template <typename Pixel>
void BasicFrameMailbox<Pixel>::SetBackSlotSize(int width, int height) {
    slots_[back_].width = width;
    slots_[back_].height = height;
}

template <typename Pixel>
void BasicFrameMailbox<Pixel>::Publish() {
    const uint32_t previous = ready_.exchange(back_ | kNew, std::memory_order_acq_rel);
    back_ = previous & 3;
    published_.fetch_add(1, std::memory_order_relaxed);
}

template <typename Pixel>
bool BasicFrameMailbox<Pixel>::WaitUntilTaken(Clock::time_point deadline) {
    std::unique_lock<std::mutex> lock(takenMutex_);
    const uint64_t departures = departures_;
    return takenChanged_.wait_until(
        lock, deadline, [this, departures] { return departures_ != departures || !HasNewFrame(); });
}

template <typename Pixel>
void BasicFrameMailbox<Pixel>::ConsumerGoesAway() {
    {
        std::lock_guard<std::mutex> lock(takenMutex_);
        ++departures_;
    }
    takenChanged_.notify_all();
}

template <typename Pixel>
bool BasicFrameMailbox<Pixel>::TakeNewest() {
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

template class BasicFrameMailbox<uint16_t>;
template class BasicFrameMailbox<uint32_t>;
