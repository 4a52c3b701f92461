// platform.cpp -- the error box's line on stderr and the frame loop's clock, the same on every
// platform
#include "platform/platform.h"

#include <chrono>
#include <cstdio>
#include <thread>

int64_t Platform::ClockMicroseconds() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void Platform::WaitUntil(int64_t clockMicroseconds) {
    const int64_t left = clockMicroseconds - ClockMicroseconds();
    if (left > 0) std::this_thread::sleep_for(std::chrono::microseconds(left));
}

void Platform::ShowErrorBox(const std::string& text, const std::string& caption) {
    if (caption.empty())
        std::fprintf(stderr, "%s\n", text.c_str());
    else
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    std::fflush(stderr);
    ShowBox(text, caption);
}
