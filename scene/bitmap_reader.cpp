// bitmap_reader.cpp -- the BMP subset the scene pictures use
#include "scene/bitmap_reader.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "scene/regular_file.h"

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

// Reads up to `count` bytes, fewer when the file ends first. Reads in
// pieces, so that a header promising far more than the file holds costs only
// what the file holds.
std::vector<uint8_t> ReadUpTo(std::FILE* file, size_t count) {
    constexpr size_t kPiece = size_t{1} << 20;
    std::vector<uint8_t> data;
    while (data.size() < count) {
        const size_t old = data.size();
        const size_t piece = std::min(count - old, kPiece);
        data.resize(old + piece);
        const size_t got = ReadBytes(file, data.data() + old, piece);
        data.resize(old + got);
        if (got < piece) break;
    }
    return data;
}

// Skips `count` bytes; false when the file ends first.
bool Skip(std::FILE* file, uint64_t count) {
    uint8_t scrap[4096];
    while (count > 0) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(count, sizeof scrap));
        if (ReadBytes(file, scrap, n) != n) return false;
        count -= n;
    }
    return true;
}

// The pixel rows, up to `pixelBytes` bytes in file order, the stream standing
// at `paletteEnd` (the byte after the palette). The rows are read from
// `offBits` when it lies after the palette's end, within kMaxBitmapBytes of
// it, and before the file's end; otherwise from the palette's end, where the
// original always read them, and where every file whose offset is exactly
// the headers and the palette has them.
std::vector<uint8_t> ReadRowsAtOffset(std::FILE* file, uint64_t paletteEnd, uint32_t offBits,
                                      size_t pixelBytes) {
    // The bytes right after the palette: the rows when the offset is not usable.
    std::vector<uint8_t> afterPalette = ReadUpTo(file, pixelBytes);
    if (offBits <= paletteEnd || offBits - paletteEnd > uint64_t{kMaxBitmapBytes})
        return afterPalette;
    const size_t gap = static_cast<size_t>(offBits - paletteEnd);
    if (gap < afterPalette.size()) {
        // The rows begin within what was read: drop the gap, read the rest.
        const bool more = afterPalette.size() == pixelBytes;
        afterPalette.erase(afterPalette.begin(),
                           afterPalette.begin() + static_cast<std::ptrdiff_t>(gap));
        if (more) {
            const std::vector<uint8_t> rest = ReadUpTo(file, gap);
            afterPalette.insert(afterPalette.end(), rest.begin(), rest.end());
        }
        return afterPalette;
    }
    // The file ends at or before the offset: the offset is outside it.
    if (afterPalette.size() < pixelBytes) return afterPalette;
    if (!Skip(file, gap - afterPalette.size())) return afterPalette;
    std::vector<uint8_t> atOffset = ReadUpTo(file, pixelBytes);
    return atOffset.empty() ? afterPalette : atOffset;
}

// The name of a BMP compression method.
std::string CompressionName(uint32_t compression) {
    switch (compression) {
        case 1:
            return "RLE8";
        case 2:
            return "RLE4";
        case 3:
            return "bit fields";
        case 4:
            return "JPEG";
        case 5:
            return "PNG";
        case 6:
            return "alpha bit fields";
        default:
            return "method " + std::to_string(compression);
    }
}

}  // namespace

int LoadBitmapFile(const std::string& path, BitmapImage& image) {
    std::string why;
    return LoadBitmapFile(path, image, why);
}

int LoadBitmapFile(const std::string& path, BitmapImage& image, std::string& why) {
    image = BitmapImage{};

    const FilePointer opened = OpenRegularFile(path, &why);
    if (!opened) return kBitmapOpenFailed;
    std::FILE* const file = opened.get();
    const auto refuse = [&why](std::string reason) {
        why = std::move(reason);
        return kBitmapBadHeader;
    };

    uint8_t header[kFileHeaderBytes + kInfoHeaderBytes];
    // A file shorter than the two headers cannot be judged: refuse it.
    const size_t got = ReadBytes(file, header, sizeof header);
    if (got < 2 || Read16(header) != 0x4D42)
        return refuse("is not a BMP picture (no \"BM\" at its start)");
    if (got != sizeof header)
        return refuse("ends after " + std::to_string(got) + " bytes, inside its headers");
    const uint8_t* info = header + kFileHeaderBytes;
    const uint32_t offBits = Read32(header + 10);
    const uint32_t infoSize = Read32(info);
    const int32_t width = static_cast<int32_t>(Read32(info + 4));
    const int32_t height = static_cast<int32_t>(Read32(info + 8));
    const uint16_t planes = Read16(info + 12);
    const uint16_t bitCount = Read16(info + 14);
    const uint32_t compression = Read32(info + 16);
    const uint32_t colorsUsed = Read32(info + 32);

    // The original assumed the 40-byte header without looking. Smaller ones
    // (the 12-byte OS/2 header) lay their fields out differently and would be
    // misread; larger ones (V4, V5) extend the 40 bytes and are read below.
    if (infoSize < kInfoHeaderBytes || infoSize > kMaxInfoHeaderBytes)
        return refuse("has an info header of " + std::to_string(infoSize) +
                      " bytes; 40 to 1024 are read");
    if (planes != 1) return refuse("has " + std::to_string(planes) + " planes; 1 is read");
    if (compression != 0)
        return refuse("is compressed (" + CompressionName(compression) +
                      "); only uncompressed pictures are read");
    if (bitCount < 8)
        return refuse("has " + std::to_string(bitCount) + " bits a pixel; 8 or more are read");

    // The shape must make a pixel block we can hold: computed in 64 bits so
    // that no product wraps, and bounded before anything is allocated.
    if (width <= 0 || height == 0 || height == INT32_MIN)
        return refuse("is " + std::to_string(width) + " x " + std::to_string(height) +
                      " pixels: no picture");
    const int64_t stride = ((int64_t{bitCount} * width + 31) >> 3) & ~int64_t{3};
    const int64_t rows = height < 0 ? -int64_t{height} : int64_t{height};
    if (stride > kMaxBitmapBytes || stride * rows > kMaxBitmapBytes)
        return refuse("is " + std::to_string(width) + " x " + std::to_string(rows) + " at " +
                      std::to_string(bitCount) + " bits: more than 64 MiB of pixels");

    uint32_t paletteCount = colorsUsed;
    if (paletteCount == 0 && bitCount == 8) paletteCount = 256;
    // The palette block holds 256 entries; a file declaring more is refused.
    if (paletteCount > 256)
        return refuse("declares " + std::to_string(paletteCount) +
                      " palette entries; at most 256 are read");

    // The rest of a longer info header (masks, colour space, gamma) says
    // nothing this reader uses; a file that ends inside it is refused.
    if (infoSize > kInfoHeaderBytes) {
        uint8_t rest[kMaxInfoHeaderBytes - kInfoHeaderBytes];
        const size_t restBytes = infoSize - kInfoHeaderBytes;
        if (ReadBytes(file, rest, restBytes) != restBytes)
            return refuse("ends inside its " + std::to_string(infoSize) + "-byte info header");
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
        ReadBytes(file, stored, paletteCount * 4);
        image.palette.assign(256, 0);
        for (int e = 0; e < 256; ++e) {
            const uint8_t* b = stored + e * 4;
            image.palette[static_cast<size_t>(e)] =
                (uint32_t{b[0]} << 16) | (uint32_t{b[1]} << 8) | b[2];
        }
    }

    // The pixel rows in file order, each put in its place top row first:
    // bottom-up files store the bottom row first. Bytes missing from a short
    // file stay zero.
    const size_t rowBytes = static_cast<size_t>(stride);
    const size_t pixelBytes = rowBytes * static_cast<size_t>(rows);
    // The original read the rows right after the palette whatever bfOffBits
    // said, and so took the bytes of a gap before them for pixels; a gap is
    // skipped here, and a file without one reads as it always did.
    const std::vector<uint8_t> stored = ReadRowsAtOffset(
        file, kFileHeaderBytes + uint64_t{infoSize} + paletteCount * 4, offBits, pixelBytes);
    image.pixels.assign(pixelBytes, 0);
    for (size_t k = 0; k * rowBytes < stored.size(); ++k) {
        const size_t row = height >= 0 ? static_cast<size_t>(rows) - 1 - k : k;
        const size_t n = std::min(rowBytes, stored.size() - k * rowBytes);
        std::memcpy(image.pixels.data() + row * rowBytes, stored.data() + k * rowBytes, n);
    }
    return 1;
}
