// stop_on_signals.cpp -- the signal handler, which does nothing but set the flag
#include "platform/stop_on_signals.h"

namespace {

// The flag the handler sets, and the signal that set it: lock-free, so safe to
// store from a handler.
std::atomic<bool> stopRequested{false};
std::atomic<int> stopSignal{0};
static_assert(std::atomic<bool>::is_always_lock_free);
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void RequestStop(int signal) {
    stopSignal.store(signal);
    stopRequested.store(true);
}

}  // namespace

StopOnSignals::StopOnSignals() {
    stopRequested.store(false);
    stopSignal.store(0);
    struct sigaction action {};
    action.sa_handler = RequestStop;
    sigemptyset(&action.sa_mask);
    for (size_t i = 0; i < std::size(kSignals); ++i)
        sigaction(kSignals[i], &action, &old_[i]);
}

StopOnSignals::~StopOnSignals() {
    for (size_t i = 0; i < std::size(kSignals); ++i)
        sigaction(kSignals[i], &old_[i], nullptr);
}

const std::atomic<bool>& StopOnSignals::Flag() {
    return stopRequested;
}

int StopOnSignals::Signal() {
    return stopSignal.load();
}
