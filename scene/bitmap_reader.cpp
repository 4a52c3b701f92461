// bitmap_reader.cpp -- the BMP subset the scene pictures use
#include "scene/bitmap_reader.h"

#include <cstring>
#include <vector>

#include "platform/files.h"

namespace {

constexpr size_t kFileHeaderBytes = 14;
constexpr size_t kInfoHeaderBytes = 40;

uint16_t Read16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t Read32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Closes the file whichever way the read ends.
struct FileCloser {
    FileHandle file;
    ~FileCloser() { CloseFileHandle(file); }
};

}  // namespace

int LoadBitmapFile(const std::string& path, BitmapImage& image) {
    image = BitmapImage{};

    const FileHandle file = OpenFileForReading(path);
    if (file == kInvalidFileHandle) return kBitmapOpenFailed;
    FileCloser closer{file};

    uint8_t header[kFileHeaderBytes + kInfoHeaderBytes];
    // A file shorter than the two headers cannot be judged: refuse it.
    if (ReadFileBytes(file, header, sizeof header) != sizeof header) return kBitmapBadHeader;
    const uint8_t* info = header + kFileHeaderBytes;
    const uint16_t type = Read16(header);
    const int32_t width = static_cast<int32_t>(Read32(info + 4));
    const int32_t height = static_cast<int32_t>(Read32(info + 8));
    const uint16_t planes = Read16(info + 12);
    const uint16_t bitCount = Read16(info + 14);
    const uint32_t compression = Read32(info + 16);
    const uint32_t colorsUsed = Read32(info + 32);

    if (planes != 1 || compression != 0 || bitCount < 8 || type != 0x4D42) return kBitmapBadHeader;

    // The shape must make a pixel block we can hold: computed in 64 bits so
    // that no product wraps, and bounded before anything is allocated.
    if (width <= 0 || height == 0 || height == INT32_MIN) return kBitmapBadHeader;
    const int64_t stride = ((int64_t{bitCount} * width + 31) >> 3) & ~int64_t{3};
    const int64_t rows = height < 0 ? -int64_t{height} : int64_t{height};
    if (stride > kMaxBitmapBytes || stride * rows > kMaxBitmapBytes) return kBitmapBadHeader;

    uint32_t paletteCount = colorsUsed;
    if (paletteCount == 0 && bitCount == 8) paletteCount = 256;
    // The palette block holds 256 entries; a file declaring more is refused.
    if (paletteCount > 256) return kBitmapBadHeader;

    image.width = width;
    image.height = height;
    image.bitCount = bitCount;
    image.stride = static_cast<int32_t>(stride);

    if (paletteCount > 0) {
        // Stored entries are blue, green, red, reserved; kept as the value whose
        // bytes in memory read red, green, blue, 0. Entries the file does not
        // declare stay zero.
        uint8_t stored[256 * 4] = {};
        ReadFileBytes(file, stored, paletteCount * 4);
        image.palette.assign(256, 0);
        for (int e = 0; e < 256; ++e) {
            const uint8_t* b = stored + e * 4;
            image.palette[e] = (uint32_t{b[0]} << 16) | (uint32_t{b[1]} << 8) | b[2];
        }
    }

    // Rows in file order: bottom-up files store the bottom row first. Bytes
    // missing from a short file stay zero.
    const size_t rowBytes = static_cast<size_t>(stride);
    image.pixels.assign(rowBytes * static_cast<size_t>(rows), 0);
    for (int64_t k = 0; k < rows; ++k) {
        const int64_t row = height >= 0 ? rows - 1 - k : k;
        if (ReadFileBytes(file, image.pixels.data() + row * rowBytes, rowBytes) != rowBytes) break;
    }
    return 1;
}
