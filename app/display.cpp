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
    // A display too small for a view fails as the original's display
    // failure does, in the original's words.
    std::string why;
    const std::optional<ViewGeometry> view =
        ViewOnDisplay(screen->Properties(), screen->TopLeft(), why);
    if (!view) return DisplayFailed();
    viewGeometry = *view;
    return true;
}
