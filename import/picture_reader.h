// picture_reader.h -- reads the pictures people keep their maps in (PNG, GIF, BMP, JPEG and
// raw byte maps with a palette), row by row, so that a picture of any allowed size is
// resampled without being held whole
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

// Reads the picture at `path`, whose kind is found from its first bytes (a
// ".color" or ".height" file is a raw map, square; a ".color" map has its
// colours in the ".palette" file beside it, a ".height" map's bytes are grey
// levels whatever lies beside it). False with a message naming the file and what
// is wrong with it when it cannot be read, is larger than kMaxPictureSide or
// smaller than kMinPictureSide on a side, or `rows` refuses it.
bool ReadPicture(const std::string& path, PictureRows& rows, std::string& error);

// Only the picture's kind, size and palette, without its rows.
bool ReadPictureInfo(const std::string& path, PictureInfo& info, std::string& error);
