// frame_mailbox.h -- hands finished frames from the render thread to the thread that shows them
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

// Three frame slots: the producer fills its back slot and publishes it as
// the newest frame; the consumer takes the newest frame whenever it is ready
// to show one. Publishing and taking swap slot indices atomically, so
// neither side ever waits for the other to finish with a slot, and a frame
// that the consumer had no time for is simply replaced by the next one. One
// producer thread and one consumer thread. Pixel is uint16_t for the
// emulated screen's RGB565 frames and uint32_t for true-colour frames, whose
// size follows the window's: each slot carries its own width and height.
template <typename Pixel>
class BasicFrameMailbox {
public:
    using Clock = std::chrono::steady_clock;

    // Every slot holds `pixels` pixels (a row of them), zero at the start.
    explicit BasicFrameMailbox(size_t pixels);

    size_t Pixels() const { return pixels_; }

    // Producer: the slot to fill next. It is the producer's until Publish.
    Pixel* BackSlot() { return slots_[back_].pixels.data(); }
    // Producer: makes the back slot width x height pixels (rows width
    // apart) and returns it; its memory is kept when it shrinks.
    Pixel* SizeBackSlot(int width, int height);
    // Producer: records the back slot's frame as width x height pixels held
    // elsewhere (where the consumer lent them; see BackIndex), its memory
    // left alone.
    void SetBackSlotSize(int width, int height);
    // Producer: which of the three slots is the back slot; the consumer's
    // FrontIndex. A consumer that lends each slot memory of its own (a
    // texture's pixels) does so for its front slot, before taking the next
    // frame: taking and publishing order it before the producer's reading.
    uint32_t BackIndex() const { return back_; }
    uint32_t FrontIndex() const { return front_; }
    // Producer: makes the back slot the newest frame and takes a free slot as
    // the new back slot.
    void Publish();
    // Producer: waits until the consumer has taken the newest frame, until
    // the consumer goes away meanwhile, or until `deadline`; true unless the
    // deadline ended it. This is how the producer keeps to the consumer's
    // pace without ever depending on it: the wait is bounded.
    bool WaitUntilTaken(Clock::time_point deadline);
    // Consumer: says that it will take no frames for a while (it is blocked
    // elsewhere, for instance waiting for the producer's thread to end), so
    // that a producer waiting for it stops waiting at once.
    void ConsumerGoesAway();

    // Either side: whether a published frame is waiting to be taken.
    bool HasNewFrame() const { return (ready_.load(std::memory_order_acquire) & kNew) != 0; }
    // Consumer: takes the newest frame when one is waiting and returns true;
    // the frame is then Front() until the next successful take.
    bool TakeNewest();
    // Consumer: the frame last taken (all zero before the first take), and
    // its size as the producer gave it.
    const Pixel* Front() const { return slots_[front_].pixels.data(); }
    int FrontWidth() const { return slots_[front_].width; }
    int FrontHeight() const { return slots_[front_].height; }

    uint64_t PublishedCount() const { return published_.load(std::memory_order_relaxed); }
    uint64_t TakenCount() const { return taken_.load(std::memory_order_relaxed); }

private:
    static constexpr uint32_t kNew = 4;  // set in ready_ when its slot is unread

    struct Slot {
        std::vector<Pixel> pixels;
        int width = 0, height = 0;
    };

    size_t pixels_;
    std::array<Slot, 3> slots_;
    std::atomic<uint32_t> ready_{2};  // slot index | kNew
    uint32_t back_ = 0;               // producer only
    uint32_t front_ = 1;              // consumer only
    std::atomic<uint64_t> published_{0};
    std::atomic<uint64_t> taken_{0};
    uint64_t departures_ = 0;  // guarded by takenMutex_
    std::mutex takenMutex_;
    std::condition_variable takenChanged_;
};

extern template class BasicFrameMailbox<uint16_t>;
extern template class BasicFrameMailbox<uint32_t>;
using FrameMailbox = BasicFrameMailbox<uint16_t>;
using TrueColourMailbox = BasicFrameMailbox<uint32_t>;
