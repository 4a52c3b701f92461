// app_main.h -- the demo's entry: start-up in its fixed order, the message loop, the end
#pragma once

#include "platform/platform.h"

// The exit status of a start-up that failed (no display, a missing or broken
// scene file, no window). The original program returned 0 here.
constexpr int kStartupFailedExitCode = 1;

// The program's entry, called by main() on the main thread with the platform
// the demo runs on. Opens the view, builds the tables, loads the scene from
// the program's directory, shows the window, starts the looping sound and
// the render thread, then takes input events (pausing 40 ms after each)
// until the quit request, stops the sound and returns the quit request's
// code (0). Returns kStartupFailedExitCode at once when a start-up step
// fails, after the step's own message.
int AppMain(Platform& platform);

// AppMain's start-up up to the render thread, in its order: opens the view,
// builds the tables, loads the scene, shows the window and starts the
// looping sound. False after the failing step's own message. For a host that
// drives the frames itself (the web page) instead of a render thread.
bool StartDemo(Platform& platform);
