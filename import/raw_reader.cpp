// raw_reader.cpp -- raw byte maps: a square ".color" map with its ".palette" beside it, or a
// ".height" map of grey levels
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "import/picture_formats.h"

namespace picture_formats {
namespace {

std::string LowerExtension(const std::string& path) {
    std::string ext = std::filesystem::path(path).extension().string();
    for (char& c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

}  // namespace

bool IsRawMap(const std::string& path) {
    const std::string ext = LowerExtension(path);
    return ext == ".color" || ext == ".height";
}

bool ReadRaw(const std::string& path, PictureRows* rows, PictureInfo& info, std::string& error) {
    std::error_code ec;
    const uintmax_t size = std::filesystem::file_size(path, ec);
    int side = 0;
    while (static_cast<uintmax_t>(side + 1) * (side + 1) <= size && side <= kMaxPictureSide)
        ++side;
    if (ec || static_cast<uintmax_t>(side) * side != size) {
        error = Named(path) + ": a raw map must be a square of bytes; " + std::to_string(size) +
                " bytes is not";
        return false;
    }
    info.format = "raw";
    info.width = info.height = side;
    info.indexed = true;
    info.description = std::to_string(side) + " x " + std::to_string(side) + " raw byte map";
    if (!SizeAllowed(path, side, side, error)) return false;
    // The .palette beside a pair of raw maps belongs to the colour map: a
    // height map's bytes are heights, whatever palette lies beside it.
    std::filesystem::path palettePath = path;
    palettePath.replace_extension(".palette");
    const bool heights = LowerExtension(path) == ".height";
    std::ifstream paletteFile;
    if (!heights) paletteFile.open(palettePath, std::ios::binary);
    if (heights) {
        for (int i = 0; i < 256; ++i)
            info.palette.push_back({uint8_t(i), uint8_t(i), uint8_t(i)});
    } else if (paletteFile) {
        uint8_t bytes[768] = {};
        paletteFile.read(reinterpret_cast<char*>(bytes), sizeof bytes);
        if (paletteFile.gcount() != 768) {
            error = Named(palettePath.string()) + ": a palette file must hold 768 bytes (256 RGB)";
            return false;
        }
        for (int i = 0; i < 256; ++i)
            info.palette.push_back({bytes[i * 3], bytes[i * 3 + 1], bytes[i * 3 + 2]});
    } else {
        error = Named(path) + ": a raw colour map needs its palette beside it (" +
                Named(palettePath.string()) + ")";
        return false;
    }
    if (!rows) return true;
    if (!BeginRows(*rows, info, path, error)) return false;
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> indices(static_cast<size_t>(side));
    std::vector<uint16_t> rgb(static_cast<size_t>(side) * 3);
    for (int y = 0; y < side; ++y) {
        in.read(reinterpret_cast<char*>(indices.data()), side);
        if (in.gcount() != side) {
            error = Named(path) + ": the file was cut short while it was read";
            return false;
        }
        PaletteRow(indices.data(), side, info, rgb);
        rows->Row(y, rgb.data(), indices.data());
    }
    return true;
}

}  // namespace picture_formats
