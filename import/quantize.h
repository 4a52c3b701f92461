// quantize.h -- colours to a palette of at most 256: median cut refined by k-means, both in
// the Oklab space, where distances follow what the eye sees
#pragma once

#include <array>
#include <cstdint>
#include <vector>

using Rgb8Colour = std::array<uint8_t, 3>;

// A palette of at most `count` colours for `rgb` (pixels of three 8-bit-scale
// channels, 0 to 255, as floats): the box of pixels with the most spread is cut
// at its median until there are `count` boxes, then each colour is moved to
// the mean of the pixels nearest it, a few rounds. The same pixels give the
// same palette.
std::vector<Rgb8Colour> CutPalette(const std::vector<float>& rgb, int count);

// Each pixel's nearest palette entry in Oklab; with `dither`, the error of
// each choice is spread to the pixels right and below (Floyd-Steinberg, in
// RGB), `width` pixels a row.
std::vector<uint8_t> MapToPalette(const std::vector<float>& rgb, const std::vector<Rgb8Colour>& palette,
                                  int width, bool dither);
