// fly_hd.h -- fly's HD view: the view drawn at the window's own pixel size, and the ground free
// flight keeps above while it is shown
#pragma once

#include <cstdint>
#include <vector>

#include "platform/screen.h"
#include "render/hd_terrain.h"
#include "render/hd_view.h"

// The heights free flight keeps above while the HD view is shown, as a
// 256 x 256 map of bytes like the scene's height map: each faithful cell
// holds the highest HD height (h16 / 256, rounded up, at most 255) of the
// level-0 texels over the cell and one texel around it. The view's ground
// at a point is a bilinear blend of the texels around it (or of coarser
// levels, means of those texels, further off), so it never rises above
// its cell's entry; the flight's floor, the highest entry within two cells
// plus the clearance, keeps the camera above the ground the view shows,
// HD maps or faithful maps interpolated alike.
std::vector<uint8_t> HdGroundBytes(const HdTerrain& terrain);

// The overlay's pixel scale on a true-colour frame `height` rows high: the
// overlay is laid out for about 360 rows, each of its pixels scale x scale.
int HdOverlayScale(int height);

// Draws the HD view into the screen's true-colour frames, on `threads`
// threads, reusing its memory from frame to frame.
class FlyHdView {
public:
    FlyHdView(const HdTerrain& terrain, const HdOptions& options, int threads);

    // Draws `camera` into the screen's next true-colour frame and returns
    // it (its size is the window's, which may change between frames).
    TrueColourFrame Draw(Screen& screen, const CameraState& camera);

private:
    const HdTerrain& terrain_;
    HdOptions options_;
    HdRenderer renderer_;
};
