// png_read.h -- for tests: reads a PNG file back as RGB565 pixels
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The picture in `path` as RGB565 (each 8-bit channel's top bits), row 0
// first, with its size; false when it cannot be read.
bool ReadPng565(const std::string& path, int& width, int& height, std::vector<uint16_t>& pixels);
