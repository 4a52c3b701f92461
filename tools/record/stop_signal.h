// stop_signal.h -- Ctrl-C (SIGINT) and SIGTERM turned into a flag the recording polls
#pragma once

#include <atomic>
#include <csignal>

// While it lives, SIGINT and SIGTERM only set Flag(); the handlers that were
// there before come back when it goes. One at a time, on the main thread.
class StopOnSignals {
public:
    StopOnSignals();
    ~StopOnSignals();
    StopOnSignals(const StopOnSignals&) = delete;
    StopOnSignals& operator=(const StopOnSignals&) = delete;

    // Set by the handler; read by the recording between frames.
    static const std::atomic<bool>& Flag();

private:
    struct sigaction oldInterrupt_ {
    }, oldTerminate_{};
};
