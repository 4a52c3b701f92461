// hd_view.h -- the HD view: an HdTerrain drawn for a faithful camera into a 32-bit frame of any
// size
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "render/hd_terrain.h"
#include "shared/scene_types.h"

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

// Why a frame, options or camera cannot be drawn ("" when they can).
std::string HdCheck(const HdFrame& frame, const HdOptions& options);

// The plain reference: draws every pixel of `frame` once, column by column,
// straight into the frame. Every faster path gives the same bytes. The
// frame and options must pass HdCheck.
void RenderHdReference(const HdFrame& frame, const HdTerrain& terrain, const CameraState& camera,
                       const HdOptions& options = {});

// The ways to draw the HD view; all give the reference's bytes.
enum class HdPath {
    Reference,  // RenderHdReference
    Staged,     // portable: a frame plan, columns staged in tiles, rows written whole
    Avx2,       // eight columns marched at once with AVX2 (checked at run time)
};
inline constexpr HdPath kAllHdPaths[] = {HdPath::Reference, HdPath::Staged, HdPath::Avx2};
const char* HdPathName(HdPath path);
bool HdPathAvailable(HdPath path);
HdPath FastestHdPath();

namespace hd_detail {
struct RendererState;
}

// Draws HD frames with one path on `threads` threads (the caller's and
// threads - 1 workers the renderer keeps), reusing its memory from frame to
// frame: per thread a tile of 16 columns (64 bytes x frame height), and the
// sky resampled to the frame's scale (4 bytes x 512 x 256 x (height / 296)^2:
// 7 MB at 1080 rows, 28 MB at 2160). One renderer serves one thread at a time.
class HdRenderer {
public:
    explicit HdRenderer(HdPath path = FastestHdPath(), int threads = 1);
    ~HdRenderer();
    HdRenderer(const HdRenderer&) = delete;
    HdRenderer& operator=(const HdRenderer&) = delete;

    HdPath Path() const { return path_; }
    int Threads() const { return threads_; }

    // Draws the frame; it and the options must pass HdCheck.
    void Draw(const HdFrame& frame, const HdTerrain& terrain, const CameraState& camera,
              const HdOptions& options = {});

private:
    HdPath path_;
    int threads_;
    std::unique_ptr<hd_detail::RendererState> state_;
};
