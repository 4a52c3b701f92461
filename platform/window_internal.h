// window_internal.h -- how the window and message families meet the screen that shows them
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "platform/win_types.h"

// The main thread's link to the system: while the main thread waits (in
// GetMessage or Sleep) the pump turns system events into queued messages and
// keeps the screen refreshed. Installed by a windowed display when it opens;
// without one, waits are plain waits and only posted messages arrive.
class MainThreadPump {
public:
    virtual ~MainThreadPump() = default;
    // Called on the pump's own thread. Waits until `deadline` or until Wake,
    // queueing input messages and presenting frames meanwhile. May return
    // early; callers loop.
    virtual void WaitUntil(std::chrono::steady_clock::time_point deadline) = 0;
    // Any thread: makes the pump's current or next WaitUntil return soon.
    virtual void Wake() = 0;
    // Called on the pump's thread before a wait that serves nothing (for
    // another thread to finish).
    virtual void Blocking() = 0;
};

// Called on the main thread by the windowed display: installs the pump (or
// removes it with null) and makes the calling thread its owner.
void InstallMainThreadPump(MainThreadPump* pump);
// The pump when the calling thread is its owner, else null.
MainThreadPump* PumpForThisThread();

// What a top-level window shows on the desktop; made by the installed
// surface factory when the window is created, destroyed with the window.
class WindowSurface {
public:
    virtual ~WindowSurface() = default;
    virtual void SetVisible(bool visible) = 0;
};
using WindowSurfaceFactory = std::unique_ptr<WindowSurface> (*)(HWND window,
                                                                const std::string& title);
// Called by the windowed display on the main thread; null removes it.
void InstallWindowSurfaceFactory(WindowSurfaceFactory factory);

// Called by the pump on the main thread: queues an input message for a window.
void PostInputMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Called by the pump when the system says a window's picture was lost.
void InvalidateWindow(HWND window);
// The first live window that needs painting, or null (main thread).
HWND WindowNeedingPaint();
// Calls a live window's procedure; 0 for a destroyed or unknown window.
LRESULT CallWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Called at exit, after the message loop: drops every queued message and a
// pending quit.
void DiscardQueuedMessages();
