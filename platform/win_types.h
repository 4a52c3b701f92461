// win_types.h -- the handheld system's handle, message and flag names that the program's code uses
#pragma once

#include <cstdint>

// Handles are opaque pointers; the records behind them belong to the platform.
struct WindowRecord;
struct DeviceContextRecord;
struct ModuleRecord;
struct GdiObjectRecord;

using HWND = WindowRecord*;
using HDC = DeviceContextRecord*;
using HINSTANCE = ModuleRecord*;
using HBRUSH = GdiObjectRecord*;
using HICON = void*;
using HCURSOR = void*;
using HMENU = void*;

using UINT = uint32_t;
using DWORD = uint32_t;
using BOOL = int;
using ATOM = uint16_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;

constexpr BOOL FALSE = 0;
constexpr BOOL TRUE = 1;

// Messages the platform produces (the handheld system's numbers).
constexpr UINT WM_DESTROY = 2;        // sent by DestroyWindow while the window still exists
constexpr UINT WM_PAINT = 15;         // the window has been exposed and needs repainting
constexpr UINT WM_CLOSE = 16;         // a request to close the window (system or PostMessage)
constexpr UINT WM_QUIT = 18;          // ends the message loop; wParam carries the exit code
constexpr UINT WM_KEYDOWN = 256;      // a key was pressed; wParam is the key's SDL key code
constexpr UINT WM_LBUTTONDOWN = 513;  // stylus tap or left button; lParam is x | y << 16

// Window styles the program uses.
constexpr DWORD WS_CAPTION = 0x00C00000;
constexpr DWORD WS_SYSMENU = 0x00080000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000u);

// ShowWindow commands.
constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOW = 5;

// GetStockObject brushes.
constexpr int BLACK_BRUSH = 4;

constexpr LPARAM MakeLParam(int low, int high) {
    return static_cast<LPARAM>((static_cast<uint32_t>(low) & 0xFFFFu) |
                               ((static_cast<uint32_t>(high) & 0xFFFFu) << 16));
}
