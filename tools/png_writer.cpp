// png_writer.cpp -- RGB565 screens to PNG through libpng
#include "tools/png_writer.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

Rgb8 WidenRgb565(uint16_t pixel) {
    const unsigned r5 = (pixel >> 11) & 31u;
    const unsigned g6 = (pixel >> 5) & 63u;
    const unsigned b5 = pixel & 31u;
    return Rgb8{static_cast<uint8_t>((r5 << 3) | (r5 >> 2)),
                static_cast<uint8_t>((g6 << 2) | (g6 >> 4)),
                static_cast<uint8_t>((b5 << 3) | (b5 >> 2))};
}

namespace {

struct PngWriteState {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~PngWriteState() { png_destroy_write_struct(&png, &info); }
};

// Writes rows of `channels` bytes a pixel (3: RGB, 4: RGBA) through libpng.
bool WritePngBytes(const std::string& path, int width, int height, int channels,
                   std::vector<uint8_t>& bytes, std::string& error) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "wb"),
                                                         &std::fclose);
    if (!file) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    std::vector<png_bytep> rows(static_cast<size_t>(height));
    for (int y = 0; y < height; ++y)
        rows[y] = bytes.data() + static_cast<size_t>(y) * width * channels;

    PngWriteState state;
    state.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (state.png) state.info = png_create_info_struct(state.png);
    if (!state.png || !state.info) {
        error = "cannot write " + path + ": out of memory";
        return false;
    }
    if (setjmp(png_jmpbuf(state.png))) {
        error = "cannot write " + path + ": libpng failed";
        return false;
    }
    png_init_io(state.png, file.get());
    png_set_IHDR(state.png, state.info, static_cast<png_uint_32>(width),
                 static_cast<png_uint_32>(height), 8,
                 channels == 4 ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_rows(state.png, state.info, rows.data());
    png_write_png(state.png, state.info, PNG_TRANSFORM_IDENTITY, nullptr);
    if (std::fflush(file.get()) != 0 || std::ferror(file.get())) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace

bool WritePng(const std::string& path, int width, int height, const std::vector<uint16_t>& pixels,
              std::string& error) {
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
    for (size_t i = 0; i < pixels.size() && i * 3 < rgb.size(); ++i) {
        const Rgb8 c = WidenRgb565(pixels[i]);
        rgb[i * 3] = c.r;
        rgb[i * 3 + 1] = c.g;
        rgb[i * 3 + 2] = c.b;
    }
    return WritePngBytes(path, width, height, 3, rgb, error);
}

bool WriteArgbPng(const std::string& path, int width, int height,
                  const std::vector<uint32_t>& argb, std::string& error) {
    std::vector<uint8_t> rgba(static_cast<size_t>(width) * height * 4);
    for (size_t i = 0; i < argb.size() && i * 4 < rgba.size(); ++i) {
        rgba[i * 4] = static_cast<uint8_t>(argb[i] >> 16);
        rgba[i * 4 + 1] = static_cast<uint8_t>(argb[i] >> 8);
        rgba[i * 4 + 2] = static_cast<uint8_t>(argb[i]);
        rgba[i * 4 + 3] = static_cast<uint8_t>(argb[i] >> 24);
    }
    return WritePngBytes(path, width, height, 4, rgba, error);
}
