// window.cpp -- window classes and window records; what a window shows comes from the installed
// surface factory
#include "platform/window.h"

#include <map>
#include <memory>
#include <vector>

#include "platform/unsupported.h"
#include "platform/window_internal.h"

struct DeviceContextRecord {
    HWND owner = nullptr;
};

struct WindowRecord {
    WNDPROC proc = nullptr;
    std::string title;
    int width = 0;
    int height = 0;
    bool alive = true;
    bool destroying = false;
    bool visible = false;
    bool needsPaint = false;
    DeviceContextRecord dc;
    std::unique_ptr<WindowSurface> surface;
};

struct ModuleRecord {};
struct GdiObjectRecord {};

namespace {

struct ClassRecord {
    WNDPROC proc = nullptr;
    HINSTANCE instance = nullptr;
};

// All of this is touched by the main thread only.
ModuleRecord programModule;
GdiObjectRecord blackBrush;
std::map<std::string, ClassRecord> classes;
std::vector<std::unique_ptr<WindowRecord>> windows;  // never shrinks before exit
WindowSurfaceFactory surfaceFactory = nullptr;

bool Alive(HWND window) {
    if (!window) return false;
    for (const auto& record : windows)
        if (record.get() == window) return record->alive;
    return false;
}

}  // namespace

void InstallWindowSurfaceFactory(WindowSurfaceFactory factory) {
    surfaceFactory = factory;
}

HINSTANCE GetModuleHandle(const char* moduleName) {
    if (moduleName) PlatformUnsupported("GetModuleHandle of another module");
    return &programModule;
}

HBRUSH GetStockObject(int object) {
    if (object != BLACK_BRUSH) PlatformUnsupported("stock object other than BLACK_BRUSH");
    return &blackBrush;
}

ATOM RegisterClass(const WNDCLASS* windowClass) {
    if (!windowClass || !windowClass->lpfnWndProc || !windowClass->lpszClassName ||
        !*windowClass->lpszClassName)
        return 0;
    if (windowClass->style != 0) PlatformUnsupported("window class style");
    if (windowClass->cbClsExtra != 0 || windowClass->cbWndExtra != 0)
        PlatformUnsupported("extra class or window bytes");
    if (windowClass->hIcon || windowClass->hCursor || windowClass->lpszMenuName)
        PlatformUnsupported("class icon, cursor or menu");
    const std::string name = windowClass->lpszClassName;
    if (classes.count(name)) return 0;
    classes[name] = ClassRecord{windowClass->lpfnWndProc, windowClass->hInstance};
    return static_cast<ATOM>(0xC000 + classes.size());
}

BOOL UnregisterClass(const char* className, HINSTANCE /*instance*/) {
    return className && classes.erase(className) ? TRUE : FALSE;
}

HWND CreateWindowEx(DWORD exStyle, const char* className, const char* title, DWORD style, int x,
                    int /*y*/, int width, int height, HWND parent, HMENU menu,
                    HINSTANCE /*instance*/, void* param) {
    if (exStyle != 0) PlatformUnsupported("extended window style");
    if (style & ~(WS_CAPTION | WS_SYSMENU | WS_VISIBLE)) PlatformUnsupported("window style");
    if (x != CW_USEDEFAULT) PlatformUnsupported("window position other than CW_USEDEFAULT");
    if (parent || menu || param) PlatformUnsupported("child window, menu or creation data");
    if (width != CW_USEDEFAULT && (width <= 0 || height <= 0))
        PlatformUnsupported("window size that is not positive");
    if (!className) return nullptr;
    const auto found = classes.find(className);
    if (found == classes.end()) return nullptr;

    auto record = std::make_unique<WindowRecord>();
    record->proc = found->second.proc;
    record->title = title ? title : "";
    record->width = width;
    record->height = width == CW_USEDEFAULT ? CW_USEDEFAULT : height;
    record->dc.owner = record.get();
    HWND window = record.get();
    if (surfaceFactory) {
        record->surface = surfaceFactory(window, record->title);
        if (!record->surface) return nullptr;
    }
    windows.push_back(std::move(record));
    if (style & WS_VISIBLE) ShowWindow(window, SW_SHOW);
    return window;
}

BOOL ShowWindow(HWND window, int command) {
    if (command != SW_HIDE && command != SW_SHOW && command != SW_SHOWNORMAL)
        PlatformUnsupported("ShowWindow command");
    if (!Alive(window)) return FALSE;
    const bool wasVisible = window->visible;
    const bool visible = command != SW_HIDE;
    if (visible != wasVisible) {
        window->visible = visible;
        window->needsPaint = visible;
        if (window->surface) window->surface->SetVisible(visible);
    }
    return wasVisible ? TRUE : FALSE;
}

BOOL UpdateWindow(HWND window) {
    if (!Alive(window)) return FALSE;
    if (window->visible && window->needsPaint) window->proc(window, WM_PAINT, 0, 0);
    return TRUE;
}

BOOL DestroyWindow(HWND window) {
    if (!Alive(window) || window->destroying) return FALSE;
    window->destroying = true;
    if (window->visible) ShowWindow(window, SW_HIDE);
    window->proc(window, WM_DESTROY, 0, 0);
    window->alive = false;
    window->needsPaint = false;
    window->surface.reset();
    return TRUE;
}

BOOL IsWindow(HWND window) {
    return Alive(window) ? TRUE : FALSE;
}

std::string GetWindowTitle(HWND window) {
    return Alive(window) ? window->title : std::string();
}

HDC GetDC(HWND window) {
    return Alive(window) ? &window->dc : nullptr;
}

int ReleaseDC(HWND window, HDC dc) {
    return dc && Alive(window) && dc == &window->dc ? 1 : 0;
}

LRESULT DefWindowProc(HWND window, UINT message, WPARAM /*wParam*/, LPARAM /*lParam*/) {
    if (!Alive(window)) return 0;
    if (message == WM_CLOSE) DestroyWindow(window);
    if (message == WM_PAINT) window->needsPaint = false;
    return 0;
}

void InvalidateWindow(HWND window) {
    if (Alive(window) && window->visible) window->needsPaint = true;
}

HWND WindowNeedingPaint() {
    for (const auto& record : windows)
        if (record->alive && record->visible && record->needsPaint) return record.get();
    return nullptr;
}

LRESULT CallWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!Alive(window)) return 0;
    return window->proc(window, message, wParam, lParam);
}

void DestroyAllWindowsAtExit() {
    for (auto& record : windows) {
        record->alive = false;
        record->surface.reset();
    }
    windows.clear();
    classes.clear();
}
