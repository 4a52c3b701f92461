// view_geometry.h -- where the view lies in a display's 16-bit frame buffer
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// A display's description of its frame buffer (six 32-bit fields, as the
// device reports them). Pitches are signed byte distances between
// horizontally (x) and vertically (y) adjacent pixels.
struct GXDisplayProperties {
    uint32_t cxWidth = 0;   // width in pixels
    uint32_t cyHeight = 0;  // height in pixels
    int32_t cbxPitch = 0;   // bytes from pixel (x, y) to (x + 1, y)
    int32_t cbyPitch = 0;   // bytes from pixel (x, y) to (x, y + 1)
    int32_t cBPP = 0;       // bits per pixel
    uint32_t ffFormat = 0;  // format flags
};

// Where the renderer draws: view pixel (col, row) is the 16-bit word at
// origin + col * (cbxPitch / 2) + row * (cbyPitch / 2), for columns
// 0 .. width - 1 and rows 0 .. bottomRow.
struct ViewGeometry {
    int width = 0;      // view columns: the display width, at most 320
    int height = 0;     // the display height, at most 320
    int bottomRow = 0;  // last view row: height - 25
    GXDisplayProperties properties;
    uint16_t* origin = nullptr;  // view column 0, row 0: 24 display rows below the top
};

// Whether a display of these properties has room for a view: at least one
// column and 25 rows (the 24-row margin and one view row).
bool DisplayHoldsAView(const GXDisplayProperties& properties);

// The view on a display whose top-left pixel is at `frameStart`: at most
// 320 x 320 pixels counted from the display's top, below the 24-row margin.
// The display must hold a view.
ViewGeometry ViewGeometryFor(const GXDisplayProperties& properties, void* frameStart);

// The one place every program derives its view from its screen (the demo,
// fly, record, the tool): the view on a display whose top-left pixel is at
// `frameStart`, or nothing, with the reason in `why`, when the display has no
// room for one.
std::optional<ViewGeometry> ViewOnDisplay(const GXDisplayProperties& properties, void* frameStart,
                                          std::string& why);
