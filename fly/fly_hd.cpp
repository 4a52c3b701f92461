// fly_hd.cpp -- fly's HD view: drawing at the window's size and the ground envelope for the floor
#include "fly/fly_hd.h"

#include <algorithm>

#include "shared/scene_format.h"

std::vector<uint8_t> HdGroundBytes(const HdTerrain& terrain) {
    const HdLevel& level = terrain.Level(0);
    const int side = level.side;
    const int perCell = side / kMapSide;  // HD texels along a faithful cell
    const int mask = side - 1;
    std::vector<uint8_t> bytes(static_cast<size_t>(kMapCells));
    // Rows first: each texel row's maxima over every cell's span and one
    // texel either side, then the same down the columns.
    std::vector<uint16_t> across(static_cast<size_t>(side) * kMapSide);
    for (int y = 0; y < side; ++y) {
        const uint16_t* row = level.height.data() + static_cast<size_t>(y) * side;
        for (int cx = 0; cx < kMapSide; ++cx) {
            uint16_t highest = 0;
            for (int x = cx * perCell - 1; x <= (cx + 1) * perCell; ++x)
                highest = std::max(highest, row[x & mask]);
            across[static_cast<size_t>(y) * kMapSide + cx] = highest;
        }
    }
    for (int cy = 0; cy < kMapSide; ++cy)
        for (int cx = 0; cx < kMapSide; ++cx) {
            uint16_t highest = 0;
            for (int y = cy * perCell - 1; y <= (cy + 1) * perCell; ++y)
                highest = std::max(highest, across[static_cast<size_t>(y & mask) * kMapSide + cx]);
            bytes[static_cast<size_t>(cy) * kMapSide + cx] =
                static_cast<uint8_t>(std::min(255, (highest + 255) / 256));
        }
    return bytes;
}

int HdOverlayScale(int height) {
    return std::max(1, height / 360);
}

FlyHdView::FlyHdView(const HdTerrain& terrain, const HdOptions& options, int threads)
    : terrain_(terrain), options_(options), renderer_(FastestHdPath(), threads) {}

TrueColourFrame FlyHdView::Draw(Screen& screen, const CameraState& camera) {
    const TrueColourFrame frame = screen.NextTrueColourFrame();
    if (frame.Empty()) return frame;
    renderer_.Draw(HdFrame{frame.pixels, frame.width, frame.height, frame.pitch}, terrain_, camera,
                   options_);
    return frame;
}
