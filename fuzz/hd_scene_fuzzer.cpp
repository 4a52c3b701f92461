// hd_scene_fuzzer.cpp -- libFuzzer target: any bytes as a scene's HD colour map, height map or
// sky through the HD maps' PNG reader
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "fuzz/fuzz_files.h"
#include "hdscene/hd_scene.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    // The first byte picks the file; the rest is its bytes.
    const int which = data[0] % 3;
    std::FILE* file = fmemopen(const_cast<uint8_t*>(data + 1), size - 1, "rb");
    if (!file) return 0;
    HdSceneMaps maps;
    std::string error;
    const bool read = which == 0   ? ReadHdColourMap(file, maps, error)
                      : which == 1 ? ReadHdHeightMap(file, maps, error)
                                   : ReadHdSky(file, maps, error);
    std::fclose(file);
    if (!read) {
        // A refused file says why and leaves nothing behind.
        FUZZ_CHECK(!error.empty());
        FUZZ_CHECK(maps.colour.empty() && maps.height.empty() && maps.sky.empty());
        return 0;
    }
    // What BuildHdTerrain relies on for what was accepted.
    if (which == 2) {
        FUZZ_CHECK(CheckHdSkySize(maps.skyWidth, maps.skyHeight).empty());
        FUZZ_CHECK(maps.sky.size() ==
                   static_cast<size_t>(maps.skyWidth) * static_cast<size_t>(maps.skyHeight));
        for (uint32_t pixel : maps.sky)
            FUZZ_CHECK((pixel >> 24) == 0);
        return 0;
    }
    FUZZ_CHECK(CheckHdMapSize(maps.side, maps.side).empty());
    const size_t cells = static_cast<size_t>(maps.side) * static_cast<size_t>(maps.side);
    FUZZ_CHECK(which == 0 ? maps.colour.size() == cells : maps.height.size() == cells);
    for (uint32_t pixel : maps.colour)
        FUZZ_CHECK((pixel >> 24) == 0);
    return 0;
}
