// windowed_options.h -- how a windowed platform shows the screen: the emulated display's shape, the
// window's scale, and the counters it keeps
#pragma once

#include <cstdint>
#include <string>

#include "platform/frame_buffer.h"

// What the windowed screen emulates and how large it is shown.
struct WindowedDisplayOptions {
    DisplayShape shape;  // the emulated screen, 240 x 320 normal by default
    int scale = 0;       // window pixels per screen pixel; 0: the largest that fits the desktop
    // The input reported: false for what the demo takes (key presses, taps
    // or left-button presses, close requests); true for every key and button
    // going down and up, pointer motion and game controllers.
    bool fullInput = false;
    // Whether the window may be resized; the picture keeps to whole scales,
    // centred, with black around it.
    bool resizable = false;
    // A window for true-colour pictures (Screen::NextTrueColourFrame):
    // trueColourWidth x trueColourHeight window pixels at the start (0: the
    // emulated screen at the scale), resizable, pictures shown 1:1 at its own
    // pixel size, and F11 toggles full screen (the key is not reported).
    bool trueColour = false;
    int trueColourWidth = 0, trueColourHeight = 0;
};

// Counters of a windowed screen, for measurements and tests.
struct WindowedDisplayStatistics {
    uint64_t framesPublished = 0;         // frames the render thread finished (Present)
    uint64_t framesPresented = 0;         // pictures put on the desktop window
    int scale = 0;                        // the scale in use, 0 before the screen is open
    double refreshHz = 0;                 // the refresh rate frames are paced to
    bool presentWaitsForRefresh = false;  // true when presenting itself waits for vsync
    uint32_t windowId = 0;             // the window system's id of the window, 0 before it is shown
    uint64_t picturesWithOverlay = 0;  // pictures put on the window with an overlay over them
};

constexpr int kMaxWindowScale = 16;
// Room left on the desktop for the window's caption and frame, in pixels.
constexpr int kWindowFrameAllowance = 64;

// Reads FLYOVER_DISPLAY ("WxH[:LAYOUT]", as flyover-tool's --display) and
// FLYOVER_SCALE (1..16). Unset or empty variables keep the defaults. On a
// bad value returns false with a message naming the variable in `error`.
bool WindowedDisplayOptionsFrom(const char* displayVariable, const char* scaleVariable,
                                WindowedDisplayOptions& options, std::string& error);

// Reads FLYOVER_VIEW: unset, empty or "faithful" keeps the emulated screen;
// "hd" asks for a true-colour window (the emulated screen's size at the
// scale at first, resizable, F11 for full screen) on which the demo draws
// the HD view. Another value: false with a message naming the variable.
bool WindowedViewFrom(const char* viewVariable, WindowedDisplayOptions& options,
                      std::string& error);

// The largest whole scale at which a screenWidth x screenHeight screen, with
// kWindowFrameAllowance rows of caption, fits a usableWidth x usableHeight
// desktop; at least 1.
int ChooseWindowScale(int screenWidth, int screenHeight, int usableWidth, int usableHeight);
