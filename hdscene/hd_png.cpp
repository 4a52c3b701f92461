// hd_png.cpp -- reading and writing the HD maps' PNG files through libpng
#include "hdscene/hd_png.h"

#include <png.h>

#include <bit>
#include <cerrno>
#include <csetjmp>
#include <cstring>

namespace {

constexpr bool kLittleEndian = std::endian::native == std::endian::little;

// libpng's structures, freed however the reading or writing ends. Errors
// longjmp back to the setjmp of the function that owns the state, with
// libpng's words kept in `message`.
struct PngState {
    bool writing = false;
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::string message;
    std::FILE* out = nullptr;  // writing: the file, closed here

    ~PngState() {
        if (writing)
            png_destroy_write_struct(&png, &info);
        else
            png_destroy_read_struct(&png, &info, nullptr);
        if (out) std::fclose(out);
    }
};

void OnError(png_structp png, png_const_charp message) {
    static_cast<PngState*>(png_get_error_ptr(png))->message = message ? message : "";
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

// "8-bit RGB", "16-bit grey", "4-bit palette", ... for a header's colour type.
std::string KindName(int bitDepth, int colourType) {
    std::string kind = std::to_string(bitDepth) + "-bit ";
    switch (colourType) {
        case PNG_COLOR_TYPE_GRAY:
            return kind + "grey";
        case PNG_COLOR_TYPE_GRAY_ALPHA:
            return kind + "grey with alpha";
        case PNG_COLOR_TYPE_RGB:
            return kind + "RGB";
        case PNG_COLOR_TYPE_RGB_ALPHA:
            return kind + "RGBA";
        case PNG_COLOR_TYPE_PALETTE:
            return kind + "palette";
        default:
            return kind + "colour type " + std::to_string(colourType);
    }
}

// Why a header of `depth` and `type` is not of `kind` ("" when it is).
std::string KindProblem(HdPngKind kind, int depth, int type) {
    if (kind == HdPngKind::Rgb8)
        return depth == 8 && type == PNG_COLOR_TYPE_RGB
                   ? ""
                   : "is " + KindName(depth, type) + "; it must be 8-bit RGB";
    return depth == 16 && type == PNG_COLOR_TYPE_GRAY
               ? ""
               : "is " + KindName(depth, type) + "; it must be 16-bit grey";
}

}  // namespace

bool ReadHdPng(std::FILE* file, HdPngKind kind, const HdPngSizeCheck& checkSize,
               HdPngPicture& picture, std::string& error) {
    picture = {};
    // The signature and the header chunk, read here so that a file of the
    // wrong kind or size is refused by its header alone, whatever follows it.
    png_byte head[33];
    const size_t got = std::fread(head, 1, sizeof head, file);
    if (got == 0) {
        error = "is empty";
        return false;
    }
    if (got < 8 || png_sig_cmp(head, 0, 8) != 0) {
        error = "is not a PNG file";
        return false;
    }
    const auto big32 = [&](int at) {
        return static_cast<uint32_t>(head[at]) << 24 | static_cast<uint32_t>(head[at + 1]) << 16 |
               static_cast<uint32_t>(head[at + 2]) << 8 | static_cast<uint32_t>(head[at + 3]);
    };
    if (got == sizeof head && big32(8) == 13 && std::memcmp(head + 12, "IHDR", 4) == 0 &&
        big32(16) <= 0x7fffffffu && big32(20) <= 0x7fffffffu) {
        if (std::string problem = KindProblem(kind, head[24], head[25]); !problem.empty()) {
            error = problem;
            return false;
        }
        if (std::string problem =
                checkSize(static_cast<int>(big32(16)), static_cast<int>(big32(20)));
            !problem.empty()) {
            error = problem;
            return false;
        }
    }
    if (std::fseek(file, 8, SEEK_SET) != 0) {
        error = "cannot be read: " + std::string(std::strerror(errno));
        return false;
    }
    PngState state;
    state.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &state, OnError, OnWarning);
    if (state.png) state.info = png_create_info_struct(state.png);
    if (!state.png || !state.info) {
        error = "cannot be read: out of memory";
        return false;
    }
    std::vector<png_bytep> rows;
    if (setjmp(png_jmpbuf(state.png))) {
        picture = {};
        error = "is truncated or damaged (" + state.message + ")";
        return false;
    }
    png_init_io(state.png, file);
    png_set_sig_bytes(state.png, 8);
    // Every size the format allows reaches checkSize, which names the problem.
    png_set_user_limits(state.png, 0x7fffffff, 0x7fffffff);
    png_read_info(state.png, state.info);
    const int width = static_cast<int>(png_get_image_width(state.png, state.info));
    const int height = static_cast<int>(png_get_image_height(state.png, state.info));
    const int depth = png_get_bit_depth(state.png, state.info);
    const int type = png_get_color_type(state.png, state.info);
    const bool rgb = kind == HdPngKind::Rgb8;
    if (std::string problem = KindProblem(kind, depth, type); !problem.empty()) {
        error = problem;
        return false;
    }
    if (std::string problem = checkSize(width, height); !problem.empty()) {
        error = problem;
        return false;
    }
    if (rgb) {
        // Straight into 0x00RRGGBB words: B, G, R, 0 in memory on a little-endian machine.
        if constexpr (kLittleEndian) {
            png_set_bgr(state.png);
            png_set_filler(state.png, 0, PNG_FILLER_AFTER);
        } else {
            png_set_filler(state.png, 0, PNG_FILLER_BEFORE);
        }
    } else if constexpr (kLittleEndian) {
        png_set_swap(state.png);
    }
    png_set_interlace_handling(state.png);
    png_read_update_info(state.png, state.info);
    const size_t bytesPerPixel = rgb ? 4 : 2;
    if (png_get_rowbytes(state.png, state.info) != static_cast<size_t>(width) * bytesPerPixel) {
        error = "is truncated or damaged (unexpected row length)";
        return false;
    }
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    picture.width = width;
    picture.height = height;
    unsigned char* base;
    if (rgb) {
        picture.rgb.assign(count, 0);
        base = reinterpret_cast<unsigned char*>(picture.rgb.data());
    } else {
        picture.grey.assign(count, 0);
        base = reinterpret_cast<unsigned char*>(picture.grey.data());
    }
    rows.resize(static_cast<size_t>(height));
    for (size_t y = 0; y < rows.size(); ++y)
        rows[y] = base + y * static_cast<size_t>(width) * bytesPerPixel;
    png_read_image(state.png, rows.data());
    png_read_end(state.png, nullptr);
    return true;
}

namespace {

// Opens `path` and writes a width x height PNG of `depth` and `type`, each
// row given by `row(y)` in the file's byte order.
template <typename RowFn>
bool WritePngRows(const std::string& path, int width, int height, int depth, int type, bool swap16,
                  RowFn row, std::string& error) {
    PngState state;
    state.writing = true;
    state.out = std::fopen(path.c_str(), "wb");
    if (!state.out) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    state.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &state, OnError, OnWarning);
    if (state.png) state.info = png_create_info_struct(state.png);
    if (!state.png || !state.info) {
        error = "cannot write " + path + ": out of memory";
        return false;
    }
    if (setjmp(png_jmpbuf(state.png))) {
        error = "cannot write " + path + ": " + state.message;
        return false;
    }
    png_init_io(state.png, state.out);
    png_set_IHDR(state.png, state.info, static_cast<png_uint_32>(width),
                 static_cast<png_uint_32>(height), depth, type, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(state.png, state.info);
    if (swap16) png_set_swap(state.png);
    for (int y = 0; y < height; ++y)
        png_write_row(state.png, row(y));
    png_write_end(state.png, nullptr);
    std::FILE* out = state.out;
    state.out = nullptr;
    if (std::fflush(out) != 0 || std::ferror(out)) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        std::fclose(out);
        return false;
    }
    if (std::fclose(out) != 0) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace

bool WriteRgbPng(const std::string& path, int width, int height, const uint32_t* xrgb,
                 ptrdiff_t pitch, std::string& error) {
    std::vector<png_byte> line(static_cast<size_t>(width) * 3);
    const auto row = [&](int y) {
        const uint32_t* in = xrgb + static_cast<ptrdiff_t>(y) * pitch;
        for (size_t x = 0; x < static_cast<size_t>(width); ++x) {
            line[x * 3] = static_cast<png_byte>(in[x] >> 16);
            line[x * 3 + 1] = static_cast<png_byte>(in[x] >> 8);
            line[x * 3 + 2] = static_cast<png_byte>(in[x]);
        }
        return line.data();
    };
    return WritePngRows(path, width, height, 8, PNG_COLOR_TYPE_RGB, false, row, error);
}

bool WriteGrey16Png(const std::string& path, int width, int height, const uint16_t* grey,
                    std::string& error) {
    const auto row = [&](int y) {
        // libpng takes a non-const row; with png_set_swap it swaps a copy.
        return reinterpret_cast<png_bytep>(
            const_cast<uint16_t*>(grey + static_cast<size_t>(y) * static_cast<size_t>(width)));
    };
    return WritePngRows(path, width, height, 16, PNG_COLOR_TYPE_GRAY, kLittleEndian, row, error);
}
