// yuv_picture.h -- the recorded picture straight from the screen's RGB565 pixels to BT.709
// limited-range YUV 4:2:0, through tables, for the H.264 and VP9 encoders
#pragma once

#include <cstdint>

#include "platform/frame_buffer.h"
#include "record/picture.h"
#include "render/hd_frame.h"

// The BT.709 limited-range luma and chroma of an 8-bit RGB colour, rounded:
// what a player turns back into (nearly) that colour.
struct Yuv {
    uint8_t y, u, v;
};
Yuv Bt709Limited(uint8_t r, uint8_t g, uint8_t b);

// Called by the worker threads: writes the picture of `frame` (geometry.width
// and height even) into three planes. Each chroma sample is the mean of the
// four pixels it covers; at an even scale those are one screen pixel, whose
// colour it then is exactly. Padding is black. Integer arithmetic only, so
// every machine writes the same bytes.
void DrawYuv420(const FrameBuffer& frame, const PictureGeometry& geometry, uint8_t* const planes[3],
                const int strides[3]);

// The same from a true-colour frame (at least cropWidth x cropHeight; scale
// 1, geometry.width and height even): each pixel's own luma, each chroma
// sample the mean of its four pixels' chroma, with the same coefficients and
// rounding as the RGB565 path. Padding is black.
void DrawYuv420FromXrgb(const HdFrame& frame, const PictureGeometry& geometry,
                        uint8_t* const planes[3], const int strides[3]);
