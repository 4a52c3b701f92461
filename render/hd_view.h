// hd_view.h -- the HD view: an HdTerrain drawn for a faithful camera into a 32-bit frame of any
// size
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "render/hd_frame.h"
#include "render/hd_terrain.h"
#include "shared/scene_types.h"

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
    Avx512,     // sixteen columns marched at once with AVX-512 (checked at run time)
};
inline constexpr HdPath kAllHdPaths[] = {HdPath::Reference, HdPath::Staged, HdPath::Avx2,
                                         HdPath::Avx512};
const char* HdPathName(HdPath path);
bool HdPathAvailable(HdPath path);
HdPath FastestHdPath();

namespace hd_detail {
struct RendererState;
}

// Draws HD frames with one path on `threads` threads (the caller's and
// threads - 1 workers the renderer keeps), reusing its memory from frame to
// frame: per thread a band of four tiles of 16 columns (256 bytes x frame
// height), and the sky resampled to the frame's scale (4 bytes x 512 x 256 x
// (height / 296)^2: 7 MB at 1080 rows, 28 MB at 2160). One renderer serves
// one thread at a time.
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
