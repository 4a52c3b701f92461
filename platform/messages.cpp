// messages.cpp -- the main thread's message queue, fed by posts from any thread and by the pump's
// input
#include "platform/messages.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "platform/clock.h"
#include "platform/unsupported.h"
#include "platform/window_internal.h"

namespace {

using Clock = std::chrono::steady_clock;

std::mutex queueMutex;
std::condition_variable queueChanged;  // for waits without a pump
std::deque<MSG> queue;                 // guarded by queueMutex
bool quitPending = false;              // guarded by queueMutex
int quitCode = 0;                      // guarded by queueMutex

std::atomic<MainThreadPump*> installedPump{nullptr};
std::atomic<std::thread::id> pumpThread{};

void Enqueue(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    {
        std::lock_guard<std::mutex> lock(queueMutex);
        queue.push_back(MSG{window, message, wParam, lParam, GetTickCount()});
    }
    queueChanged.notify_all();
    if (MainThreadPump* pump = installedPump.load()) pump->Wake();
}

// Takes the next queued message or a pending quit; false when there is none.
bool TakeQueued(MSG* msg) {
    std::lock_guard<std::mutex> lock(queueMutex);
    if (quitPending) {
        quitPending = false;
        *msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(quitCode), 0, GetTickCount()};
        return true;
    }
    if (queue.empty()) return false;
    *msg = queue.front();
    queue.pop_front();
    return true;
}

}  // namespace

void InstallMainThreadPump(MainThreadPump* pump) {
    pumpThread.store(pump ? std::this_thread::get_id() : std::thread::id{});
    installedPump.store(pump);
}

MainThreadPump* PumpForThisThread() {
    MainThreadPump* pump = installedPump.load();
    return pump && pumpThread.load() == std::this_thread::get_id() ? pump : nullptr;
}

BOOL GetMessage(MSG* msg, HWND window, UINT filterMin, UINT filterMax) {
    if (window || filterMin || filterMax) PlatformUnsupported("GetMessage filter");
    for (;;) {
        if (TakeQueued(msg)) return msg->message == WM_QUIT ? FALSE : TRUE;
        if (HWND painted = WindowNeedingPaint()) {
            *msg = MSG{painted, WM_PAINT, 0, 0, GetTickCount()};
            return TRUE;
        }
        if (MainThreadPump* pump = PumpForThisThread()) {
            pump->WaitUntil(Clock::time_point::max());
        } else {
            std::unique_lock<std::mutex> lock(queueMutex);
            queueChanged.wait(lock, [] { return quitPending || !queue.empty(); });
        }
    }
}

BOOL TranslateMessage(const MSG* /*msg*/) {
    return FALSE;
}

LRESULT DispatchMessage(const MSG* msg) {
    if (!msg || !msg->hwnd) return 0;
    return CallWindowProcedure(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

BOOL PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Enqueue(window, message, wParam, lParam);
    return TRUE;
}

void PostInputMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    std::lock_guard<std::mutex> lock(queueMutex);
    queue.push_back(MSG{window, message, wParam, lParam, GetTickCount()});
}

void PostQuitMessage(int exitCode) {
    {
        std::lock_guard<std::mutex> lock(queueMutex);
        quitPending = true;
        quitCode = exitCode;
    }
    queueChanged.notify_all();
    if (MainThreadPump* pump = installedPump.load()) pump->Wake();
}

void DiscardQueuedMessages() {
    std::lock_guard<std::mutex> lock(queueMutex);
    queue.clear();
    quitPending = false;
    quitCode = 0;
}
