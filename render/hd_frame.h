// hd_frame.h -- the HD view's frame, its framing constants and its options
#pragma once

#include <cstddef>
#include <cstdint>

// A 32-bit frame: pixel (x, y) is the XRGB8888 word (0x00RRGGBB) at
// pixels + y * pitch / 4 + x; pitch is in bytes, a multiple of 4, at least
// width * 4.
struct HdFrame {
    uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    ptrdiff_t pitch = 0;
};

// Frame sizes the HD view draws: 1 to 7680 columns, 1 to 7680 rows (up to
// 7680 x 4320 landscape, or portrait such as 240 x 320).
inline constexpr int kHdMaxFrameSide = 7680;

// The faithful view the HD view's framing matches: a frame of this height
// shows the same rows as the faithful view (on a 240 x 320 display, rows 0 to
// 295), and a frame kFaithfulColumns wide the same field of view. Taller
// frames scale every row by height / kHdFaithfulRows; wider frames keep that
// scale's angle per column and see further to the sides.
inline constexpr int kHdFaithfulRows = 296;
inline constexpr int kHdFaithfulColumns = 240;

struct HdOptions {
    // How far the ground is drawn, in faithful cells (the whole map is 256),
    // 16 to 4096. The haze grows as the faithful shade table's does, scaled
    // to this distance: white at the draw distance.
    int drawDistance = 256;
    // March steps per distance doubling is detail * ln 2: a step is
    // 1 / detail of its distance (beyond the near steps of a quarter HD
    // cell). 32 to 1024; more is finer and slower.
    int detail = 128;
};
