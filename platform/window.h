// window.h -- window classes, windows and device contexts, as the handheld's window manager offers
// them
#pragma once

#include <string>

#include "platform/win_types.h"

using WNDPROC = LRESULT (*)(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// A window class. Only what the program uses is implemented: style 0, no
// extra bytes, no icon, no cursor, no menu; anything else is refused loudly.
struct WNDCLASS {
    UINT style = 0;
    WNDPROC lpfnWndProc = nullptr;
    int cbClsExtra = 0;
    int cbWndExtra = 0;
    HINSTANCE hInstance = nullptr;
    HICON hIcon = nullptr;
    HCURSOR hCursor = nullptr;
    HBRUSH hbrBackground = nullptr;
    const char* lpszMenuName = nullptr;
    const char* lpszClassName = nullptr;
};

// The running program's module handle (the argument must be null).
HINSTANCE GetModuleHandle(const char* moduleName);

// A stock brush (only BLACK_BRUSH is provided).
HBRUSH GetStockObject(int object);

// Called on the main thread before CreateWindow: registers a class by name.
// Returns a non-zero atom, or 0 when the name is taken or the procedure or
// name is missing.
ATOM RegisterClass(const WNDCLASS* windowClass);
// Removes a class; non-zero on success.
BOOL UnregisterClass(const char* className, HINSTANCE instance);

// Called on the main thread: creates a top-level window of a registered
// class. Supported: no extended style; styles WS_CAPTION, WS_SYSMENU and
// WS_VISIBLE; position CW_USEDEFAULT; a positive size or CW_USEDEFAULT; no
// parent, no menu, no creation data. Returns null when the class is unknown
// or the desktop cannot make the window. With a windowed display open, the
// window is shown on the desktop with `title` as its caption, holding the
// whole emulated screen; `width` x `height` is the size it would have on the
// handheld, caption included, and is kept but not drawn.
HWND CreateWindowEx(DWORD exStyle, const char* className, const char* title, DWORD style, int x,
                    int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                    void* param);
inline HWND CreateWindow(const char* className, const char* title, DWORD style, int x, int y,
                         int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                         void* param) {
    return CreateWindowEx(0, className, title, style, x, y, width, height, parent, menu, instance,
                          param);
}

// Shows (SW_SHOW, SW_SHOWNORMAL) or hides (SW_HIDE) a window; returns
// whether it was visible before. Other commands are refused loudly.
BOOL ShowWindow(HWND window, int command);
// Sends WM_PAINT straight to the window procedure when the window needs
// painting (as it does once it is first shown); returns FALSE for a window
// that does not exist.
BOOL UpdateWindow(HWND window);
// Hides the window, sends WM_DESTROY to its procedure and removes it from
// the desktop; its handle stays invalid afterwards. Main thread only.
BOOL DestroyWindow(HWND window);
// Whether `window` is a window that has not been destroyed (main thread).
BOOL IsWindow(HWND window);
// The window's title as given at creation ("" for none).
std::string GetWindowTitle(HWND window);

// The window's device context; null for a destroyed or unknown window.
HDC GetDC(HWND window);
// Releases a device context from GetDC: 1 when `dc` is the window's, 0
// otherwise (a null context included).
int ReleaseDC(HWND window, HDC dc);

// The default handling the window procedure passes messages on to:
// WM_CLOSE destroys the window; WM_PAINT validates it; every other message
// is ignored. Returns 0.
LRESULT DefWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Called once when the program ends, after its message loop: removes every
// window from the desktop without sending messages, and forgets the classes.
void DestroyAllWindowsAtExit();
