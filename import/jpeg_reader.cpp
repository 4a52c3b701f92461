// jpeg_reader.cpp -- the JPEG reader: libjpeg-turbo, grey or RGB, rows read one at a time
// jpeglib.h needs size_t and FILE declared before it.
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>

#include "import/picture_formats.h"

namespace picture_formats {
namespace {

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

}  // namespace

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

}  // namespace picture_formats
