// entry.h -- the process entry of a windowed program: the desktop stand-in around the program's own
// entry
#pragma once

#include "platform/win_types.h"

// The program's entry in the handheld's form: instance, previous instance
// (always null), command line (the arguments joined by spaces), show command.
using WinMainEntry = int (*)(HINSTANCE instance, HINSTANCE previousInstance, char* commandLine,
                             int showCommand);

// Called by main(): prepares the desktop stand-in (SDL hints, message boxes
// on the desktop, and the display chosen from FLYOVER_DISPLAY and
// FLYOVER_SCALE -- the one place where the program's display is chosen),
// runs `entry` with SW_SHOW on this thread, then closes the sound, the
// windows and SDL. Returns the entry's result. A bad FLYOVER_DISPLAY or
// FLYOVER_SCALE is reported on stderr and leaves no display installed, so
// that the program's own display check fails.
int RunWindowedProgram(int argc, char** argv, WinMainEntry entry);
