// gx_headless.cpp -- the headless display device
#include "platform/gx_headless.h"

GXDisplayProperties HeadlessDisplay::Properties() const {
    GXDisplayProperties p;
    p.cxWidth = static_cast<uint32_t>(frame_.Width());
    p.cyHeight = static_cast<uint32_t>(frame_.Height());
    p.cbxPitch = frame_.XPitchBytes();
    p.cbyPitch = frame_.YPitchBytes();
    p.cBPP = 16;
    p.ffFormat = 0x20 | 0x80;  // direct colour, RGB565 (not read by the program)
    return p;
}

HeadlessDisplay& InstallHeadlessDisplay(const DisplayShape& shape) {
    auto device = std::make_unique<HeadlessDisplay>(shape);
    HeadlessDisplay& display = *device;
    GXInstallDevice(std::move(device));
    return display;
}
