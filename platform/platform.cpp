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

#include "shared/text.h"

void Platform::ShowErrorBox(const std::string& text, const std::string& caption) {
    // A file name in the text comes from a scene file: its control
    // characters are shown, never obeyed, here and in the box.
    const std::string safeText = EscapeControls(text);
    const std::string safeCaption = EscapeControls(caption);
    if (safeCaption.empty())
        std::fprintf(stderr, "%s\n", safeText.c_str());
    else
        std::fprintf(stderr, "%s: %s\n", safeCaption.c_str(), safeText.c_str());
    std::fflush(stderr);
    ShowBox(safeText, safeCaption);
}
