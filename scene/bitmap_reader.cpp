// bitmap_reader.cpp -- the BMP subset the scene pictures use
#include "scene/bitmap_reader.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/files.h"

namespace {

constexpr size_t kFileHeaderBytes = 14;
constexpr size_t kInfoHeaderBytes = 40;
// The longest info header accepted: V5's 124 bytes, with room for longer
// variants that only append fields.
constexpr size_t kMaxInfoHeaderBytes = 1024;

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

// Fills `stored` with the pixel rows of a file whose info header is longer
// than 40 bytes, the stream standing at `paletteEnd` (the byte after the
// palette). Such files come from writers that say where their rows begin in
// bfOffBits: the rows are read from `offBits` when it lies at or after the
// palette's end, within kMaxBitmapBytes of it, and before the file's end;
// otherwise they are read from the palette's end, as for a 40-byte header.
void ReadRowsAtOffset(FileHandle file, uint64_t paletteEnd, uint32_t offBits,
                      std::vector<uint8_t>& stored) {
    const size_t pixelBytes = stored.size();
    // The bytes right after the palette: the rows when the offset is not usable.
    const size_t got = ReadFileBytes(file, stored.data(), pixelBytes);
    if (offBits <= paletteEnd || offBits - paletteEnd > uint64_t{kMaxBitmapBytes}) return;
    const size_t gap = static_cast<size_t>(offBits - paletteEnd);
    if (gap < got) {
        // The rows begin within what was read: move them to the front and
        // read the rest of them.
        std::memmove(stored.data(), stored.data() + gap, got - gap);
        std::memset(stored.data() + (got - gap), 0, pixelBytes - (got - gap));
        if (got == pixelBytes) ReadFileBytes(file, stored.data() + (got - gap), gap);
        return;
    }
    if (got < pixelBytes) return;  // the file ends before the offset
    // Skip to the offset, then read the rows; when the file ends first the
    // offset lies outside it and the bytes after the palette stand.
    uint8_t skip[4096];
    for (size_t left = gap - got; left > 0;) {
        const size_t n = left < sizeof skip ? left : sizeof skip;
        if (ReadFileBytes(file, skip, n) != n) return;
        left -= n;
    }
    std::vector<uint8_t> atOffset(pixelBytes, 0);
    if (ReadFileBytes(file, atOffset.data(), pixelBytes) == 0) return;
    stored.swap(atOffset);
}

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
    const uint32_t offBits = Read32(header + 10);
    const uint32_t infoSize = Read32(info);
    const int32_t width = static_cast<int32_t>(Read32(info + 4));
    const int32_t height = static_cast<int32_t>(Read32(info + 8));
    const uint16_t planes = Read16(info + 12);
    const uint16_t bitCount = Read16(info + 14);
    const uint32_t compression = Read32(info + 16);
    const uint32_t colorsUsed = Read32(info + 32);

    if (planes != 1 || compression != 0 || bitCount < 8 || type != 0x4D42) return kBitmapBadHeader;
    // The original assumed the 40-byte header without looking. Smaller ones
    // (the 12-byte OS/2 header) lay their fields out differently and would be
    // misread; larger ones (V4, V5) extend the 40 bytes and are read below.
    if (infoSize < kInfoHeaderBytes || infoSize > kMaxInfoHeaderBytes) return kBitmapBadHeader;

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

    // The rest of a longer info header (masks, colour space, gamma) says
    // nothing this reader uses; a file that ends inside it is refused.
    if (infoSize > kInfoHeaderBytes) {
        uint8_t rest[kMaxInfoHeaderBytes - kInfoHeaderBytes];
        const size_t restBytes = infoSize - kInfoHeaderBytes;
        if (ReadFileBytes(file, rest, restBytes) != restBytes) return kBitmapBadHeader;
    }

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

    // The pixel rows in file order, then turned top row first: bottom-up
    // files store the bottom row first. Bytes missing from a short file stay
    // zero.
    const size_t rowBytes = static_cast<size_t>(stride);
    image.pixels.assign(rowBytes * static_cast<size_t>(rows), 0);
    if (infoSize == kInfoHeaderBytes) {
        // Keeps the original's reading: the rows follow the palette directly,
        // and the file's pixel offset is not consulted.
        ReadFileBytes(file, image.pixels.data(), image.pixels.size());
    } else {
        const uint64_t paletteEnd = kFileHeaderBytes + uint64_t{infoSize} + paletteCount * 4;
        ReadRowsAtOffset(file, paletteEnd, offBits, image.pixels);
    }
    if (height > 0) {
        uint8_t* top = image.pixels.data();
        uint8_t* bottom = top + (rows - 1) * rowBytes;
        for (; top < bottom; top += rowBytes, bottom -= rowBytes)
            std::swap_ranges(top, top + rowBytes, bottom);
    }
    return 1;
}
