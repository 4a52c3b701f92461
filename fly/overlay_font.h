// overlay_font.h -- a small bitmap font of our own (5 x 7 pixels, printable ASCII) and drawing
// into overlay images
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/screen.h"

constexpr int kGlyphWidth = 5;
constexpr int kGlyphHeight = 7;
constexpr int kCharAdvance = kGlyphWidth + 1;   // pixels from one character to the next
constexpr int kLineAdvance = kGlyphHeight + 2;  // pixels from one line to the next

// Whether pixel (col, row) of character `c`'s glyph is set; characters
// outside ' ' .. '~' have the glyph of '?'.
bool GlyphPixel(char c, int col, int row);

// The width of `text` drawn in one line, in pixels.
constexpr int TextWidth(std::string_view text) {
    return static_cast<int>(text.size()) * kCharAdvance;
}

// Draws `text` with its first glyph's top left at (x, y), every set pixel
// `colour` (0xAARRGGBB); what falls outside the image is left out.
void DrawText(OverlayImage& image, int x, int y, std::string_view text, uint32_t colour);

// Sets every pixel of the rectangle, clipped to the image, to `colour`.
void FillRect(OverlayImage& image, int x, int y, int width, int height, uint32_t colour);
