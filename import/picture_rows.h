// picture_rows.h -- a picture as the readers hand it on: its description, then its rows in order
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// The largest side a picture may have, and the smallest.
constexpr int kMaxPictureSide = 8192;
constexpr int kMinPictureSide = 64;

struct PictureInfo {
    std::string format;  // "PNG", "GIF", "BMP", "JPEG" or "raw"
    int width = 0;
    int height = 0;
    int bitsPerChannel = 8;                       // 16 for 16-bit PNG
    bool indexed = false;                         // the rows carry palette indices
    std::vector<std::array<uint8_t, 3>> palette;  // indexed pictures: their colours
    std::string description;                      // "1024 x 1024 PNG, grey, 16-bit"
};

// Takes the picture's rows in order, top first. `rgb` holds width x 3
// channels, 0 to 65535 (8-bit values widened by 257); `indices` is the palette
// index of each pixel for an indexed picture, else null.
class PictureRows {
public:
    virtual ~PictureRows() = default;
    // Called once before the rows; false (with a message) refuses the picture.
    virtual bool Begin(const PictureInfo& info, std::string& error) = 0;
    virtual void Row(int y, const uint16_t* rgb, const uint8_t* indices) = 0;
};
