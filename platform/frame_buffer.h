// frame_buffer.h -- a 16-bit frame buffer in memory, addressed the way the display library reports
// it
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "shared/view_geometry.h"

// How the screen's pixels lie in memory. Devices store rows top-down or
// bottom-up, and some store the screen rotated; the renderer must draw the
// same picture through the pitches whatever the layout.
enum class DisplayLayout {
    Normal,    // rows top-down: x pitch 2, y pitch 2 * width
    BottomUp,  // rows bottom-up: x pitch 2, y pitch -2 * width
    Rot90,     // memory rows are screen columns, bottom first: x pitch 2 * height, y pitch -2
    Rot180,    // upside down: x pitch -2, y pitch -2 * width
    Rot270,    // memory rows are screen columns, right first: x pitch -2 * height, y pitch 2
};

// A requested screen: size in pixels and memory layout ("240x320:bottom-up").
struct DisplayShape {
    int width = 240;
    int height = 320;
    DisplayLayout layout = DisplayLayout::Normal;
};

constexpr int kMaxDisplaySide = 4096;

// Parses "WxH" or "WxH:LAYOUT" (layouts: normal, bottom-up, rot90, rot180,
// rot270), each side 1..4096. On failure returns false with a message in `error`.
bool ParseDisplayShape(const std::string& text, DisplayShape& shape, std::string& error);
const char* LayoutName(DisplayLayout layout);

// The pixels of one screen, zero at the start.
class FrameBuffer {
public:
    explicit FrameBuffer(const DisplayShape& shape);

    int Width() const { return shape_.width; }
    int Height() const { return shape_.height; }
    const DisplayShape& Shape() const { return shape_; }
    int32_t XPitchBytes() const { return xPitch_ * 2; }
    int32_t YPitchBytes() const { return yPitch_ * 2; }
    // The screen's top-left pixel; pixel (x, y) lies x * XPitchBytes() +
    // y * YPitchBytes() bytes further on.
    uint16_t* TopLeft() { return memory_.data() + topLeft_; }

    uint16_t Pixel(int x, int y) const { return memory_[Index(x, y)]; }
    // The whole screen in screen order: row 0 first, left to right.
    std::vector<uint16_t> ScreenPixels() const;
    // The raw memory, in the layout's own order.
    const std::vector<uint16_t>& Memory() const { return memory_; }
    // Sets every pixel of the memory to `value`.
    void Fill(uint16_t value);

private:
    size_t Index(int x, int y) const {
        return static_cast<size_t>(static_cast<std::ptrdiff_t>(topLeft_) +
                                   static_cast<std::ptrdiff_t>(x) * xPitch_ +
                                   static_cast<std::ptrdiff_t>(y) * yPitch_);
    }

    DisplayShape shape_;
    std::vector<uint16_t> memory_;
    std::ptrdiff_t xPitch_ = 1;  // in pixels
    std::ptrdiff_t yPitch_ = 1;
    std::ptrdiff_t topLeft_ = 0;
};

// What a display drawing into `frame` reports: its size and pitches, 16 bits
// per pixel, RGB565.
GXDisplayProperties FramePropertiesOf(const FrameBuffer& frame);
