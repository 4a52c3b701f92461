// main_window.h -- the demo's window, which only takes input, and the stop sequence that input
// starts
#pragma once

#include "platform/win_types.h"

inline constexpr char kWindowClassName[] = "demo";
inline constexpr char kWindowTitle[] = "GAPI Demo, github.com/flyover-demo/flyover";

// The main window, set by CreateMainWindow; read by the render thread, which
// is made after it is set.
extern HWND mainWindow;
// The window's device context, taken by CreateMainWindow and released by
// StopDemo; never drawn on. Main thread.
extern HDC windowDc;
// Set once the camera path has been released. Main thread.
extern int pathFreed;

// Called once by AppMain after the scene is loaded: registers the "demo"
// class, creates the window (caption and system menu, outer size
// viewGeometry.width x viewGeometry.height, position chosen by the system),
// shows it with `showCommand`, updates it, pauses 10 ms and takes its device
// context. Returns false, without a message, when the window cannot be made.
bool CreateMainWindow(int showCommand, HINSTANCE instance);

// The window procedure, called on the main thread. The window's destruction
// (2), a close request (16), a key press (256) and a tap or left-button
// press (513) run StopDemo first; every message then goes to DefWindowProc,
// whose result is returned.
LRESULT MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The stop sequence, on the main thread; harmless when run again. Ends the
// render thread (it is asked to stop and waited for; it stops within one
// frame), frees the path, clears renderRunning, releases the device context
// and posts the quit message with code 0.
void StopDemo();

// Releases the scene's camera path once; later calls do nothing. Runs only
// after the render thread has ended.
void FreePath();
