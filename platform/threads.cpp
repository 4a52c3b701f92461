// threads.cpp -- threads on the C++ standard library, joined before their handle goes
#include "platform/threads.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/unsupported.h"
#include "platform/window_internal.h"

class PlatformThread {
public:
    std::mutex mutex;
    std::condition_variable finishedChanged;
    bool finished = false;  // guarded by mutex
    DWORD exitCode = 0;     // guarded by mutex; valid once finished
    std::thread thread;
};

void PlatformThreadDeleter::operator()(PlatformThread* thread) const {
    if (thread->thread.joinable()) thread->thread.join();
    delete thread;
}

namespace {
std::atomic<DWORD> nextThreadId{1};
DWORD WaitForThread(PlatformThread* thread, DWORD ms);
}  // namespace

ThreadHandle CreateThread(void* attributes, size_t /*stackSize*/, LPTHREAD_START_ROUTINE entry,
                          void* parameter, DWORD flags, DWORD* threadId) {
    if (attributes) PlatformUnsupported("thread security attributes");
    if (flags != 0) PlatformUnsupported("thread creation flags");
    if (!entry) return nullptr;
    ThreadHandle handle(new PlatformThread);
    PlatformThread* record = handle.get();
    try {
        record->thread = std::thread([record, entry, parameter] {
            const DWORD code = entry(parameter);
            {
                std::lock_guard<std::mutex> lock(record->mutex);
                record->exitCode = code;
                record->finished = true;
            }
            record->finishedChanged.notify_all();
        });
    } catch (const std::system_error&) {
        return nullptr;
    }
    if (threadId) *threadId = nextThreadId.fetch_add(1);
    return handle;
}

DWORD WaitForSingleObject(PlatformThread* thread, DWORD ms) {
    if (!thread) PlatformUnsupported("wait for a null handle");
    if (MainThreadPump* pump = PumpForThisThread()) pump->Blocking();
    return WaitForThread(thread, ms);
}

namespace {

DWORD WaitForThread(PlatformThread* thread, DWORD ms) {
    {
        std::unique_lock<std::mutex> lock(thread->mutex);
        const auto done = [thread] { return thread->finished; };
        if (ms == INFINITE) {
            thread->finishedChanged.wait(lock, done);
        } else if (!thread->finishedChanged.wait_for(lock, std::chrono::milliseconds(ms), done)) {
            return WAIT_TIMEOUT;
        }
    }
    // Finished: its last step is done, so joining returns at once.
    if (thread->thread.joinable()) thread->thread.join();
    return WAIT_OBJECT_0;
}

}  // namespace

BOOL GetExitCodeThread(PlatformThread* thread, DWORD* exitCode) {
    if (!thread || !exitCode) return FALSE;
    std::lock_guard<std::mutex> lock(thread->mutex);
    *exitCode = thread->finished ? thread->exitCode : STILL_ACTIVE;
    return TRUE;
}
