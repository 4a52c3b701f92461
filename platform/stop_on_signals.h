// stop_on_signals.h -- Ctrl-C (SIGINT), SIGTERM and SIGHUP turned into a flag a loop polls (record,
// fly)
#pragma once

#include <atomic>
#include <csignal>
#include <iterator>

// While it lives, SIGINT, SIGTERM and SIGHUP (the terminal closed) only set
// Flag() and remember which signal came (Signal()); the handlers that were there
// before come back when it goes. One at a time, on the main thread.
class StopOnSignals {
public:
    // The signals caught, in the order they are installed.
    static constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

    StopOnSignals();
    ~StopOnSignals();
    StopOnSignals(const StopOnSignals&) = delete;
    StopOnSignals& operator=(const StopOnSignals&) = delete;

    // Set by the handler; read by the recording between frames.
    static const std::atomic<bool>& Flag();
    // The last signal caught while one lived, or 0 when none came.
    static int Signal();

private:
    struct sigaction old_[std::size(kSignals)]{};
};
