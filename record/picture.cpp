// picture.cpp -- cropping, whole-number scaling and widening the screen's RGB565 pixels for the
// recording
#include "record/picture.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "shared/scene_format.h"

PictureGeometry GeometryFor(const DisplayShape& shape, bool viewOnly, int scale) {
    PictureGeometry g;
    g.scale = scale;
    g.cropWidth = shape.width;
    g.cropHeight = shape.height;
    if (viewOnly) {
        g.cropY = kTopMargin;
        g.cropWidth = std::min(shape.width, kMaxViewSide);
        g.cropHeight = std::min(shape.height, kMaxViewSide) - kTopMargin;
    }
    g.width = g.cropWidth * scale;
    g.height = g.cropHeight * scale;
    return g;
}

bool PadToEvenSides(PictureGeometry& geometry) {
    const int width = (geometry.width + 1) & ~1;
    const int height = (geometry.height + 1) & ~1;
    const bool changed = width != geometry.width || height != geometry.height;
    geometry.width = width;
    geometry.height = height;
    return changed;
}

PictureGeometry TrueColourGeometry(int width, int height) {
    PictureGeometry g;
    g.cropWidth = g.width = width;
    g.cropHeight = g.height = height;
    return g;
}

std::string SizeText(int width, int height) {
    return std::to_string(width) + "x" + std::to_string(height);
}

namespace {

std::array<uint32_t, 65536> MakeWideningTable() {
    std::array<uint32_t, 65536> table{};
    for (uint32_t pixel = 0; pixel < table.size(); ++pixel) {
        const uint32_t r5 = (pixel >> 11) & 31u, g6 = (pixel >> 5) & 63u, b5 = pixel & 31u;
        const uint32_t r = (r5 << 3) | (r5 >> 2), g = (g6 << 2) | (g6 >> 4),
                       b = (b5 << 3) | (b5 >> 2);
        table[pixel] = r | g << 8 | b << 16;
    }
    return table;
}

// Writes the crop scaled into `out`: `put(pixel, dest)` writes one output
// pixel of `bytes` bytes; each scaled row is written once and copied down.
template <typename Put>
void DrawScaled(const FrameBuffer& frame, const PictureGeometry& g, int bytes, uint8_t* out,
                ptrdiff_t stride, const uint8_t* padPixel, Put put) {
    const size_t scaledRow = static_cast<size_t>(g.cropWidth) * g.scale * bytes;
    const size_t rowBytes = static_cast<size_t>(g.width) * bytes;
    for (int y = 0; y < g.cropHeight; ++y) {
        uint8_t* first = out + static_cast<ptrdiff_t>(y) * g.scale * stride;
        uint8_t* dest = first;
        for (int x = 0; x < g.cropWidth; ++x) {
            const uint16_t pixel = frame.Pixel(g.cropX + x, g.cropY + y);
            for (int s = 0; s < g.scale; ++s, dest += bytes)
                put(pixel, dest);
        }
        for (size_t b = scaledRow; b < rowBytes; b += bytes)
            std::memcpy(first + b, padPixel, bytes);
        for (int s = 1; s < g.scale; ++s)
            std::memcpy(first + s * stride, first, rowBytes);
    }
    for (int y = g.cropHeight * g.scale; y < g.height; ++y)
        for (size_t b = 0; b < rowBytes; b += bytes)
            std::memcpy(out + y * stride + b, padPixel, bytes);
}

}  // namespace

uint32_t WidenedRgb(uint16_t pixel) {
    static const std::array<uint32_t, 65536> kTable = MakeWideningTable();
    return kTable[pixel];
}

void DrawRgb(const FrameBuffer& frame, const PictureGeometry& geometry, uint8_t* out,
             ptrdiff_t stride) {
    static const uint8_t kBlack[3] = {0, 0, 0};
    DrawScaled(frame, geometry, 3, out, stride, kBlack, [](uint16_t pixel, uint8_t* dest) {
        const uint32_t rgb = WidenedRgb(pixel);
        dest[0] = static_cast<uint8_t>(rgb);
        dest[1] = static_cast<uint8_t>(rgb >> 8);
        dest[2] = static_cast<uint8_t>(rgb >> 16);
    });
}

void DrawIndexed(const FrameBuffer& frame, const PictureGeometry& geometry, const uint8_t* indexOf,
                 uint8_t padIndex, uint8_t* out, ptrdiff_t stride) {
    DrawScaled(frame, geometry, 1, out, stride, &padIndex,
               [indexOf](uint16_t pixel, uint8_t* dest) { *dest = indexOf[pixel]; });
}

void CountColours(const FrameBuffer& frame, const PictureGeometry& g, uint32_t* counts) {
    for (int y = 0; y < g.cropHeight; ++y)
        for (int x = 0; x < g.cropWidth; ++x)
            ++counts[frame.Pixel(g.cropX + x, g.cropY + y)];
}

void DrawRgbFromXrgb(const HdFrame& frame, const PictureGeometry& g, uint8_t* out,
                     ptrdiff_t stride) {
    const size_t rowBytes = static_cast<size_t>(g.width) * 3;
    for (int y = 0; y < g.height; ++y) {
        uint8_t* row = out + static_cast<ptrdiff_t>(y) * stride;
        if (y >= g.cropHeight) {
            std::memset(row, 0, rowBytes);
            continue;
        }
        const uint32_t* in =
            frame.pixels + static_cast<ptrdiff_t>(g.cropY + y) * (frame.pitch / 4) + g.cropX;
        for (int x = 0; x < g.cropWidth; ++x) {
            const uint32_t pixel = in[x];
            row[3 * x] = static_cast<uint8_t>(pixel >> 16);
            row[3 * x + 1] = static_cast<uint8_t>(pixel >> 8);
            row[3 * x + 2] = static_cast<uint8_t>(pixel);
        }
        std::memset(row + static_cast<size_t>(g.cropWidth) * 3, 0,
                    rowBytes - static_cast<size_t>(g.cropWidth) * 3);
    }
}
