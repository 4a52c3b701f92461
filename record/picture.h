// picture.h -- the recorded picture: the whole screen or its view, each pixel scaled to a square
// block, as 8-bit RGB or as palette indices
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/frame_buffer.h"
#include "render/hd_frame.h"

// Where the recorded picture comes from on the screen and how big it is.
struct PictureGeometry {
    int cropX = 0, cropY = 0;           // the top-left screen pixel recorded
    int cropWidth = 0, cropHeight = 0;  // screen pixels recorded
    int scale = 1;                      // output pixels per screen pixel, each way
    int width = 0, height = 0;          // the output picture: the crop scaled, plus any padding
};

// The geometry for `shape`: the whole screen, or with `viewOnly` the view
// alone (the rows below the 24-row margin, at most 320 x 320), each pixel
// `scale` x `scale`.
PictureGeometry GeometryFor(const DisplayShape& shape, bool viewOnly, int scale);

// The geometry of a true-colour (HD view) frame of width x height: the
// whole frame, one output pixel per pixel.
PictureGeometry TrueColourGeometry(int width, int height);

// Rounds the output size up to even sides, as 4:2:0 video needs; the extra
// column or row is black. Returns whether anything changed.
bool PadToEvenSides(PictureGeometry& geometry);

// "480x640"
std::string SizeText(int width, int height);

// The 8-bit red, green and blue of an RGB565 pixel, widened by repeating
// the high bits (as flyover-tool render writes its PNGs): red in bits 0-7,
// green in 8-15, blue in 16-23. A table read by any thread.
uint32_t WidenedRgb(uint16_t pixel);

// Called by the worker threads once a frame is drawn: writes the picture of
// `frame` into `out` as packed 8-bit RGB, rows `stride` bytes apart, the
// padding black.
void DrawRgb(const FrameBuffer& frame, const PictureGeometry& geometry, uint8_t* out,
             ptrdiff_t stride);

// The same as palette indices: `indexOf` maps every RGB565 value to its
// entry (65536 bytes); the padding is `padIndex`.
void DrawIndexed(const FrameBuffer& frame, const PictureGeometry& geometry, const uint8_t* indexOf,
                 uint8_t padIndex, uint8_t* out, ptrdiff_t stride);

// Adds the crop's pixels to `counts` (65536 counters, one per RGB565 value),
// for the GIF palette.
void CountColours(const FrameBuffer& frame, const PictureGeometry& geometry, uint32_t* counts);

// The same from a true-colour frame (at least cropWidth x cropHeight; scale
// 1): its 0x00RRGGBB pixels as packed 8-bit RGB, the padding black.
void DrawRgbFromXrgb(const HdFrame& frame, const PictureGeometry& geometry, uint8_t* out,
                     ptrdiff_t stride);
