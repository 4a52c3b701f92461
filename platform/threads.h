// threads.h -- threads as the handheld's system creates, waits for and reports them
#pragma once

#include <cstddef>
#include <memory>

#include "platform/win_types.h"

using LPTHREAD_START_ROUTINE = DWORD (*)(void* parameter);

constexpr DWORD INFINITE = 0xFFFFFFFFu;
constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD STILL_ACTIVE = 259;

// A running or finished thread. Destroying the last owner of a thread that
// is still running waits for it to finish first, so a thread never outlives
// its handle.
class PlatformThread;
struct PlatformThreadDeleter {
    void operator()(PlatformThread* thread) const;
};
using ThreadHandle = std::unique_ptr<PlatformThread, PlatformThreadDeleter>;

// Called by the start-up sequence: starts `entry(parameter)` at once on a new
// thread. The stack size is a request that, as on the handheld without a
// reservation flag, leaves the system's default stack in place; no security
// attributes and no creation flags are supported (refused loudly). Returns
// null when the system cannot make a thread. `threadId`, when given, gets a
// number unique among this program's threads.
ThreadHandle CreateThread(void* attributes, size_t stackSize, LPTHREAD_START_ROUTINE entry,
                          void* parameter, DWORD flags, DWORD* threadId);

// Waits until the thread has finished or `ms` milliseconds have passed
// (INFINITE: no limit). Returns WAIT_OBJECT_0 once it has finished (at once
// for a thread already waited for), WAIT_TIMEOUT otherwise. Call from one
// thread at a time.
DWORD WaitForSingleObject(PlatformThread* thread, DWORD ms);

// The thread's return value once it has finished, STILL_ACTIVE before.
BOOL GetExitCodeThread(PlatformThread* thread, DWORD* exitCode);
