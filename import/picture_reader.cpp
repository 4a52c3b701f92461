// picture_reader.cpp -- which reader a picture needs, found from its first bytes, and what the
// readers share: the size check and the hand-off of rows
#include "import/picture_reader.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "import/picture_formats.h"
#include "shared/text.h"

namespace picture_formats {

std::string Named(const std::string& path) {
    return EscapeControls(path);
}

bool SizeAllowed(const std::string& path, int width, int height, std::string& error) {
    if (width >= kMinPictureSide && height >= kMinPictureSide && width <= kMaxPictureSide &&
        height <= kMaxPictureSide)
        return true;
    error = Named(path) + ": the picture is " + std::to_string(width) + " x " +
            std::to_string(height) + "; each side must be " + std::to_string(kMinPictureSide) +
            " to " + std::to_string(kMaxPictureSide) + " pixels";
    return false;
}

// Hands the picture's description to `rows`; a refusal becomes the error,
// naming the file.
bool BeginRows(PictureRows& rows, const PictureInfo& info, const std::string& path,
               std::string& error) {
    std::string refusal;
    if (rows.Begin(info, refusal)) return true;
    error = Named(path) + ": " + refusal;
    return false;
}

// Widens 8-bit RGB (or indexed, through the palette) rows for PictureRows.
void WidenRow(const uint8_t* rgb8, int width, std::vector<uint16_t>& out) {
    for (int i = 0; i < width * 3; ++i)
        out[static_cast<size_t>(i)] = uint16_t(rgb8[i] * 257);
}
void PaletteRow(const uint8_t* indices, int width, const PictureInfo& info,
                std::vector<uint16_t>& out) {
    for (int x = 0; x < width; ++x) {
        const size_t i = indices[x];
        const std::array<uint8_t, 3> c =
            i < info.palette.size() ? info.palette[i] : std::array<uint8_t, 3>{0, 0, 0};
        for (int k = 0; k < 3; ++k)
            out[static_cast<size_t>(x * 3 + k)] = uint16_t(c[k] * 257);
    }
}

}  // namespace picture_formats

namespace {

using namespace picture_formats;

bool Read(const std::string& path, PictureRows* rows, PictureInfo& info, std::string& error) {
    info = PictureInfo{};
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        error = Named(path) + ": no such file";
        return false;
    }
    if (std::filesystem::is_directory(path, ec)) {
        error = Named(path) + ": is a folder, not a picture";
        return false;
    }
    if (IsRawMap(path)) return ReadRaw(path, rows, info, error);
    File file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) {
        error = Named(path) + ": cannot be opened (" + std::strerror(errno) + ")";
        return false;
    }
    uint8_t magic[8] = {};
    const size_t got = std::fread(magic, 1, sizeof magic, file.get());
    std::rewind(file.get());
    if (IsPng(magic, got)) return ReadPng(path, file.get(), rows, info, error);
    if (got >= 6 && (!std::memcmp(magic, "GIF87a", 6) || !std::memcmp(magic, "GIF89a", 6))) {
        file.reset();
        return ReadGif(path, rows, info, error);
    }
    if (got >= 3 && magic[0] == 0xFF && magic[1] == 0xD8 && magic[2] == 0xFF)
        return ReadJpeg(path, file.get(), rows, info, error);
    if (got >= 2 && magic[0] == 'B' && magic[1] == 'M') {
        file.reset();
        return ReadBmp(path, rows, info, error);
    }
    error = Named(path) + (got == 0 ? ": the file is empty"
                                    : ": not a picture this reads (PNG, GIF, BMP, JPEG, or a raw "
                                      ".color/.height map)");
    return false;
}

}  // namespace

bool ReadPicture(const std::string& path, PictureRows& rows, std::string& error) {
    PictureInfo info;
    return Read(path, &rows, info, error);
}

bool ReadPictureInfo(const std::string& path, PictureInfo& info, std::string& error) {
    return Read(path, nullptr, info, error);
}
