// hd_view.cpp -- the HD view's frame set-up and its plain reference renderer
#include "render/hd_view.h"

#include "render/hd_view_math.h"

namespace hd_detail {

namespace {

__extension__ typedef unsigned __int128 Wide;

constexpr int kSlope = 1536;  // the faithful view's ray slope per row and cell

}  // namespace

std::vector<Step> MarchSteps(int side, int levels, int height, const HdOptions& options) {
    int sideLog2 = 0;
    while ((1 << sideLog2) < side)
        ++sideLog2;
    // Near steps of a quarter HD cell (at most 1/16 faithful cell), then
    // 1 / detail of the distance.
    uint32_t nearStep = static_cast<uint32_t>(16384 / side);
    if (nearStep < 2) nearStep = 2;
    if (nearStep > 16) nearStep = 16;
    const uint64_t far = static_cast<uint64_t>(options.drawDistance) * 256u;
    std::vector<Step> steps;
    for (uint32_t d = nearStep; d <= far;) {
        uint32_t length = d / static_cast<uint32_t>(options.detail);
        if (length < nearStep) length = nearStep;
        Step s{};
        s.d8 = d;
        // The faithful view fills row r at distance d (cells) where the ground
        // is more than (horizon + 1 - r) * 1536 * d above the camera; rows scale
        // by height / 296. Row offset (Q8) = below * 32 * 256 * height /
        // (296 * 1536 * d) with `below` in units of 32: q / 2^shift.
        // q keeps 24 significant bits: floor(num * 2^60 / den) >> k is
        // floor(num * 2^(60 - k) / den).
        const Wide num = static_cast<Wide>(height) << 21;
        const Wide den = static_cast<Wide>(kHdFaithfulRows) * kSlope * d;
        const Wide q = (num << 60) / den;
        int bits = 0;
        while ((q >> bits) != 0)
            ++bits;
        s.q = static_cast<int64_t>(q >> (bits - 24));
        s.shift = 60 - (bits - 24);
        // The mip level whose texels are as long as the step; the upper half
        // of each octave blends toward the next level.
        const uint32_t footprint = (length << sideLog2) >> 8;  // Q8 HD cells
        if (footprint >= 256) {
            int l = 0;
            while ((footprint >> (l + 9)) != 0)
                ++l;
            const uint32_t t = ((footprint - (256u << l)) * 256u) >> (l + 8);
            s.level = l;
            s.blend = t >= 128 ? (t - 128) * 2 : 0;
            if (s.level >= levels - 1) {
                s.level = levels - 1;
                s.blend = 0;
            }
        }
        // The faithful haze share is (level^2 / 32) / 32 at level = d / 8:
        // (d / 256)^2, here of the draw distance.
        s.minBlock = s.level + (s.blend != 0 ? 2 : 1);
        const uint64_t dd = uint64_t{d} * d * 256u;
        const uint64_t haze = dd / (far * far);
        s.haze = haze > 256 ? 256u : static_cast<uint32_t>(haze);
        steps.push_back(s);
        d += length;
    }
    return steps;
}

FrameSetup SetUpFrame(const HdFrame& frame, const HdTerrain& terrain, const CameraState& camera,
                      const HdOptions& options) {
    FrameSetup f;
    const int64_t h = frame.height;
    f.width = frame.width;
    f.height = frame.height;
    f.camU = static_cast<uint32_t>(camera.x) << 8;
    f.camV = static_cast<uint32_t>(camera.y) << 8;
    f.camUnits = camera.height >> 5;
    f.horizonQ8 = FloorDiv((int64_t{camera.horizon} + 1) * h * 256, kHdFaithfulRows);
    // The faithful sky band: horizon + ((height - 0x60000) >> 18) - 20 rows.
    const int64_t lift = (int64_t{camera.height} - 0x60000) >> 18;
    const int64_t band = int64_t{camera.horizon} + lift - 20;
    int64_t bandRows = FloorDiv(band * h, kHdFaithfulRows);
    if (bandRows < 0) bandRows = 0;
    if (bandRows > h) bandRows = h;
    f.band = static_cast<int>(bandRows);
    f.skyCols = static_cast<int>((512 * h + kHdFaithfulRows / 2) / kHdFaithfulRows);
    f.skyRows = static_cast<int>((256 * h + kHdFaithfulRows / 2) / kHdFaithfulRows);
    if (f.skyCols < 1) f.skyCols = 1;
    if (f.skyRows < 1) f.skyRows = 1;
    // Faithful sky row 255 - band + k at view row k; column (-heading / 2 +
    // col) & 511, anchored at the faithful view's 120th column.
    f.skyRowOffset = FloorDiv((255 - band) * h, kHdFaithfulRows);
    const int64_t heading = camera.heading & 1023;
    f.skyColOffset = Mod(
        FloorDiv((240 - heading) * h - int64_t{frame.width} * kHdFaithfulRows, 2 * kHdFaithfulRows),
        f.skyCols);
    (void)terrain;
    (void)options;
    return f;
}

uint32_t ResampledSky(const HdTerrain& terrain, int skyCols, int skyRows, int col, int row) {
    const int64_t w = terrain.SkyWidth(), h = terrain.SkyHeight();
    const int64_t px = FloorDiv((2 * int64_t{col} + 1) * w * 256, 2 * int64_t{skyCols}) - 128;
    int64_t py = FloorDiv((2 * int64_t{row} + 1) * h * 256, 2 * int64_t{skyRows}) - 128;
    if (py < 0) py = 0;
    const int64_t x0 = Mod(px >> 8, w), x1 = Mod((px >> 8) + 1, w);
    int64_t y0 = py >> 8, y1 = y0 + 1;
    if (y0 > h - 1) y0 = h - 1;
    if (y1 > h - 1) y1 = h - 1;
    const uint32_t fx = static_cast<uint32_t>(px & 255), fy = static_cast<uint32_t>(py & 255);
    const uint32_t* sky = terrain.Sky();
    const uint64_t top = LerpSpread(Spread(sky[y0 * w + x0]), Spread(sky[y0 * w + x1]), fx);
    const uint64_t bottom = LerpSpread(Spread(sky[y1 * w + x0]), Spread(sky[y1 * w + x1]), fx);
    return Pack(LerpSpread(top, bottom, fy));
}

}  // namespace hd_detail

using namespace hd_detail;

std::string HdCheck(const HdFrame& frame, const HdOptions& options) {
    if (!frame.pixels) return "HD view: the frame has no pixels";
    if (frame.width < 1 || frame.height < 1 || frame.width > kHdMaxFrameSide ||
        frame.height > kHdMaxFrameSide)
        return "HD view: frame of " + std::to_string(frame.width) + " x " +
               std::to_string(frame.height) + " is not from 1 x 1 to 7680 x 7680";
    if (frame.pitch % 4 != 0 || frame.pitch < static_cast<ptrdiff_t>(frame.width) * 4)
        return "HD view: row pitch " + std::to_string(frame.pitch) +
               " is not a multiple of 4 of at least width x 4";
    if (options.drawDistance < 16 || options.drawDistance > 4096)
        return "HD view: draw distance " + std::to_string(options.drawDistance) +
               " is not from 16 to 4096 cells";
    if (options.detail < 32 || options.detail > 1024)
        return "HD view: detail " + std::to_string(options.detail) + " is not from 32 to 1024";
    return "";
}

void RenderHdReference(const HdFrame& frame, const HdTerrain& terrain, const CameraState& camera,
                       const HdOptions& options) {
    FrameSetup f = SetUpFrame(frame, terrain, camera, options);
    f.steps = MarchSteps(terrain.Side(), terrain.LevelCount(), frame.height, options);
    auto pixel = [&](int col, int row) -> uint32_t& {
        return frame.pixels[static_cast<ptrdiff_t>(row) * (frame.pitch / 4) + col];
    };
    for (int col = 0; col < frame.width; ++col) {
        const Direction dir = ColumnDirection(terrain, camera, frame.width, frame.height, col);
        // Rows below `next` are done. The row `next` may be partly covered
        // already: `cover` / 256 of it, by colours summing to `weighted`.
        int next = frame.height - 1;
        uint64_t weighted = 0;
        int64_t cover = 0;
        for (const Step& s : f.steps) {
            if (next < 0) break;
            const uint32_t u = f.camU + static_cast<uint32_t>(dir.x) * s.d8;
            const uint32_t v = f.camV + static_cast<uint32_t>(dir.y) * s.d8;
            const int64_t top = GroundRow(f, s, GroundHeight(terrain, s, u, v));
            // This ground covers row `next` from its bottom up to `top`.
            const int64_t reach = (int64_t{next} + 1) * 256 - top;
            if (reach <= cover) continue;
            const uint64_t colour = GroundColour(terrain, s, u, v);
            if (reach < 256) {
                weighted += colour * static_cast<uint64_t>(reach - cover);
                cover = reach;
                continue;
            }
            pixel(col, next--) = Resolve(weighted + colour * static_cast<uint64_t>(256 - cover));
            for (; next >= 0 && int64_t{next} * 256 >= top; --next)
                pixel(col, next) = Pack(colour);
            cover = next >= 0 ? (int64_t{next} + 1) * 256 - top : 0;
            if (cover < 0) cover = 0;
            weighted = colour * static_cast<uint64_t>(cover);
        }
        // Sky above the band, haze below it; the partly covered row blends
        // its ground with what is behind.
        const int skyCol = static_cast<int>((f.skyColOffset + col) % f.skyCols);
        for (int row = 0; row <= next; ++row) {
            uint32_t behind = kHazeRgb;
            if (row < f.band) {
                int64_t skyRow = f.skyRowOffset + row;
                if (skyRow < 0) skyRow = 0;
                if (skyRow > f.skyRows - 1) skyRow = f.skyRows - 1;
                behind =
                    ResampledSky(terrain, f.skyCols, f.skyRows, skyCol, static_cast<int>(skyRow));
            }
            if (row == next && cover > 0)
                behind = Resolve(weighted + Spread(behind) * static_cast<uint64_t>(256 - cover));
            pixel(col, row) = behind;
        }
    }
}
