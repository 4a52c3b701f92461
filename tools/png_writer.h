// png_writer.h -- writes RGB565 screens as 8-bit RGB PNG files, and ARGB pictures as RGBA ones
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Widens an RGB565 pixel to 8-bit channels by bit replication.
struct Rgb8 {
    uint8_t r, g, b;
};
Rgb8 WidenRgb565(uint16_t pixel);

// Writes `pixels` (width x height, row 0 first) to `path` as an 8-bit RGB
// PNG. Returns false with a message in `error` when the file cannot be written.
bool WritePng(const std::string& path, int width, int height, const std::vector<uint16_t>& pixels,
              std::string& error);

// Writes `argb` (pixels 0xAARRGGBB, width x height, row 0 first) to `path` as
// an 8-bit RGBA PNG. Returns false with a message in `error` on failure.
bool WriteArgbPng(const std::string& path, int width, int height,
                  const std::vector<uint32_t>& argb, std::string& error);
