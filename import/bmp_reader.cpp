// bmp_reader.cpp -- the BMP reader: the size from the headers, then SDL's BMP loader (every depth,
// bit fields and RLE)
#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "import/picture_formats.h"

namespace picture_formats {
namespace {

int32_t Le32(const uint8_t* p) {
    return static_cast<int32_t>(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                                uint32_t(p[3]) << 24);
}

}  // namespace

bool ReadBmp(const std::string& path, PictureRows* rows, PictureInfo& info, std::string& error) {
    // The size from the headers first, so that SDL never holds a picture
    // larger than allowed.
    uint8_t header[30] = {};
    {
        std::ifstream in(path, std::ios::binary);
        in.read(reinterpret_cast<char*>(header), sizeof header);
        if (in.gcount() < 26) {
            error = Named(path) + ": the BMP file is cut short in its headers";
            return false;
        }
    }
    const int32_t dibSize = Le32(header + 14);
    int64_t width = 0, height = 0;
    if (dibSize == 12) {
        width = header[18] | header[19] << 8;
        height = header[20] | header[21] << 8;
    } else {
        width = Le32(header + 18);
        height = Le32(header + 22);
    }
    height = height < 0 ? -height : height;
    info.format = "BMP";
    info.width = static_cast<int>(std::clamp<int64_t>(width, -1, INT32_MAX));
    info.height = static_cast<int>(std::clamp<int64_t>(height, -1, INT32_MAX));
    if (!SizeAllowed(path, info.width, info.height, error)) return false;
    std::unique_ptr<SDL_Surface, void (*)(SDL_Surface*)> surface(SDL_LoadBMP(path.c_str()),
                                                                 SDL_FreeSurface);
    if (!surface) {
        error = Named(path) + ": not a readable BMP file (" + SDL_GetError() + ")";
        return false;
    }
    info.width = surface->w;
    info.height = surface->h;
    const SDL_Palette* palette = surface->format->palette;
    info.indexed = palette && surface->format->BitsPerPixel == 8;
    if (info.indexed)
        for (int i = 0; i < palette->ncolors; ++i)
            info.palette.push_back(
                {palette->colors[i].r, palette->colors[i].g, palette->colors[i].b});
    info.description = std::to_string(info.width) + " x " + std::to_string(info.height) + " BMP, " +
                       (info.indexed ? "indexed" : "RGB") + ", " +
                       std::to_string(dibSize == 12 ? header[24] | header[25] << 8
                                                    : header[28] | header[29] << 8) +
                       "-bit";
    if (!SizeAllowed(path, info.width, info.height, error)) return false;
    if (!rows) return true;
    if (!BeginRows(*rows, info, path, error)) return false;
    std::vector<uint16_t> rgb(static_cast<size_t>(info.width) * 3);
    if (info.indexed) {
        for (int y = 0; y < info.height; ++y) {
            const auto* indices = static_cast<const uint8_t*>(surface->pixels) +
                                  static_cast<size_t>(y) * static_cast<size_t>(surface->pitch);
            PaletteRow(indices, info.width, info, rgb);
            rows->Row(y, rgb.data(), indices);
        }
        return true;
    }
    // Row by row, so that no second copy of a large picture is held.
    std::vector<uint8_t> row(static_cast<size_t>(info.width) * 3);
    for (int y = 0; y < info.height; ++y) {
        const auto* from = static_cast<const uint8_t*>(surface->pixels) +
                           static_cast<size_t>(y) * static_cast<size_t>(surface->pitch);
        if (SDL_ConvertPixels(info.width, 1, surface->format->format, from, surface->pitch,
                              SDL_PIXELFORMAT_RGB24, row.data(), info.width * 3) != 0) {
            error = Named(path) + ": the BMP's pixels cannot be converted (" + SDL_GetError() + ")";
            return false;
        }
        WidenRow(row.data(), info.width, rgb);
        rows->Row(y, rgb.data(), nullptr);
    }
    return true;
}

}  // namespace picture_formats
