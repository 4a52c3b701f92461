// display.cpp -- display setup and view geometry
#include "app/display.h"

#include "app/demo_state.h"
#include "platform/gx.h"
#include "platform/message_box.h"

namespace {

bool DisplayFailed() {
    MessageBox("GXOpenDisplay failed", "", MB_OK);
    return false;
}

}  // namespace

bool OpenView() {
    if (GXOpenDisplay(nullptr, 0) == 0) return DisplayFailed();
    const GXDisplayProperties properties = GXGetDisplayProperties();
    if (!DisplayHoldsAView(properties)) return DisplayFailed();
    void* frame = GXBeginDraw();
    if (!frame) return DisplayFailed();
    viewGeometry = ViewGeometryFor(properties, frame);
    return true;
}
