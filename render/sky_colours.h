// sky_colours.h -- the sky picture turned into display colours, kept from frame to frame
#pragma once

#include <cstdint>

#include "render/terrain_view.h"

namespace terrain_fast {

// The sky picture turned into colours, kept by one renderer from frame to
// frame: a frame's sky rows cost about one comparison of their picture row
// with the copy it was converted from, instead of a palette look-up per
// pixel. Exact whatever changes between frames: each row is checked against
// the picture once per frame, and every row against the palette.
class SkyColours {
public:
    static constexpr int kWidth = kSkyWidth;  // sky picture columns
    static constexpr int kRows = kSkyRows;    // sky picture rows
    static constexpr int kPad = 16;           // columns 0 .. kPad - 1 repeated after the last

    // Starts a frame drawn from `sources`.
    void Begin(const TerrainSources& sources);

    // Row `skyRow` (0 .. 255) of the picture in colours: kWidth + kPad
    // entries, entry kWidth + i repeating entry i.
    const uint16_t* Row(int skyRow) {
        if (checked_[skyRow] != frame_) Check(skyRow);
        return colours_[skyRow];
    }

private:
    void Check(int skyRow);

    const TerrainSources* sources_ = nullptr;
    uint64_t frame_ = 0;                  // frames begun; a row checked in this frame is current
    uint64_t checked_[kRows] = {};        // the frame in which each row was last checked
    bool converted_[kRows] = {};          // whether the row holds a conversion at all
    uint16_t palette_[256] = {};          // the palette the rows were converted with
    uint8_t pictureRows_[kRows][kWidth];  // the picture rows they were converted from
    alignas(32) uint16_t colours_[kRows][kWidth + kPad];
};

}  // namespace terrain_fast
