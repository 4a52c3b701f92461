// hd_png.h -- the PNG files of the HD maps and pictures: 8-bit RGB and 16-bit grey, read with
// their size checked before any pixel is, and written
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

// The two kinds of PNG the HD maps use.
enum class HdPngKind {
    Rgb8,    // 8-bit RGB, read as 0x00RRGGBB words
    Grey16,  // 16-bit grey, read as 16-bit values
};

// A picture read: width x height, row 0 first; `rgb` filled for Rgb8, `grey` for Grey16.
struct HdPngPicture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> rgb;
    std::vector<uint16_t> grey;
};

// Says why a width x height picture cannot be used ("" when it can); called
// once the header is read, before the pixels are.
using HdPngSizeCheck = std::function<std::string(int width, int height)>;

// Reads a PNG of `kind` from `file` (left open). On failure returns false
// with the problem in `error`, without the file's name: "is 8-bit grey; it
// must be 16-bit grey", the size check's words, or "is truncated or damaged
// (...)". Interlaced files are read too; ancillary chunks are ignored.
bool ReadHdPng(std::FILE* file, HdPngKind kind, const HdPngSizeCheck& checkSize,
               HdPngPicture& picture, std::string& error);

// Writes width x height pixels as an 8-bit RGB PNG: pixel (x, y) is the
// 0x00RRGGBB word xrgb[y * pitch + x] (pitch in pixels). False with a
// message naming `path` when it cannot be written.
bool WriteRgbPng(const std::string& path, int width, int height, const uint32_t* xrgb,
                 ptrdiff_t pitch, std::string& error);

// Writes width x height 16-bit values (row 0 first) as a 16-bit grey PNG.
bool WriteGrey16Png(const std::string& path, int width, int height, const uint16_t* grey,
                    std::string& error);
