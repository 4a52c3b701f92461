// screen.h -- the screen the program draws 16-bit frames on, the true-colour frames at the
// window's own size, and the window that shows them
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "shared/view_geometry.h"

// A picture shown over the screen's frames in its window and never written
// into the frame buffer: pixels 0xAARRGGBB (alpha 0 lets the frame show
// through, 255 covers it), `width` x `height` in screen pixels, row 0 first,
// placed at the screen's top left. An empty image shows nothing.
// Over true-colour frames, each overlay pixel covers `scale` x `scale`
// window pixels, so that its text stays legible on a large window.
struct OverlayImage {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
    int scale = 1;

    bool Empty() const { return width <= 0 || height <= 0; }
};

// A window's icon: a square picture in the overlay's pixel format.
using WindowIcon = OverlayImage;

// A true-colour frame: pixel (x, y) is the XRGB8888 word (0x00RRGGBB) at
// pixels + y * pitch / 4 + x; pitch in bytes, a multiple of 4, at least
// width * 4. Empty when the screen has none.
struct TrueColourFrame {
    uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    ptrdiff_t pitch = 0;

    bool Empty() const { return !pixels || width <= 0 || height <= 0; }
};

// A display's frame buffer of 16-bit RGB565 pixels, in the memory layout the
// display reports (rows top-down or bottom-up, or the screen stored
// rotated). Either the frame buffer is the display itself, and whatever is
// written shows at once, or it is a memory copy that Present brings to the
// display. Made by a Platform; lives until the platform goes.
class Screen {
public:
    virtual ~Screen() = default;

    // The frame buffer's size and layout: width and height in pixels, x and
    // y pitches in bytes (either may be negative), 16 bits per pixel.
    virtual GXDisplayProperties Properties() const = 0;

    // The address of the screen's top-left pixel, the same for the screen's
    // whole life; pixel (x, y) lies x * x pitch + y * y pitch bytes further.
    virtual uint16_t* TopLeft() = 0;

    // True when the frame buffer is a memory copy of the display, so that
    // each frame is drawn between BeginFrame and Present.
    virtual bool IsMemoryCopy() const = 0;

    // Called by the render thread before and after drawing a frame into a
    // memory copy. Present brings the finished frame to the display and keeps
    // the drawing to the display's pace: it may wait up to about a refresh
    // period and a half for the display to take the frame.
    virtual void BeginFrame() = 0;
    virtual void Present() = 0;

    // Called by the thread that draws, before Present: `overlay` is shown
    // over every picture from the next Present on, until the next call. The
    // frame buffer is left alone, so pictures read from it never hold the
    // overlay. A screen with no window to show it on keeps it (tests read it
    // back); one that cannot composite shows nothing more.
    virtual void SetOverlay(const OverlayImage& overlay) = 0;

    // Called on the main thread: shows the screen in a window with `title`
    // (the whole screen, scaled as the platform chooses). False, after a line
    // on stderr saying why, when no window can be made.
    virtual bool ShowWindow(const std::string& title) = 0;

    // Called on the main thread before ShowWindow: the picture the window
    // manager shows for the window (task bar, switcher), pixels 0xAARRGGBB as
    // the overlay's. A screen without a window keeps it for tests.
    virtual void SetWindowIcon(const WindowIcon& icon) = 0;

    // True-colour pictures, drawn at the window's own pixel size and shown
    // 1:1 instead of the frame buffer's (a screen shows one or the other:
    // the first NextTrueColourFrame call switches it for good). Screens that
    // cannot show them say false and give empty frames.
    virtual bool SupportsTrueColour() const { return false; }
    // Whether true-colour pictures were asked for (the window made for them:
    // FLYOVER_VIEW=hd for the demo); a program that can draw them then does.
    virtual bool WantsTrueColour() const { return false; }
    // Called by the drawing thread before each true-colour picture: a frame
    // of the window's current drawable size (it follows resizing and full
    // screen from one picture to the next), the drawing thread's until
    // PresentTrueColour.
    virtual TrueColourFrame NextTrueColourFrame() { return {}; }
    // Shows the frame NextTrueColourFrame gave, with the overlay over it, and
    // keeps the drawing to the display's pace as Present does.
    virtual void PresentTrueColour() {}
};
