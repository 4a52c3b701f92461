// memory_picture.cpp -- a decoded picture's rows handed to the import
#include "import/memory_picture.h"

#include "shared/text.h"

bool FeedMemoryPicture(const MemoryPicture& picture, PictureRows& rows, std::string& error) {
    const std::string name = EscapeControls(picture.name);
    const int w = picture.width, h = picture.height;
    if (w < kMinPictureSide || h < kMinPictureSide || w > kMaxPictureSide || h > kMaxPictureSide) {
        error = name + ": the picture is " + std::to_string(w) + " x " + std::to_string(h) +
                "; each side must be " + std::to_string(kMinPictureSide) + " to " +
                std::to_string(kMaxPictureSide) + " pixels";
        return false;
    }
    const size_t width = static_cast<size_t>(w);
    if (picture.rgba.size() != width * static_cast<size_t>(h) * 4) {
        error = name + ": " + std::to_string(picture.rgba.size()) + " bytes of pixels for a " +
                std::to_string(w) + " x " + std::to_string(h) + " picture";
        return false;
    }
    PictureInfo info;
    info.format = "decoded";
    info.width = w;
    info.height = h;
    info.description = std::to_string(w) + " x " + std::to_string(h) + " picture, decoded";
    std::string refusal;
    if (!rows.Begin(info, refusal)) {
        error = name + ": " + refusal;
        return false;
    }
    std::vector<uint16_t> row(width * 3);
    for (int y = 0; y < h; ++y) {
        const uint8_t* in = picture.rgba.data() + static_cast<size_t>(y) * width * 4;
        for (size_t x = 0; x < width; ++x)
            for (size_t k = 0; k < 3; ++k)
                row[x * 3 + k] = static_cast<uint16_t>(in[x * 4 + k] * 257);
        rows.Row(y, row.data(), nullptr);
    }
    return true;
}
