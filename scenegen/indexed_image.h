// indexed_image.h -- an 8-bit picture with a 256-colour palette, and its BMP file form
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct PaletteColour {
    uint8_t r = 0, g = 0, b = 0;
};

// Pixels are palette indices, top row first, `width` per row.
struct IndexedImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;
    std::array<PaletteColour, 256> palette{};

    uint8_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// The picture as an uncompressed 8-bit Windows BMP: 14-byte file header,
// 40-byte info header, all 256 palette entries (blue, green, red, 0), then
// the rows bottom-up, each padded to a multiple of 4 bytes.
std::vector<uint8_t> EncodeBmp(const IndexedImage& image);

// Writes `bytes` to `path`; false with a message in `error` on failure.
bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error);
