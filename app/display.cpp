// display.cpp -- display setup and view geometry
#include "app/display.h"

#include "app/demo_state.h"

namespace {

bool DisplayFailed() {
    platform->ShowErrorBox("GXOpenDisplay failed", "");
    return false;
}

}  // namespace

bool OpenView() {
    screen = platform->OpenScreen();
    if (!screen) return DisplayFailed();
    const GXDisplayProperties properties = screen->Properties();
    if (!DisplayHoldsAView(properties)) return DisplayFailed();
    viewGeometry = ViewGeometryFor(properties, screen->TopLeft());
    return true;
}
