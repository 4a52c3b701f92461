// gx_headless.h -- a display without a screen: a memory frame buffer for tools and tests
#pragma once

#include "platform/frame_buffer.h"
#include "platform/gx.h"

// A frame buffer that is the screen itself: drawing needs no begin/end pass
// and nothing is shown. Pixels start at 0.
class HeadlessDisplay : public GXDevice {
public:
    explicit HeadlessDisplay(const DisplayShape& shape) : frame_(shape) {}

    bool Open() override { return true; }
    GXDisplayProperties Properties() const override;
    void* BeginDraw() override { return frame_.TopLeft(); }
    int EndDraw() override { return 1; }
    int IsDRAMBuffer() const override { return 0; }

    FrameBuffer& Frame() { return frame_; }
    const FrameBuffer& Frame() const { return frame_; }

private:
    FrameBuffer frame_;
};

// Installs a fresh headless display of the given size and layout and returns
// it (owned by the GX layer until another device is installed).
HeadlessDisplay& InstallHeadlessDisplay(const DisplayShape& shape);
