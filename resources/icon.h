// icon.h -- the program's icon: a small landscape (sky, sun, a far and a near
// range of hills), drawn at any size from the same shapes
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The size the programs give their windows; the window manager scales it.
constexpr int kWindowIconSize = 64;

// The icon as `size` x `size` pixels 0xAARRGGBB, row 0 first: a rounded tile
// whose corners are transparent, every edge smoothed by 4 x 4 samples a pixel.
std::vector<uint32_t> DrawIcon(int size);

// The same icon as an SVG document (a 256 x 256 view box), its outlines taken
// from the shapes DrawIcon fills.
std::string IconSvg();
