// app_main.h -- the demo's entry: start-up in its fixed order, the message loop, the end
#pragma once

#include "platform/win_types.h"

// The exit status of a start-up that failed (no display, a missing or broken
// scene file, no window). The original program returned 0 here.
constexpr int kStartupFailedExitCode = 1;

// The program's entry, called by the platform's process entry on the main
// thread. The previous instance and the command line are ignored. Opens the
// view, builds the tables, loads the scene from the program's directory,
// creates the window, starts the looping sound and the render thread, then
// takes messages (pausing 40 ms after each) until the quit message, stops the
// sound and returns the quit message's code (0). Returns
// kStartupFailedExitCode at once when a start-up step fails, after the
// step's own message.
int AppMain(HINSTANCE instance, HINSTANCE previousInstance, char* commandLine, int showCommand);
