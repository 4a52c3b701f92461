// display.cpp -- display setup and view geometry
#include "app/display.h"

#include <cstdint>

#include "platform/gx.h"
#include "platform/message_box.h"
#include "shared/scene_types.h"

namespace {

bool DisplayFailed() {
    MessageBox("GXOpenDisplay failed", "", MB_OK);
    return false;
}

}  // namespace

bool OpenView() {
    if (GXOpenDisplay(nullptr, 0) == 0) return DisplayFailed();
    const GXDisplayProperties properties = GXGetDisplayProperties();
    if (properties.cyHeight < kTopMargin + 1 || properties.cxWidth < 1) return DisplayFailed();

    ViewGeometry view;
    view.properties = properties;
    view.width =
        properties.cxWidth <= kMaxViewSide ? static_cast<int>(properties.cxWidth) : kMaxViewSide;
    view.height =
        properties.cyHeight <= kMaxViewSide ? static_cast<int>(properties.cyHeight) : kMaxViewSide;
    view.bottomRow = view.height - 25;

    void* frame = GXBeginDraw();
    if (!frame) return DisplayFailed();
    view.origin = reinterpret_cast<uint16_t*>(
        static_cast<uint8_t*>(frame) + kTopMargin * static_cast<ptrdiff_t>(properties.cbyPitch));
    viewGeometry = view;
    return true;
}
