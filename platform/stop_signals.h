// stop_signals.h -- SIGINT, SIGTERM and SIGHUP turned into a close request, so a program ends as its own stop does
#pragma once

#include <atomic>
#include <thread>

#include "platform/events.h"

// A program made like this ends on Ctrl-C, `kill` or a closed terminal the
// way its window's close request ends it: through its own stop sequence, with
// its status, nothing lost and nothing left behind.
//
// Made by `main` before any other thread exists: the constructor blocks the
// three signals, and every thread started later inherits that, so none of
// them is interrupted. Forward(queue) starts a watcher thread that waits for
// them and posts a CloseRequest to `queue` for each; Stop() (or the
// destructor) ends the watcher before the queue goes away. A signal that
// comes after Stop() stays pending and is dropped when the process exits.
class StopSignals {
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // Starts posting a CloseRequest to `queue` for each signal. Once only.
    void Forward(EventQueue& queue);
    // Ends the watcher; after it nothing is posted. Safe to call twice.
    void Stop();
    // How many signals have been turned into close requests so far.
    int Count() const { return count_.load(); }

private:
    std::thread watcher_;
    std::atomic<bool> stopping_{false};
    std::atomic<int> count_{0};
};
