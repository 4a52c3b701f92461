// picture_reader.cpp -- the readers: libpng for PNG (16-bit kept), giflib for GIF, SDL's BMP
// loader for BMP (every depth, bit fields and RLE), libjpeg-turbo for JPEG, and raw byte
// maps read here
#include "import/picture_reader.h"

#include <SDL.h>
#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

#include "shared/text.h"

namespace {

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

// The most a reader may hold of one picture at once (an interlaced PNG or a
// GIF frame is held whole; SDL holds a BMP whole).
constexpr size_t kMaxHeldBytes = size_t{320} << 20;

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

// ---- PNG -------------------------------------------------------------------

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

// ---- GIF -------------------------------------------------------------------

struct GifCloser {
    void operator()(GifFileType* gif) const {
        int ignored = 0;
        DGifCloseFile(gif, &ignored);
    }
};

bool ReadGif(const std::string& path, PictureRows* rows, PictureInfo& info, std::string& error) {
    int code = 0;
    std::unique_ptr<GifFileType, GifCloser> gif(DGifOpenFileName(path.c_str(), &code));
    auto failed = [&](int c) {
        const char* why = GifErrorString(c);
        error = Named(path) + ": not a readable GIF file (" + (why ? why : "unknown error") + ")";
        return false;
    };
    if (!gif) return failed(code);
    info.format = "GIF";
    info.width = gif->SWidth;
    info.height = gif->SHeight;
    info.indexed = true;
    info.description =
        std::to_string(info.width) + " x " + std::to_string(info.height) + " GIF, indexed, 8-bit";
    if (!SizeAllowed(path, info.width, info.height, error)) return false;
    // The first frame, on the logical screen filled with the background.
    GifRecordType record = UNDEFINED_RECORD_TYPE;
    do {
        if (DGifGetRecordType(gif.get(), &record) == GIF_ERROR) return failed(gif->Error);
        if (record == EXTENSION_RECORD_TYPE) {
            int kind = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif.get(), &kind, &block) == GIF_ERROR) return failed(gif->Error);
            while (block)
                if (DGifGetExtensionNext(gif.get(), &block) == GIF_ERROR) return failed(gif->Error);
        }
    } while (record != IMAGE_DESC_RECORD_TYPE && record != TERMINATE_RECORD_TYPE);
    if (record != IMAGE_DESC_RECORD_TYPE) {
        error = Named(path) + ": the GIF file holds no picture";
        return false;
    }
    if (DGifGetImageDesc(gif.get()) == GIF_ERROR) return failed(gif->Error);
    const GifImageDesc& frame = gif->Image;
    const ColorMapObject* colours = frame.ColorMap ? frame.ColorMap : gif->SColorMap;
    if (!colours) {
        error = Named(path) + ": the GIF file has no colour table";
        return false;
    }
    for (int i = 0; i < colours->ColorCount; ++i)
        info.palette.push_back(
            {colours->Colors[i].Red, colours->Colors[i].Green, colours->Colors[i].Blue});
    if (frame.Left < 0 || frame.Top < 0 || frame.Width <= 0 || frame.Height <= 0 ||
        frame.Left + frame.Width > info.width || frame.Top + frame.Height > info.height) {
        error = Named(path) + ": the GIF's first frame lies outside its screen";
        return false;
    }
    if (!rows) return true;
    if (!BeginRows(*rows, info, path, error)) return false;
    const uint8_t background = static_cast<size_t>(gif->SBackGroundColor) < info.palette.size()
                                   ? static_cast<uint8_t>(gif->SBackGroundColor)
                                   : 0;
    std::vector<uint8_t> screen(static_cast<size_t>(info.width) * info.height, background);
    auto line = [&](int y) {
        return screen.data() + static_cast<size_t>(frame.Top + y) * info.width + frame.Left;
    };
    if (frame.Interlace) {
        constexpr int kStart[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass)
            for (int y = kStart[pass]; y < frame.Height; y += kStep[pass])
                if (DGifGetLine(gif.get(), line(y), frame.Width) == GIF_ERROR)
                    return failed(gif->Error);
    } else {
        for (int y = 0; y < frame.Height; ++y)
            if (DGifGetLine(gif.get(), line(y), frame.Width) == GIF_ERROR)
                return failed(gif->Error);
    }
    std::vector<uint16_t> rgb(static_cast<size_t>(info.width) * 3);
    for (int y = 0; y < info.height; ++y) {
        const uint8_t* indices = screen.data() + static_cast<size_t>(y) * info.width;
        PaletteRow(indices, info.width, info, rgb);
        rows->Row(y, rgb.data(), indices);
    }
    return true;
}

// ---- JPEG ------------------------------------------------------------------

struct JpegFailure {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX] = "";
};

void JpegError(j_common_ptr cinfo) {
    auto* failure = reinterpret_cast<JpegFailure*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, failure->message);
    std::longjmp(failure->jump, 1);
}
void JpegMessage(j_common_ptr) {}

bool ReadJpeg(const std::string& path, std::FILE* file, PictureRows* rows, PictureInfo& info,
              std::string& error) {
    jpeg_decompress_struct cinfo{};
    JpegFailure failure;
    cinfo.err = jpeg_std_error(&failure.manager);
    failure.manager.error_exit = JpegError;
    failure.manager.output_message = JpegMessage;
    // (libjpeg's errors jump back here, past no destructor.)
    std::vector<uint8_t> row;
    std::vector<uint16_t> rgb;
    if (setjmp(failure.jump)) {
        jpeg_destroy_decompress(&cinfo);
        error = Named(path) + ": not a readable JPEG file (" + failure.message + ")";
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, file);
    jpeg_read_header(&cinfo, TRUE);
    info.format = "JPEG";
    info.width = static_cast<int>(cinfo.image_width);
    info.height = static_cast<int>(cinfo.image_height);
    const bool grey = cinfo.jpeg_color_space == JCS_GRAYSCALE;
    info.description = std::to_string(info.width) + " x " + std::to_string(info.height) +
                       " JPEG, " + (grey ? "grey" : "colour") + ", 8-bit";
    bool ok = SizeAllowed(path, info.width, info.height, error);
    if (ok && (cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK)) {
        error = Named(path) + ": a CMYK JPEG cannot be read; save it as RGB";
        ok = false;
    }
    if (ok && rows && !BeginRows(*rows, info, path, error)) ok = false;
    if (!ok || !rows) {
        jpeg_destroy_decompress(&cinfo);
        return ok;
    }
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    row.resize(static_cast<size_t>(cinfo.output_width) * 3);
    rgb.resize(row.size());
    JSAMPROW pointer = row.data();
    for (int y = 0; y < info.height; ++y) {
        jpeg_read_scanlines(&cinfo, &pointer, 1);
        WidenRow(row.data(), info.width, rgb);
        rows->Row(y, rgb.data(), nullptr);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

// ---- BMP -------------------------------------------------------------------

int32_t Le32(const uint8_t* p) {
    return static_cast<int32_t>(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                                uint32_t(p[3]) << 24);
}

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

// ---- raw byte maps ---------------------------------------------------------

std::string LowerExtension(const std::string& path) {
    std::string ext = std::filesystem::path(path).extension().string();
    for (char& c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
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
    const std::string ext = LowerExtension(path);
    if (ext == ".color" || ext == ".height") return ReadRaw(path, rows, info, error);
    File file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) {
        error = Named(path) + ": cannot be opened (" + std::strerror(errno) + ")";
        return false;
    }
    uint8_t magic[8] = {};
    const size_t got = std::fread(magic, 1, sizeof magic, file.get());
    std::rewind(file.get());
    if (got >= 8 && !png_sig_cmp(magic, 0, 8)) return ReadPng(path, file.get(), rows, info, error);
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
