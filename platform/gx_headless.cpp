// gx_headless.cpp -- the headless display device
#include "platform/gx_headless.h"

GXDisplayProperties FramePropertiesOf(const FrameBuffer& frame) {
    GXDisplayProperties p;
    p.cxWidth = static_cast<uint32_t>(frame.Width());
    p.cyHeight = static_cast<uint32_t>(frame.Height());
    p.cbxPitch = frame.XPitchBytes();
    p.cbyPitch = frame.YPitchBytes();
    p.cBPP = 16;
    p.ffFormat = 0x20 | 0x80;  // direct colour, RGB565 (not read by the program)
    return p;
}

GXDisplayProperties HeadlessDisplay::Properties() const {
    return FramePropertiesOf(frame_);
}

HeadlessDisplay& InstallHeadlessDisplay(const DisplayShape& shape) {
    auto device = std::make_unique<HeadlessDisplay>(shape);
    HeadlessDisplay& display = *device;
    GXInstallDevice(std::move(device));
    return display;
}
