// clock.cpp -- pauses of the calling thread
#include "platform/clock.h"

#include <chrono>
#include <thread>

void Pause(uint32_t ms) {
    std::this_thread::sleep_until(std::chrono::steady_clock::now() + std::chrono::milliseconds(ms));
}
