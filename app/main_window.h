// main_window.h -- the demo's window, which only takes input, and the stop sequence that input
// starts
#pragma once

#include "platform/events.h"

inline constexpr char kWindowTitle[] = "GAPI Demo, github.com/flyover-demo/flyover";

// Set once the camera path has been released. Main thread.
extern int pathFreed;

// Called once by AppMain after the scene is loaded: shows the screen in a
// window titled kWindowTitle, then pauses 10 ms. Returns false, without a
// message, when the window cannot be made.
bool CreateMainWindow();

// Called on the main thread for every input event the message loop takes.
// A close request, a key press and a tap or left-button press run StopDemo;
// other input is ignored.
void MainWindowProc(const InputEvent& event);

// The stop sequence, on the main thread; harmless when run again. Ends the
// render thread (it is asked to stop and waited for; it stops within one
// frame), frees the path, clears renderRunning and posts the quit request
// with code 0.
void StopDemo();

// Releases the scene's camera path once; later calls do nothing. Runs only
// after the render thread has ended.
void FreePath();
