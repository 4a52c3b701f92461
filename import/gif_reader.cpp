// gif_reader.cpp -- the GIF reader: giflib, the first frame, its palette kept
#include <gif_lib.h>

#include <algorithm>

#include "import/picture_formats.h"

namespace picture_formats {
namespace {

struct GifCloser {
    void operator()(GifFileType* gif) const {
        int ignored = 0;
        DGifCloseFile(gif, &ignored);
    }
};

}  // namespace

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

}  // namespace picture_formats
