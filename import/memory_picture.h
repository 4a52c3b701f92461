// memory_picture.h -- a picture already decoded into RGBA pixels (by a browser, say) handed to the
// import as its readers hand on a picture read from a file
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "import/picture_rows.h"

// A decoded picture: 8-bit RGBA, rows top first, no padding. Its alpha is
// not used (the maps are opaque).
struct MemoryPicture {
    std::string name;  // what messages call it (the file's name)
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba;  // width x height x 4
};

// Hands `picture` to `rows` as a picture reader does: its description
// ("1024 x 768 picture, decoded"), then its rows widened to 16 bits. False
// with a message naming the picture when its pixels do not fill its size,
// when a side is smaller than kMinPictureSide or larger than
// kMaxPictureSide, or when `rows` refuses it.
bool FeedMemoryPicture(const MemoryPicture& picture, PictureRows& rows, std::string& error);
