// png_reader.cpp -- the PNG reader: libpng, 16-bit channels kept, rows read one at a time unless
// interlaced
#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <cstdio>

#include "import/picture_formats.h"

namespace picture_formats {
namespace {

struct PngFailure {
    std::jmp_buf jump;
    char message[200] = "";
};

void PngError(png_structp png, png_const_charp message) {
    auto* failure = static_cast<PngFailure*>(png_get_error_ptr(png));
    std::snprintf(failure->message, sizeof failure->message, "%s", message);
    std::longjmp(failure->jump, 1);
}
void PngWarning(png_structp, png_const_charp) {}

struct PngReadState {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~PngReadState() { png_destroy_read_struct(&png, &info, nullptr); }
};

const char* PngColourName(int colourType) {
    switch (colourType) {
        case PNG_COLOR_TYPE_PALETTE:
            return "indexed";
        case PNG_COLOR_TYPE_GRAY:
            return "grey";
        case PNG_COLOR_TYPE_GRAY_ALPHA:
            return "grey+alpha";
        case PNG_COLOR_TYPE_RGB:
            return "RGB";
        default:
            return "RGBA";
    }
}

}  // namespace

bool IsPng(const uint8_t* magic, size_t got) {
    return got >= 8 && !png_sig_cmp(magic, 0, 8);
}

bool ReadPng(const std::string& path, std::FILE* file, PictureRows* rows, PictureInfo& info,
             std::string& error) {
    PngFailure failure;
    PngReadState state;
    state.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &failure, PngError, PngWarning);
    if (state.png) state.info = png_create_info_struct(state.png);
    if (!state.png || !state.info) {
        error = Named(path) + ": out of memory";
        return false;
    }
    // Everything that lives across the jump is set up before it.
    // (libpng's errors jump back here, past no destructor.)
    std::vector<uint8_t> held, row;
    std::vector<uint16_t> rgb;
    std::vector<png_bytep> pointers;
    if (setjmp(failure.jump)) {
        error = Named(path) + ": not a readable PNG file (" + failure.message + ")";
        return false;
    }
    png_init_io(state.png, file);
    png_read_info(state.png, state.info);
    png_uint_32 width = 0, height = 0;
    int depth = 0, colourType = 0, interlace = 0;
    png_get_IHDR(state.png, state.info, &width, &height, &depth, &colourType, &interlace, nullptr,
                 nullptr);
    info.format = "PNG";
    info.width = static_cast<int>(width);
    info.height = static_cast<int>(height);
    info.bitsPerChannel = depth == 16 ? 16 : 8;
    info.description = std::to_string(width) + " x " + std::to_string(height) + " PNG, " +
                       PngColourName(colourType) + ", " + std::to_string(depth) + "-bit";
    if (!SizeAllowed(path, info.width, info.height, error)) return false;
    if (colourType == PNG_COLOR_TYPE_PALETTE) {
        png_colorp entries = nullptr;
        int count = 0;
        if (!png_get_PLTE(state.png, state.info, &entries, &count) || count <= 0) {
            error = Named(path) + ": the indexed PNG has no palette";
            return false;
        }
        info.indexed = true;
        for (int i = 0; i < count; ++i)
            info.palette.push_back({entries[i].red, entries[i].green, entries[i].blue});
        if (depth < 8) png_set_packing(state.png);
    } else {
        if ((colourType & PNG_COLOR_MASK_COLOR) == 0) {
            if (depth < 8) png_set_expand_gray_1_2_4_to_8(state.png);
            png_set_gray_to_rgb(state.png);
        }
        png_set_strip_alpha(state.png);  // a map has no use for transparency
        if (depth == 16) png_set_swap(state.png);
    }
    if (png_get_valid(state.png, state.info, PNG_INFO_tRNS) && !info.indexed)
        png_set_strip_alpha(state.png);
    const int passes = png_set_interlace_handling(state.png);
    png_read_update_info(state.png, state.info);
    if (!rows) return true;
    if (!BeginRows(*rows, info, path, error)) return false;
    const size_t rowBytes = png_get_rowbytes(state.png, state.info);
    rgb.resize(static_cast<size_t>(width) * 3);
    auto deliver = [&](int y, const uint8_t* bytes) {
        if (info.indexed) {
            PaletteRow(bytes, info.width, info, rgb);
            rows->Row(y, rgb.data(), bytes);
        } else if (depth == 16) {
            std::memcpy(rgb.data(), bytes, rgb.size() * 2);
            rows->Row(y, rgb.data(), nullptr);
        } else {
            WidenRow(bytes, info.width, rgb);
            rows->Row(y, rgb.data(), nullptr);
        }
    };
    if (passes > 1) {
        // Interlaced: the passes fill the whole picture before any row is final.
        if (rowBytes * height > kMaxHeldBytes) {
            error = Named(path) + ": an interlaced PNG this large (" + info.description +
                    ") would need more than 320 MB; save it without interlacing";
            return false;
        }
        held.resize(rowBytes * height);
        pointers.resize(height);
        for (png_uint_32 y = 0; y < height; ++y)
            pointers[y] = held.data() + y * rowBytes;
        png_read_image(state.png, pointers.data());
        for (png_uint_32 y = 0; y < height; ++y)
            deliver(static_cast<int>(y), pointers[y]);
    } else {
        row.resize(rowBytes);
        for (png_uint_32 y = 0; y < height; ++y) {
            png_read_row(state.png, row.data(), nullptr);
            deliver(static_cast<int>(y), row.data());
        }
    }
    png_read_end(state.png, nullptr);
    return true;
}

}  // namespace picture_formats
