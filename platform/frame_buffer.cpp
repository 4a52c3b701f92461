// frame_buffer.cpp -- memory frame buffers in the layouts real devices use
#include "platform/frame_buffer.h"

#include <algorithm>
#include <cstdlib>

namespace {

struct LayoutNameEntry {
    DisplayLayout layout;
    const char* name;
};
constexpr LayoutNameEntry kLayoutNames[] = {
    {DisplayLayout::Normal, "normal"}, {DisplayLayout::BottomUp, "bottom-up"},
    {DisplayLayout::Rot90, "rot90"},   {DisplayLayout::Rot180, "rot180"},
    {DisplayLayout::Rot270, "rot270"},
};

bool ParseSide(const std::string& text, int& side) {
    if (text.empty() || text.size() > 5) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    side = std::atoi(text.c_str());
    return side >= 1 && side <= kMaxDisplaySide;
}

}  // namespace

const char* LayoutName(DisplayLayout layout) {
    for (const auto& entry : kLayoutNames)
        if (entry.layout == layout) return entry.name;
    return "normal";
}

bool ParseDisplayShape(const std::string& text, DisplayShape& shape, std::string& error) {
    DisplayShape parsed;
    std::string size = text;
    const size_t colon = text.find(':');
    if (colon != std::string::npos) {
        const std::string name = text.substr(colon + 1);
        size = text.substr(0, colon);
        bool known = false;
        for (const auto& entry : kLayoutNames) {
            if (name == entry.name) {
                parsed.layout = entry.layout;
                known = true;
            }
        }
        if (!known) {
            error = "unknown display layout \"" + name +
                    "\" (expected normal, bottom-up, rot90, rot180 or rot270)";
            return false;
        }
    }
    const size_t x = size.find_first_of("xX");
    if (x == std::string::npos || !ParseSide(size.substr(0, x), parsed.width) ||
        !ParseSide(size.substr(x + 1), parsed.height)) {
        error = "bad display size \"" + size + "\" (expected WxH, each side 1 to " +
                std::to_string(kMaxDisplaySide) + ")";
        return false;
    }
    shape = parsed;
    return true;
}

FrameBuffer::FrameBuffer(const DisplayShape& shape)
    : shape_(shape), memory_(static_cast<size_t>(shape.width) * static_cast<size_t>(shape.height)) {
    const std::ptrdiff_t w = shape.width;
    const std::ptrdiff_t h = shape.height;
    switch (shape.layout) {
        case DisplayLayout::Normal:
            xPitch_ = 1, yPitch_ = w, topLeft_ = 0;
            break;
        case DisplayLayout::BottomUp:
            xPitch_ = 1, yPitch_ = -w, topLeft_ = (h - 1) * w;
            break;
        case DisplayLayout::Rot90:
            xPitch_ = h, yPitch_ = -1, topLeft_ = h - 1;
            break;
        case DisplayLayout::Rot180:
            xPitch_ = -1, yPitch_ = -w, topLeft_ = h * w - 1;
            break;
        case DisplayLayout::Rot270:
            xPitch_ = -h, yPitch_ = 1, topLeft_ = (w - 1) * h;
            break;
    }
}

std::vector<uint16_t> FrameBuffer::ScreenPixels() const {
    std::vector<uint16_t> screen(memory_.size());
    size_t at = 0;
    for (int y = 0; y < shape_.height; ++y)
        for (int x = 0; x < shape_.width; ++x)
            screen[at++] = Pixel(x, y);
    return screen;
}

void FrameBuffer::Fill(uint16_t value) {
    std::fill(memory_.begin(), memory_.end(), value);
}

GXDisplayProperties FramePropertiesOf(const FrameBuffer& frame) {
    GXDisplayProperties p;
    p.cxWidth = static_cast<uint32_t>(frame.Width());
    p.cyHeight = static_cast<uint32_t>(frame.Height());
    p.cbxPitch = frame.XPitchBytes();
    p.cbyPitch = frame.YPitchBytes();
    p.cBPP = 16;
    p.ffFormat = 0x20 | 0x80;  // direct colour, RGB565 (not read by the program)
    return p;
}
