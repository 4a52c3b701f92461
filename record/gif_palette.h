// gif_palette.h -- one palette for a whole GIF, cut from the colours of every frame, and the
// nearest entry for each RGB565 value
#pragma once

#include <array>
#include <cstdint>
#include <vector>

// A GIF's palette: up to kGifColours colours; the entries after them stay
// transparent (alpha 0), for the encoder to mark pixels that did not change
// since the frame before. 127 colours rather than 255: as smooth to the eye
// on these pictures, and a tenth smaller once compressed.
struct GifPalette {
    std::array<uint32_t, 256> argb{};  // as libavcodec's PAL8 frames take it: 0xAARRGGBB
    int colours = 0;                   // entries in use, from 0
    std::vector<uint8_t> indexOf;      // 65536 entries: the entry drawn for each RGB565 value
    bool exact = false;                // every colour counted has an entry of its own
};

constexpr int kGifColours = 127;

// Builds the palette from `counts` (how many pixels of each RGB565 value
// the whole clip has): every colour when there are at most kGifColours, else a
// median cut of the 8-bit colours, splitting the box with the widest
// spread of pixels each time, each box's colour its pixels' mean. Every
// RGB565 value then maps to the nearest entry (squared distance), so no
// dithering noise is drawn. The same counts give the same palette.
GifPalette BuildGifPalette(const std::vector<uint32_t>& counts);
