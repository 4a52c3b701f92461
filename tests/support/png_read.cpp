// png_read.cpp -- PNG files read through libpng's simplified interface
#include "tests/support/png_read.h"

#include <png.h>

bool ReadPng565(const std::string& path, int& width, int& height, std::vector<uint16_t>& pixels) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) {
        png_image_free(&image);
        return false;
    }
    width = static_cast<int>(image.width);
    height = static_cast<int>(image.height);
    pixels.resize(static_cast<size_t>(width) * height);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<uint16_t>(((rgb[3 * i] >> 3) << 11) | ((rgb[3 * i + 1] >> 2) << 5) |
                                          (rgb[3 * i + 2] >> 3));
    return true;
}
