// hd_maps.cpp -- refines the generated 256 x 256 maps into HD maps whose block means give them back
#include "scenegen/hd_maps.h"

#include <algorithm>

#include "scenegen/colour_map.h"
#include "scenegen/terrain.h"
#include "shared/scene_format.h"

namespace {

// A 64-bit mix of the seed and a cell, for the fine relief.
uint64_t Mix(uint64_t a, uint64_t b) {
    uint64_t z = a * 0x9E3779B97F4A7C15ull + b;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// A plane of side x side values (in fixed point) sampled bilinearly between
// the 256 x 256 cells' centres, wrapping: value(x, y) of the faithful grid
// given by `at(cx, cy)`, scaled by 2^8 per axis weight.
template <typename At>
int64_t Bilinear(At at, int x, int y, int k) {
    // HD cell centre (x + 0.5) / k faithful cells; faithful centres at c + 0.5.
    const int64_t fx = (2 * int64_t{x} + 1 - k) * 128 / k;  // in 1/256 cell, from centre 0
    const int64_t fy = (2 * int64_t{y} + 1 - k) * 128 / k;
    const int64_t x0 = fx >= 0 ? fx / 256 : (fx - 255) / 256;
    const int64_t y0 = fy >= 0 ? fy / 256 : (fy - 255) / 256;
    const int64_t wx = fx - x0 * 256, wy = fy - y0 * 256;
    const auto wrap = [](int64_t c) { return static_cast<int>(((c % 256) + 256) % 256); };
    const int cx0 = wrap(x0), cx1 = wrap(x0 + 1), cy0 = wrap(y0), cy1 = wrap(y0 + 1);
    return (at(cx0, cy0) * (256 - wx) + at(cx1, cy0) * wx) * (256 - wy) +
           (at(cx0, cy1) * (256 - wx) + at(cx1, cy1) * wx) * wy;  // x 65536
}

}  // namespace

GeneratedHdMaps GenerateHdMaps(uint64_t seed, int side) {
    const Terrain terrain = GenerateTerrain(seed);
    const IndexedImage colourMap = GenerateColourMap(terrain, seed);
    const int k = side / kMapSide;
    const size_t cells = static_cast<size_t>(side) * static_cast<size_t>(side);
    const auto byteAt = [&](int cx, int cy) {
        return static_cast<int64_t>(terrain.height[static_cast<size_t>(cy) * kMapSide + cx]);
    };

    // Interpolated heights and fine relief (about +-0.5 byte, none near water), in h16.
    std::vector<int32_t> height(cells);
    std::vector<int32_t> relief(cells);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const size_t i =
                static_cast<size_t>(y) * static_cast<size_t>(side) + static_cast<size_t>(x);
            const int64_t h = Bilinear(byteAt, x, y, k);  // h8 x 65536
            const int cx = x / k, cy = y / k;
            const bool wet = byteAt(cx, cy) == 0;
            const uint64_t r = Mix(seed, i);
            relief[i] = wet ? 0 : static_cast<int32_t>(r % 257) - 128;
            height[i] = static_cast<int32_t>(h / 256) + relief[i];
        }

    // Correction: each block's mean moved to its byte x 256 (three smooth
    // passes, interpolating the blocks' errors, then the rest per block).
    std::vector<int64_t> error(static_cast<size_t>(kMapSide) * kMapSide);
    const auto blockErrors = [&] {
        for (int cy = 0; cy < kMapSide; ++cy)
            for (int cx = 0; cx < kMapSide; ++cx) {
                int64_t sum = 0;
                for (int y = cy * k; y < (cy + 1) * k; ++y)
                    for (int x = cx * k; x < (cx + 1) * k; ++x)
                        sum += height[static_cast<size_t>(y) * static_cast<size_t>(side) +
                                      static_cast<size_t>(x)];
                const int64_t n = int64_t{k} * k;
                error[static_cast<size_t>(cy) * kMapSide + static_cast<size_t>(cx)] =
                    byteAt(cx, cy) * 256 * n - sum;  // x n
            }
    };
    const auto clampAll = [&] {
        for (int32_t& h : height)
            h = std::clamp(h, 0, 65535);
    };
    clampAll();
    for (int pass = 0; pass < 3; ++pass) {
        blockErrors();
        const int64_t n = int64_t{k} * k;
        const auto errAt = [&](int cx, int cy) {
            return error[static_cast<size_t>(cy) * kMapSide + static_cast<size_t>(cx)];
        };
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) {
                const size_t i =
                    static_cast<size_t>(y) * static_cast<size_t>(side) + static_cast<size_t>(x);
                height[i] += static_cast<int32_t>(Bilinear(errAt, x, y, k) / 65536 / n);
            }
        clampAll();
    }
    for (int round = 0; round < 4; ++round) {
        blockErrors();
        const int64_t n = int64_t{k} * k;
        for (int cy = 0; cy < kMapSide; ++cy)
            for (int cx = 0; cx < kMapSide; ++cx) {
                int64_t rest = error[static_cast<size_t>(cy) * kMapSide + static_cast<size_t>(cx)];
                if (rest == 0) continue;
                // Spread the rest over the block's cells, one unit each until
                // it is gone, skipping cells at the ends of the range.
                const int64_t each = rest / n;
                int64_t extra = rest - each * n;
                for (int y = cy * k; y < (cy + 1) * k; ++y)
                    for (int x = cx * k; x < (cx + 1) * k; ++x) {
                        int32_t& h = height[static_cast<size_t>(y) * static_cast<size_t>(side) +
                                            static_cast<size_t>(x)];
                        int64_t add = each;
                        if (extra > 0) {
                            ++add;
                            --extra;
                        } else if (extra < 0) {
                            --add;
                            ++extra;
                        }
                        h = static_cast<int32_t>(std::clamp<int64_t>(h + add, 0, 65535));
                    }
            }
    }

    GeneratedHdMaps maps;
    maps.side = side;
    maps.height.resize(cells);
    for (size_t i = 0; i < cells; ++i)
        maps.height[i] = static_cast<uint16_t>(height[i]);

    // Colours: the palette colours interpolated, lit up or down by the relief.
    maps.colour.resize(cells);
    for (int channel = 0; channel < 3; ++channel) {
        const auto at = [&](int cx, int cy) {
            const PaletteColour& c = colourMap.palette[colourMap.At(cx, cy)];
            return static_cast<int64_t>(channel == 0 ? c.r : channel == 1 ? c.g : c.b);
        };
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) {
                const size_t i =
                    static_cast<size_t>(y) * static_cast<size_t>(side) + static_cast<size_t>(x);
                const int64_t v = Bilinear(at, x, y, k);  // x 65536
                const int64_t lit = (v * (1024 + relief[i] / 4) / 1024 + 32768) / 65536;
                maps.colour[i] |= static_cast<uint32_t>(std::clamp<int64_t>(lit, 0, 255))
                                  << (16 - 8 * channel);
            }
    }
    return maps;
}
