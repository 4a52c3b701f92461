// gx.h -- the display library's calls (GAPI), served by whichever display device is installed
#pragma once

#include <memory>

#include "shared/view_geometry.h"

// A display the GX calls can serve: a memory frame buffer that is the screen
// itself (headless) or a copy of it that EndDraw brings to a window.
class GXDevice {
public:
    virtual ~GXDevice() = default;
    // Gains access to the display; false when it cannot be had.
    virtual bool Open() = 0;
    virtual GXDisplayProperties Properties() const = 0;
    // The address of the screen's top-left pixel, or null.
    virtual void* BeginDraw() = 0;
    // Ends a drawing pass; a memory copy brings the frame to the screen here.
    virtual int EndDraw() = 0;
    // Non-zero when the frame buffer is a memory copy of the screen.
    virtual int IsDRAMBuffer() const = 0;
};

// Chooses the display that the GX calls use, before OpenView runs. This is
// the one place where a program picks its headless or windowed display.
void GXInstallDevice(std::unique_ptr<GXDevice> device);
GXDevice* GXInstalledDevice();

// Called by OpenView with no window and no flags: non-zero on success, zero
// when no device is installed or it cannot be opened.
int GXOpenDisplay(void* window, unsigned long flags);
int GXCloseDisplay();
// The open display's properties (all zero when none is open).
GXDisplayProperties GXGetDisplayProperties();
// The address of the screen's top-left pixel; null when no display is open.
void* GXBeginDraw();
int GXEndDraw();
// Non-zero when the open display is a memory copy of the screen, so that each
// frame must be drawn between GXBeginDraw and GXEndDraw.
int GXIsDisplayDRAMBuffer();
