// stop_signals.cpp -- the POSIX watcher behind StopSignals: the signals blocked, one thread waiting for them
#include "platform/stop_signals.h"

#include <pthread.h>
#include <signal.h>

namespace {

sigset_t StopSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

}  // namespace

StopSignals::StopSignals() {
    const sigset_t set = StopSet();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

StopSignals::~StopSignals() { Stop(); }

void StopSignals::Forward(EventQueue& queue) {
    if (watcher_.joinable()) return;
    watcher_ = std::thread([this, &queue] {
        const sigset_t set = StopSet();
        for (;;) {
            int signal = 0;
            if (sigwait(&set, &signal) != 0) continue;
            // Stop() wakes the watcher with a signal of the set, sent to this
            // thread alone; a real one that comes at that moment is the same
            // request as the stop already under way.
            if (stopping_.load()) return;
            count_.fetch_add(1);
            queue.Post(InputEvent{EventKind::CloseRequest});
        }
    });
}

void StopSignals::Stop() {
    if (!watcher_.joinable()) return;
    stopping_.store(true);
    pthread_kill(watcher_.native_handle(), SIGTERM);
    watcher_.join();
}
