// hd_maps.h -- the generated scene's HD maps: its 256 x 256 maps refined to a finer side, with
// detail added, so that their block means give back the 256 x 256 heights
#pragma once

#include <cstdint>
#include <vector>

// HD maps in memory (no file format here: the tool writes them).
struct GeneratedHdMaps {
    int side = 0;
    std::vector<uint32_t> colour;  // 0x00RRGGBB, cell = y * side + x
    std::vector<uint16_t> height;  // h16; h8 x 256 matches a faithful height byte
};

// The side "flyover-tool scene" writes.
constexpr int kGeneratedHdSide = 1024;

// The HD maps of the scene GenerateScene(seed) makes, at `side` (a power of
// two from 512 to 8192): heights interpolated between the faithful cells'
// centres, with fine relief of about half a height byte added on land, then
// corrected so that each side/256 x side/256 block's mean, / 256, rounds to
// the faithful byte (water stays flat); colours interpolated from the colour
// map's palette colours, shaded by the fine relief. The same seed gives the
// same maps on every machine (integer arithmetic throughout).
GeneratedHdMaps GenerateHdMaps(uint64_t seed, int side);
