// main_window.cpp -- window creation, the window procedure and the stop sequence
#include "app/main_window.h"

#include "app/demo_state.h"
#include "app/render_thread.h"
#include "path/key_path.h"
#include "platform/clock.h"
#include "platform/messages.h"
#include "platform/threads.h"
#include "platform/window.h"

HWND mainWindow = nullptr;
HDC windowDc = nullptr;
int pathFreed = 0;

namespace {

// How long StopDemo waits for the render thread before asking it again. A
// thread that had not yet started when it was first asked sets renderRunning
// on starting; asking again ends it at its next frame.
constexpr DWORD kRenderStopRetryMs = 20;

// The handheld terminates the render thread where it stands; here it is
// asked to stop at the top of its next frame and waited for, which ends it
// just the same before the path is freed.
void EndRenderThread() {
    if (!renderThread) return;
    do {
        renderRunning.store(0);
    } while (WaitForSingleObject(renderThread.get(), kRenderStopRetryMs) == WAIT_TIMEOUT);
}

}  // namespace

bool CreateMainWindow(int showCommand, HINSTANCE instance) {
    WNDCLASS windowClass;
    windowClass.style = 0;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = instance;
    windowClass.hIcon = nullptr;
    windowClass.hCursor = nullptr;
    windowClass.hbrBackground = GetStockObject(BLACK_BRUSH);
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = kWindowClassName;
    RegisterClass(&windowClass);  // a failure shows up as a failed creation

    HWND window = CreateWindowEx(0, kWindowClassName, kWindowTitle, WS_CAPTION | WS_SYSMENU,
                                 CW_USEDEFAULT, CW_USEDEFAULT, viewGeometry.width,
                                 viewGeometry.height, nullptr, nullptr, instance, nullptr);
    if (!window) return false;
    mainWindow = window;
    ShowWindow(mainWindow, showCommand);
    UpdateWindow(mainWindow);
    Sleep(10);
    windowDc = GetDC(mainWindow);
    return true;
}

LRESULT MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_DESTROY:
        case WM_CLOSE:
        case WM_KEYDOWN:
        case WM_LBUTTONDOWN:
            StopDemo();
            break;
        default:
            break;
    }
    return DefWindowProc(window, message, wParam, lParam);
}

void StopDemo() {
    EndRenderThread();
    FreePath();
    renderRunning.store(0);
    ReleaseDC(mainWindow, windowDc);
    windowDc = nullptr;
    PostQuitMessage(0);
}

void FreePath() {
    if (pathFreed) return;
    pathFreed = 1;
    if (scene.path) scene.path.reset();
}
