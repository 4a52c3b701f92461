// indexed_image.cpp -- BMP encoding of 8-bit pictures and plain file writing
#include "scenegen/indexed_image.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

void Put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

}  // namespace

std::vector<uint8_t> EncodeBmp(const IndexedImage& image) {
    const uint32_t stride = (static_cast<uint32_t>(image.width) + 3u) & ~3u;
    const uint32_t pixelBytes = stride * static_cast<uint32_t>(image.height);
    const uint32_t offset = 14 + 40 + 256 * 4;
    std::vector<uint8_t> out;
    out.reserve(offset + pixelBytes);
    out.push_back('B');
    out.push_back('M');
    Put32(out, offset + pixelBytes);  // file size
    Put32(out, 0);                    // reserved
    Put32(out, offset);               // where the pixels start
    Put32(out, 40);                   // info header size
    Put32(out, static_cast<uint32_t>(image.width));
    Put32(out, static_cast<uint32_t>(image.height));  // positive: rows bottom-up
    Put16(out, 1);                                    // planes
    Put16(out, 8);                                    // bits per pixel
    Put32(out, 0);                                    // no compression
    Put32(out, pixelBytes);
    Put32(out, 2835);  // 72 dots per inch, both ways
    Put32(out, 2835);
    Put32(out, 256);  // palette entries used
    Put32(out, 0);
    for (const PaletteColour& c : image.palette) {
        out.push_back(c.b);
        out.push_back(c.g);
        out.push_back(c.r);
        out.push_back(0);
    }
    for (int y = image.height - 1; y >= 0; --y) {
        const uint8_t* row = image.pixels.data() + static_cast<size_t>(y) * image.width;
        out.insert(out.end(), row, row + image.width);
        out.insert(out.end(), stride - static_cast<uint32_t>(image.width), 0);
    }
    return out;
}

bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes,
                    std::string& error) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    const bool wrote = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    const bool closed = std::fclose(f) == 0;
    if (!wrote || !closed) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}
