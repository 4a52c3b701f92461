// progress_bar.h -- the recording's progress on a terminal: frames, percent, frames per second and
// time left, fitted to the terminal's width and redrawn in place at most ten times a second
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// The estimate of time left is shown once both this many seconds have passed
// and this fraction of the frames is done; before, it reads "--:-- left". The
// first frames carry the start-up (threads, encoders, the ring filling), so an
// estimate from them alone says several times the real time.
constexpr double kEstimateAfterSeconds = 1.0;
constexpr double kEstimateAfterFraction = 0.1;

// Whether `done` of `total` frames after `seconds` say enough to estimate the time left.
bool EstimateReady(int64_t done, int64_t total, double seconds);

// The line drawn for `done` of `total` frames after `seconds`, at most
// `columns` - 1 characters wide (the last column is left free so that no
// terminal wraps): "label [#####.....]  120/480 frames  25%  300 fps  0:01 left"
// with a bar of at most 30 characters. Where that does not fit, the rate goes
// first, then the count, the bar, the label and the time left; the percentage
// stays.
std::string ProgressLine(const std::string& label, int64_t done, int64_t total, double seconds,
                         int columns);

// The width of the terminal `out` writes to: its window size, else the
// COLUMNS variable, else 80.
int TerminalColumns(std::FILE* out);

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
