// tables.cpp -- builds the colour, haze and sine lookup tables
#include "render/tables.h"

#include <cmath>

uint16_t PackRgb565(int r, int g, int b) {
    auto clamp = [](int v) { return v > 255 ? 255 : (v < 0 ? 0 : v); };
    r = clamp(r);
    g = clamp(g);
    b = clamp(b);
    return static_cast<uint16_t>(((r & 0xF8) << 8) | ((g & 0xFC) << 3) | (b >> 3));
}

ColourTables BuildColourTables() {
    ColourTables tables;
    for (int i = 0; i < 256; ++i) {
        const auto at = static_cast<size_t>(i);
        tables.red[at] = PackRgb565(i, 0, 0);
        tables.green[at] = PackRgb565(0, i, 0);
        tables.blue[at] = PackRgb565(0, 0, i);
    }
    return tables;
}

SineTable BuildSineTable() {
    // Keeps the original's step of 6.28 / 4096 rather than 2 pi / 4096, so the
    // table stops a little short of a full period (entry 4095 is -309).
    const double step = 6.28 / 4096;
    SineTable table;
    for (int i = 0; i < kAngleUnits; ++i) {
        const double angle = i * step;
        const double s = std::sin(angle) * 65536.0;
        table[static_cast<size_t>(i)] = static_cast<int32_t>(s);
    }
    return table;
}

ShadeTable BuildShadeTable(const uint32_t* palette) {
    ShadeTable shade;
    for (int level = 0; level < kFogLevels; ++level) {
        // The haze share out of 32 grows with the square of the level; the
        // haze colour is 256 in every channel.
        const int a = (level * level) / 32;
        const int keep = 32 - a;
        const int haze = 256 * a;
        for (int e = 0; e < 256; ++e) {
            const uint32_t entry = palette[e];
            shade[static_cast<size_t>(e * kFogLevels + level)] = PackRgb565(
                (PaletteRed(entry) * keep + haze) / 32, (PaletteGreen(entry) * keep + haze) / 32,
                (PaletteBlue(entry) * keep + haze) / 32);
        }
    }
    return shade;
}

void ConvertPaletteTo565(BitmapImage& image, const ColourTables& tables) {
    if (image.palette.empty()) return;
    std::vector<uint16_t> converted(256);
    for (int e = 0; e < 256; ++e) {
        const uint32_t entry = image.palette[static_cast<size_t>(e)];
        converted[static_cast<size_t>(e)] =
            static_cast<uint16_t>(tables.red[static_cast<size_t>(PaletteRed(entry))] |
                                  tables.green[static_cast<size_t>(PaletteGreen(entry))] |
                                  tables.blue[static_cast<size_t>(PaletteBlue(entry))]);
    }
    image.palette565 = std::move(converted);
    image.palette.clear();
    image.palette.shrink_to_fit();
}
