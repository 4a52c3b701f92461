// view_geometry.cpp -- the view's size and origin from the display's properties
#include "shared/view_geometry.h"

#include <cstddef>
#include <string>

#include "shared/scene_format.h"

bool DisplayHoldsAView(const GXDisplayProperties& properties) {
    return properties.cxWidth >= 1 && properties.cyHeight >= static_cast<uint32_t>(kMinDisplayRows);
}

ViewGeometry ViewGeometryFor(const GXDisplayProperties& properties, void* frameStart) {
    constexpr auto kMaxSide = static_cast<uint32_t>(kMaxViewSide);
    ViewGeometry view;
    view.properties = properties;
    view.width =
        properties.cxWidth <= kMaxSide ? static_cast<int>(properties.cxWidth) : kMaxViewSide;
    view.height =
        properties.cyHeight <= kMaxSide ? static_cast<int>(properties.cyHeight) : kMaxViewSide;
    view.bottomRow = view.height - kBottomRowOffset;
    view.origin =
        reinterpret_cast<uint16_t*>(static_cast<uint8_t*>(frameStart) +
                                    kTopMargin * static_cast<ptrdiff_t>(properties.cbyPitch));
    return view;
}

std::optional<ViewGeometry> ViewOnDisplay(const GXDisplayProperties& properties, void* frameStart,
                                          std::string& why) {
    if (!DisplayHoldsAView(properties)) {
        why = "the display is " + std::to_string(properties.cxWidth) + " x " +
              std::to_string(properties.cyHeight) +
              " pixels, too small for a view (it needs at least 1 x " +
              std::to_string(kMinDisplayRows) + ")";
        return std::nullopt;
    }
    return ViewGeometryFor(properties, frameStart);
}
