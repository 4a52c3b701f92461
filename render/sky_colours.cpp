// sky_colours.cpp -- converting sky rows once and checking them against the picture every frame
#include "render/sky_colours.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace terrain_fast {

void SkyColours::Begin(const TerrainSources& sources) {
    sources_ = &sources;
    ++frame_;
    if (std::memcmp(palette_, sources.skyPalette, sizeof palette_) != 0) {
        std::memcpy(palette_, sources.skyPalette, sizeof palette_);
        std::fill(std::begin(converted_), std::end(converted_), false);
    }
}

void SkyColours::Check(int skyRow) {
    checked_[skyRow] = frame_;
    const uint8_t* const picture = sources_->skyPixels + static_cast<ptrdiff_t>(skyRow) * kWidth;
    uint8_t* const copy = pictureRows_[skyRow];
    if (converted_[skyRow] && std::memcmp(copy, picture, kWidth) == 0) return;
    std::memcpy(copy, picture, kWidth);
    uint16_t* const out = colours_[skyRow];
    for (int col = 0; col < kWidth; ++col)
        out[col] = palette_[copy[col]];
    for (int col = 0; col < kPad; ++col)
        out[kWidth + col] = out[col];
    converted_[skyRow] = true;
}

}  // namespace terrain_fast
