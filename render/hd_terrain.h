// hd_terrain.h -- the HD view's world: true-colour and 16-bit height maps of any power-of-two side,
// their mip levels, and a true-colour sky
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "shared/scene_types.h"

// Map sides the HD view accepts: powers of two from 256 to 8192. One faithful
// map cell is side / 256 HD cells.
inline constexpr int kHdMinSide = 256;
inline constexpr int kHdMaxSide = 8192;
// Sky pictures: any width and height from 1 to this.
inline constexpr int kHdMaxSkySide = 16384;

// The maps an HdTerrain is built from. Colour is 0x00RRGGBB (the top byte is
// ignored), height is 16 bits where h16 = h8 * 256 matches a faithful height
// byte h8; both side x side, cell = y * side + x, repeating without end like
// the faithful maps. The sky is skyWidth x skyHeight, row 0 at the top, and
// spans the same turn and rows as the faithful 512 x 256 sky picture.
struct HdMaps {
    int side = 0;
    std::span<const uint32_t> colour;
    std::span<const uint16_t> height;
    int skyWidth = 0;
    int skyHeight = 0;
    std::span<const uint32_t> sky;
};

// One mip level: side x side texels, each the rounded mean of the 2 x 2
// texels of the level below (level 0 is the map itself).
struct HdLevel {
    int side = 0;
    int sideLog2 = 0;
    std::vector<uint16_t> height;  // side x side, then one 0 so that 32-bit loads may end there
    std::vector<uint32_t> colour;  // 0x00RRGGBB
};

// What the HD renderer reads: the maps with their mip levels down to a side
// of 4, the sky, and a fine sine table. Built once, read-only after; one
// terrain serves any number of renderers and threads at once.
//
// Memory: 6 bytes per map cell (4 colour, 2 height) plus a third more for
// the mip levels and 2/3 byte for the block maxima, e.g. side 1024: 8.7 MB;
// side 8192: 384 MB + 128 MB + 43 MB = 555 MB;
// plus 4 bytes per sky pixel and 16 KB of sines.
class HdTerrain {
public:
    int Side() const { return levels_[0].side; }
    // The highest height of the map (h16).
    uint32_t MaxHeight() const { return maxHeight_; }
    int LevelCount() const { return static_cast<int>(levels_.size()); }
    const HdLevel& Level(int level) const { return levels_[static_cast<size_t>(level)]; }

    int SkyWidth() const { return skyWidth_; }
    int SkyHeight() const { return skyHeight_; }
    const uint32_t* Sky() const { return sky_.data(); }
    // A 64-bit hash of the sky's size and pixels, for caches of it.
    uint64_t SkyHash() const { return skyHash_; }

    // The ground maxima the march skips by: for k = 1 .. log2(side), the
    // highest height (h16) in each block of 2^k x 2^k map cells together with
    // its eight neighbouring blocks (wrapping), block (bx, by) at
    // by * (side >> k) + bx. A bilinear sample of mip level l (or a blend of
    // levels l and l + 1) at a point of the block reads only texels within
    // 1.5 texels of the point, i.e. within the block and its neighbours when
    // 3 * 2^l <= 2^k; every texel is at most the highest cell under it, so
    // no such sample exceeds the entry. One 0 follows each level's last
    // entry, so that a 32-bit load may start at any entry.
    const uint16_t* BlockMax(int k) const { return blockMax_[static_cast<size_t>(k)].data(); }

    // sin(2 pi i / 4096) * 2^30, rounded, i = 0 .. 4096 (entry 4096 = entry 0).
    const int32_t* Sines() const { return sines_.data(); }

    // Bytes held: maps, mip levels, sky and sines.
    size_t MemoryBytes() const;

private:
    friend std::optional<HdTerrain> BuildHdTerrain(const HdMaps& maps, std::string& error);
    std::vector<HdLevel> levels_;
    std::vector<std::vector<uint16_t>> blockMax_;  // [k], k = 0 left empty
    uint32_t maxHeight_ = 0;
    int skyWidth_ = 0;
    int skyHeight_ = 0;
    std::vector<uint32_t> sky_;
    uint64_t skyHash_ = 0;
    std::vector<int32_t> sines_;
};

// Builds the terrain, or returns nothing and says why in `error` (a side
// that is not a power of two or out of range, maps or sky of the wrong size).
std::optional<HdTerrain> BuildHdTerrain(const HdMaps& maps, std::string& error);

// The HD terrain of a loaded scene at `side`: the faithful maps' 256 x 256
// cells (colour through the colour map's palette, heights times 256) and the
// sky through its palette (RGB565 widened to 8 bits a channel). A side above
// 256 interpolates the faithful cells bilinearly (each faithful cell's value
// at its centre, wrapping at the edges). Refuses a scene without maps or
// palettes, or a bad side, with a message in `error`.
std::optional<HdTerrain> BuildHdTerrainFromScene(const Scene& scene, int side, std::string& error);
