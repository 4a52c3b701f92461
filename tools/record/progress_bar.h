// progress_bar.h -- the recording's progress on a terminal: frames, percent, frames per second and
// time left, redrawn in place at most ten times a second
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// The line drawn for `done` of `total` frames after `seconds`, `width`
// characters of bar: "[#####.....]  120/480 frames  25%  300 fps  0:01 left".
std::string ProgressLine(int64_t done, int64_t total, double seconds, int width);

class ProgressBar {
public:
    // Draws on `out` when `terminal`; otherwise Update and Clear do nothing.
    // `label` stands before the bar ("palette", "recording").
    ProgressBar(std::FILE* out, bool terminal, std::string label, int64_t total);
    ~ProgressBar() { Clear(); }

    // Called by the recording's thread after each frame.
    void Update(int64_t done);
    // Erases the bar, before the final message.
    void Clear();

private:
    std::FILE* out_;
    bool terminal_;
    std::string label_;
    int64_t total_;
    double start_;
    double lastDraw_ = -1;
    bool drawn_ = false;
};

// Seconds on a monotonic clock.
double MonotonicSeconds();
