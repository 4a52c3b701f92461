// windowed_display.h -- the emulated handheld screen in a desktop window: choosing it and asking
// how it runs
#pragma once

#include <cstdint>
#include <string>

#include "platform/frame_buffer.h"

// What the windowed display emulates and how large it is shown.
struct WindowedDisplayOptions {
    DisplayShape shape;  // the emulated screen, 240 x 320 normal by default
    int scale = 0;       // window pixels per screen pixel; 0: the largest that fits the desktop
};

constexpr int kMaxWindowScale = 16;
// Room left on the desktop for the window's caption and frame, in pixels.
constexpr int kWindowFrameAllowance = 64;

// Reads FLYOVER_DISPLAY ("WxH[:LAYOUT]", as flyover-tool's --display) and
// FLYOVER_SCALE (1..16). Unset or empty variables keep the defaults. On a
// bad value returns false with a message naming the variable in `error`.
bool WindowedDisplayOptionsFrom(const char* displayVariable, const char* scaleVariable,
                                WindowedDisplayOptions& options, std::string& error);

// The largest whole scale at which a screenWidth x screenHeight screen, with
// kWindowFrameAllowance rows of caption, fits a usableWidth x usableHeight
// desktop; at least 1.
int ChooseWindowScale(int screenWidth, int screenHeight, int usableWidth, int usableHeight);

// Called by the program's entry before its start-up: makes the GX calls use a
// windowed display with `options`. GXOpenDisplay then fails when no desktop
// can be reached (for example without DISPLAY, or with an unknown
// SDL_VIDEODRIVER).
void InstallWindowedDisplay(const WindowedDisplayOptions& options);

// Counters of the installed windowed display, for measurements and tests.
struct WindowedDisplayStatistics {
    uint64_t framesPublished = 0;         // frames the render thread finished (GXEndDraw)
    uint64_t framesPresented = 0;         // pictures put on the desktop window
    int scale = 0;                        // the scale in use, 0 before the display is open
    double refreshHz = 0;                 // the refresh rate frames are paced to
    bool presentWaitsForRefresh = false;  // true when presenting itself waits for vsync
};
WindowedDisplayStatistics GetWindowedDisplayStatistics();
