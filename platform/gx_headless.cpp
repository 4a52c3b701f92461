// gx_headless.cpp -- the headless display device
#include "platform/gx_headless.h"

GXDisplayProperties HeadlessDisplay::Properties() const {
    return FramePropertiesOf(frame_);
}

HeadlessDisplay& InstallHeadlessDisplay(const DisplayShape& shape) {
    auto device = std::make_unique<HeadlessDisplay>(shape);
    HeadlessDisplay& display = *device;
    GXInstallDevice(std::move(device));
    return display;
}
