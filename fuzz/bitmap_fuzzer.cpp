// bitmap_fuzzer.cpp -- libFuzzer target: any bytes as a BMP file through LoadBitmapFile
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz/fuzz_files.h"
#include "render/tables.h"
#include "scene/bitmap_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = ScratchDir() + "picture.bmp";
    if (!WriteScratchFile(path, data, size)) return 0;

    BitmapImage image;
    const int result = LoadBitmapFile(path, image);
    FUZZ_CHECK(result == 1 || result == kBitmapBadHeader);
    if (result != 1) {
        // A refused file leaves the image empty.
        FUZZ_CHECK(image.width == 0 && image.height == 0 && image.bitCount == 0);
        FUZZ_CHECK(image.stride == 0 && image.pixels.empty() && image.palette.empty());
        return 0;
    }

    // What the scene loader and the renderer rely on for an accepted picture.
    FUZZ_CHECK(image.width >= 1 && image.height != 0 && image.bitCount >= 8);
    FUZZ_CHECK(image.stride > 0 && image.stride % 4 == 0);
    FUZZ_CHECK(int64_t{image.stride} * 8 >= int64_t{image.width} * image.bitCount);
    const int64_t rows = image.height < 0 ? -int64_t{image.height} : int64_t{image.height};
    FUZZ_CHECK(static_cast<int64_t>(image.pixels.size()) == int64_t{image.stride} * rows);
    FUZZ_CHECK(static_cast<int64_t>(image.pixels.size()) <= kMaxBitmapBytes);
    FUZZ_CHECK(image.palette.empty() || image.palette.size() == 256);
    if (image.bitCount == 8) FUZZ_CHECK(image.palette.size() == 256);
    for (uint32_t entry : image.palette)
        FUZZ_CHECK((entry >> 24) == 0);

    // Let AddressSanitizer check the whole pixel block in one call: a byte
    // loop here would cost seconds per 64 MiB picture under coverage
    // instrumentation, and time out.
    const uint8_t* begin = image.pixels.data();
    const auto* found = static_cast<const uint8_t*>(std::memchr(begin, 0xA5, image.pixels.size()));
    FUZZ_CHECK(!found || (found >= begin && found < begin + image.pixels.size()));
    if (!image.palette.empty()) {
        static const ColourTables colours = BuildColourTables();
        const ShadeTable shade = BuildShadeTable(image.palette.data());
        FUZZ_CHECK((shade[0] >> 16) == 0);
        ConvertPaletteTo565(image, colours);
        FUZZ_CHECK(image.palette565.size() == 256 && image.palette.empty());
    }
    return 0;
}
