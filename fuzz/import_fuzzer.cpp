// import_fuzzer.cpp -- libFuzzer target: any bytes as a picture through flyover-tool import's
// readers (PNG, GIF, JPEG, BMP through SDL, raw maps) and the fitting to a map
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_files.h"
#include "import/map_fit.h"
#include "shared/scene_format.h"

// The first byte chooses how the rest is read: bit 0 names the file as a raw
// height map (raw maps are known by their names, every other kind by its
// bytes), bit 1 takes a region 1:1 instead of fitting, bits 2-7 place it;
// a region placed at an x of 4 or more is a piece of fractional size fitted
// instead, as the other picture of a pair of different sizes gives it.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    static const std::string picture = ScratchDir() + "picture.pic";
    static const std::string raw = ScratchDir() + "picture.height";
    const std::string& path = (data[0] & 1) ? raw : picture;
    if (!WriteScratchFile(path, data + 1, size - 1)) return 0;

    MapSource source;
    source.region = (data[0] & 2) != 0;
    source.x = (data[0] >> 2) & 7;
    source.y = data[0] >> 5;
    if (source.region && source.x >= 4) {
        source.region = false;
        source.left = source.x * 3.7;
        source.top = source.y * 2.3;
        source.width = 40.5 + source.y * 31.25;
        source.height = 30.25 + source.x * 17.5;
    }
    FittedMap map;
    std::string error;
    if (!FitPicture(path, kMapSide, kMapSide, source, map, error)) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    // What the importer relies on for an accepted picture: a whole map of
    // finite colours and heights in range, and indices only from the palette.
    FUZZ_CHECK(map.width == kMapSide && map.height == kMapSide);
    FUZZ_CHECK(map.rgb.size() == size_t{kMapCells} * 3);
    FUZZ_CHECK(map.luminance.size() == size_t{kMapCells} && map.peak.size() == size_t{kMapCells});
    FUZZ_CHECK(map.picture.width >= kMinPictureSide && map.picture.width <= kMaxPictureSide);
    FUZZ_CHECK(map.picture.height >= kMinPictureSide && map.picture.height <= kMaxPictureSide);
    FUZZ_CHECK(map.colours.size() <= 256);
    for (size_t i = 0; i < map.luminance.size(); ++i) {
        FUZZ_CHECK(std::isfinite(map.luminance[i]) && map.luminance[i] >= -1.0f &&
                   map.luminance[i] <= 65536.0f);
        FUZZ_CHECK(map.peak[i] + 1.0f >= map.luminance[i]);
    }
    if (!map.indices.empty()) FUZZ_CHECK(map.indices.size() == size_t{kMapCells});
    FUZZ_CHECK(std::isfinite(map.sourceStep) && map.sourceStep >= 0);
    FUZZ_CHECK(map.sourceLow <= map.sourceHigh && map.sourceHigh <= 65536.0f);
    FUZZ_CHECK(map.colouredShare >= 0 && map.colouredShare <= 1);
    return 0;
}
