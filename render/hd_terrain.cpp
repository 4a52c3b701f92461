// hd_terrain.cpp -- checks and builds the HD view's maps, mip levels, sky and sines
#include "render/hd_terrain.h"

#include <algorithm>
#include <cmath>

namespace {

bool IsPowerOfTwo(int v) {
    return v > 0 && (v & (v - 1)) == 0;
}

int Log2(int v) {
    int n = 0;
    while ((1 << n) < v)
        ++n;
    return n;
}

// The next level: each texel the rounded mean of a 2 x 2 block below it.
HdLevel Halve(const HdLevel& below) {
    HdLevel level;
    level.side = below.side / 2;
    level.sideLog2 = below.sideLog2 - 1;
    const size_t side = static_cast<size_t>(level.side);
    const size_t from = static_cast<size_t>(below.side);
    level.height.resize(side * side + 1);
    level.colour.resize(side * side);
    for (size_t y = 0; y < side; ++y) {
        for (size_t x = 0; x < side; ++x) {
            const size_t a = 2 * y * from + 2 * x;
            const size_t b = a + from;
            const uint32_t h = uint32_t{below.height[a]} + below.height[a + 1] + below.height[b] +
                               below.height[b + 1];
            level.height[y * side + x] = static_cast<uint16_t>((h + 2) / 4);
            uint32_t colour = 0;
            for (int shift = 0; shift < 24; shift += 8) {
                const uint32_t sum =
                    ((below.colour[a] >> shift) & 255u) + ((below.colour[a + 1] >> shift) & 255u) +
                    ((below.colour[b] >> shift) & 255u) + ((below.colour[b + 1] >> shift) & 255u);
                colour |= ((sum + 2) / 4) << shift;
            }
            level.colour[y * side + x] = colour;
        }
    }
    return level;
}

// The block maxima of every level k >= 1: the highest cell of each 2^k
// block, then the highest of each block's 3 x 3 neighbourhood (wrapping).
std::vector<std::vector<uint16_t>> BlockMaxima(const HdLevel& base) {
    std::vector<std::vector<uint16_t>> result(static_cast<size_t>(base.sideLog2) + 1);
    // The highest cell of each block at k - 1.
    std::vector<uint16_t> plain(base.height.begin(), base.height.end() - 1);
    for (int k = 1; k <= base.sideLog2; ++k) {
        const size_t from = static_cast<size_t>(base.side >> (k - 1));
        const size_t side = from / 2;
        std::vector<uint16_t> halved(side * side);
        for (size_t y = 0; y < side; ++y)
            for (size_t x = 0; x < side; ++x) {
                const size_t a = 2 * y * from + 2 * x, b = a + from;
                halved[y * side + x] =
                    std::max(std::max(plain[a], plain[a + 1]), std::max(plain[b], plain[b + 1]));
            }
        std::vector<uint16_t>& wide = result[static_cast<size_t>(k)];
        wide.resize(side * side + 1);  // one 0 after the last, for 32-bit loads
        for (size_t y = 0; y < side; ++y)
            for (size_t x = 0; x < side; ++x) {
                uint16_t m = 0;
                for (size_t dy = side - 1; dy <= side + 1; ++dy)
                    for (size_t dx = side - 1; dx <= side + 1; ++dx)
                        m = std::max(m, halved[((y + dy) % side) * side + (x + dx) % side]);
                wide[y * side + x] = m;
            }
        plain.swap(halved);
    }
    return result;
}

// An RGB565 colour widened to 0x00RRGGBB (the top bits repeated below).
uint32_t Widen565(uint16_t c) {
    const uint32_t r = (c >> 11) & 31u;
    const uint32_t g = (c >> 5) & 63u;
    const uint32_t b = c & 31u;
    return (((r << 3) | (r >> 2)) << 16) | (((g << 2) | (g >> 4)) << 8) | ((b << 3) | (b >> 2));
}

// The faithful palette entry (bytes red, green, blue, 0) as 0x00RRGGBB.
uint32_t FromPalette(uint32_t entry) {
    return (static_cast<uint32_t>(entry & 0xFF) << 16) |
           (static_cast<uint32_t>((entry >> 8) & 0xFF) << 8) | ((entry >> 16) & 0xFF);
}

}  // namespace

size_t HdTerrain::MemoryBytes() const {
    size_t bytes = sky_.size() * sizeof(uint32_t) + sines_.size() * sizeof(int32_t);
    for (const HdLevel& level : levels_)
        bytes += level.height.size() * sizeof(uint16_t) + level.colour.size() * sizeof(uint32_t);
    for (const std::vector<uint16_t>& maxima : blockMax_)
        bytes += maxima.size() * sizeof(uint16_t);
    return bytes;
}

std::optional<HdTerrain> BuildHdTerrain(const HdMaps& maps, std::string& error) {
    const std::string where = "HD terrain: ";
    if (!IsPowerOfTwo(maps.side) || maps.side < kHdMinSide || maps.side > kHdMaxSide) {
        error = where + "map side " + std::to_string(maps.side) +
                " is not a power of two from 256 to 8192";
        return std::nullopt;
    }
    const size_t cells = static_cast<size_t>(maps.side) * static_cast<size_t>(maps.side);
    if (maps.colour.size() != cells) {
        error = where + "colour map has " + std::to_string(maps.colour.size()) + " cells, side " +
                std::to_string(maps.side) + " needs " + std::to_string(cells);
        return std::nullopt;
    }
    if (maps.height.size() != cells) {
        error = where + "height map has " + std::to_string(maps.height.size()) + " cells, side " +
                std::to_string(maps.side) + " needs " + std::to_string(cells);
        return std::nullopt;
    }
    if (maps.skyWidth < 1 || maps.skyHeight < 1 || maps.skyWidth > kHdMaxSkySide ||
        maps.skyHeight > kHdMaxSkySide) {
        error = where + "sky of " + std::to_string(maps.skyWidth) + " x " +
                std::to_string(maps.skyHeight) + " is not from 1 x 1 to 16384 x 16384";
        return std::nullopt;
    }
    const size_t skyPixels =
        static_cast<size_t>(maps.skyWidth) * static_cast<size_t>(maps.skyHeight);
    if (maps.sky.size() != skyPixels) {
        error = where + "sky has " + std::to_string(maps.sky.size()) + " pixels, " +
                std::to_string(maps.skyWidth) + " x " + std::to_string(maps.skyHeight) + " needs " +
                std::to_string(skyPixels);
        return std::nullopt;
    }

    HdTerrain terrain;
    HdLevel base;
    base.side = maps.side;
    base.sideLog2 = Log2(maps.side);
    base.height.assign(maps.height.begin(), maps.height.end());
    base.height.push_back(0);
    base.colour.resize(cells);
    for (size_t i = 0; i < cells; ++i)
        base.colour[i] = maps.colour[i] & 0xFFFFFFu;
    for (const uint16_t h : base.height)
        if (h > terrain.maxHeight_) terrain.maxHeight_ = h;
    terrain.blockMax_ = BlockMaxima(base);
    terrain.levels_.push_back(std::move(base));
    while (terrain.levels_.back().side > 4)
        terrain.levels_.push_back(Halve(terrain.levels_.back()));

    terrain.skyWidth_ = maps.skyWidth;
    terrain.skyHeight_ = maps.skyHeight;
    terrain.sky_.resize(skyPixels);
    uint64_t hash =
        0x9E3779B97F4A7C15ull ^ (uint64_t(maps.skyWidth) << 32 | uint64_t(maps.skyHeight));
    for (size_t i = 0; i < skyPixels; ++i) {
        terrain.sky_[i] = maps.sky[i] & 0xFFFFFFu;
        hash = (hash ^ terrain.sky_[i]) * 0x100000001B3ull;
        hash ^= hash >> 29;
    }
    terrain.skyHash_ = hash;

    terrain.sines_.resize(4097);
    const double pi = 3.14159265358979323846;
    for (int i = 0; i < 4096; ++i)
        terrain.sines_[static_cast<size_t>(i)] =
            static_cast<int32_t>(std::lround(std::sin(2.0 * pi * i / 4096.0) * 1073741824.0));
    terrain.sines_[4096] = terrain.sines_[0];
    return terrain;
}

std::optional<HdTerrain> BuildHdTerrainFromScene(const Scene& scene, int side, std::string& error) {
    const std::string where = "HD terrain from scene: ";
    if (scene.colourMap.pixels.size() < static_cast<size_t>(kMapCells) ||
        scene.heightMap.pixels.size() < static_cast<size_t>(kMapCells) ||
        scene.colourMap.palette.size() < 256) {
        error = where + "the colour and height maps need 256 x 256 cells and a colour palette";
        return std::nullopt;
    }
    const bool sky565 = scene.sky.palette565.size() >= 256;
    if ((!sky565 && scene.sky.palette.size() < 256) ||
        scene.sky.pixels.size() < static_cast<size_t>(kSkyWidth) * kSkyRows) {
        error = where + "the sky needs 512 x 256 pixels and a palette";
        return std::nullopt;
    }
    if (!IsPowerOfTwo(side) || side < kHdMinSide || side > kHdMaxSide) {
        error =
            where + "map side " + std::to_string(side) + " is not a power of two from 256 to 8192";
        return std::nullopt;
    }
    // The faithful cells as 16-bit lanes: colour in 8-bit channels, height x 256.
    std::vector<uint32_t> cellColour(kMapCells);
    for (size_t i = 0; i < static_cast<size_t>(kMapCells); ++i)
        cellColour[i] = FromPalette(scene.colourMap.palette[scene.colourMap.pixels[i]]);
    const uint8_t* heights = scene.heightMap.pixels.data();

    const size_t n = static_cast<size_t>(side);
    std::vector<uint32_t> colour(n * n);
    std::vector<uint16_t> height(n * n);
    const int scaleLog2 = Log2(side) - 8;  // HD cells per faithful cell, log 2
    const int64_t scale = int64_t{1} << scaleLog2;
    for (size_t y = 0; y < n; ++y) {
        // HD cell centre y + 0.5 in faithful cells, less the faithful half
        // cell, in 1/(2 * scale) units: (2y + 1 - scale) / (2 scale).
        const int64_t fy2 = 2 * static_cast<int64_t>(y) + 1 - scale;
        const int64_t y0 = (fy2 >= 0 ? fy2 : fy2 - 2 * scale + 1) / (2 * scale);
        const uint32_t wy = static_cast<uint32_t>(((fy2 - y0 * 2 * scale) * 256) / (2 * scale));
        for (size_t x = 0; x < n; ++x) {
            const int64_t fx2 = 2 * static_cast<int64_t>(x) + 1 - scale;
            const int64_t x0 = (fx2 >= 0 ? fx2 : fx2 - 2 * scale + 1) / (2 * scale);
            const uint32_t wx = static_cast<uint32_t>(((fx2 - x0 * 2 * scale) * 256) / (2 * scale));
            const size_t xa = static_cast<size_t>(x0 & 255),
                         xb = static_cast<size_t>((x0 + 1) & 255);
            const size_t ya = static_cast<size_t>(y0 & 255) * 256,
                         yb = static_cast<size_t>((y0 + 1) & 255) * 256;
            auto mix = [&](uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
                const uint32_t top = a * (256 - wx) + b * wx;
                const uint32_t bottom = c * (256 - wx) + d * wx;
                return (top * (256 - wy) + bottom * wy + 128) >> 8;  // 8 fraction bits kept
            };
            height[y * n + x] = static_cast<uint16_t>(
                mix(heights[ya + xa], heights[ya + xb], heights[yb + xa], heights[yb + xb]));
            uint32_t c = 0;
            for (int shift = 0; shift < 24; shift += 8) {
                auto ch = [&](size_t i) { return (cellColour[i] >> shift) & 255u; };
                c |= ((mix(ch(ya + xa), ch(ya + xb), ch(yb + xa), ch(yb + xb)) + 128) >> 8)
                     << shift;
            }
            colour[y * n + x] = c;
        }
    }

    std::vector<uint32_t> sky(static_cast<size_t>(kSkyWidth) * kSkyRows);
    for (size_t i = 0; i < sky.size(); ++i) {
        const uint8_t index = scene.sky.pixels[i];
        sky[i] =
            sky565 ? Widen565(scene.sky.palette565[index]) : FromPalette(scene.sky.palette[index]);
    }
    HdMaps maps;
    maps.side = side;
    maps.colour = colour;
    maps.height = height;
    maps.skyWidth = kSkyWidth;
    maps.skyHeight = kSkyRows;
    maps.sky = sky;
    return BuildHdTerrain(maps, error);
}
