// stop_signal.cpp -- the signal handler, which does nothing but set the flag
#include "tools/record/stop_signal.h"

namespace {

// The flag the handler sets: lock-free, so safe to store from a handler.
std::atomic<bool> stopRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void RequestStop(int) {
    stopRequested.store(true);
}

}  // namespace

StopOnSignals::StopOnSignals() {
    stopRequested.store(false);
    struct sigaction action {};
    action.sa_handler = RequestStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &oldInterrupt_);
    sigaction(SIGTERM, &action, &oldTerminate_);
}

StopOnSignals::~StopOnSignals() {
    sigaction(SIGINT, &oldInterrupt_, nullptr);
    sigaction(SIGTERM, &oldTerminate_, nullptr);
}

const std::atomic<bool>& StopOnSignals::Flag() {
    return stopRequested;
}
