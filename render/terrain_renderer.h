// terrain_renderer.h -- draws views with the fastest exact path this processor has; the path list
#pragma once

#include <memory>

#include "render/terrain_view.h"

namespace terrain_fast {
struct RenderScratch;
}

// Every way this build can draw a view. All of them write the same pixels as
// RenderTerrain, in the same order within each column; they differ in speed.
enum class RenderPath {
    Reference,   // RenderTerrain itself: the plain reading, one step at a time
    Scalar,      // portable C++: rows of a hit projected at once, runs staged per column
    Sse2,        // four columns at a time with SSE2 (every x86-64 processor)
    Avx2,        // eight columns at a time with AVX2 (checked at run time)
    Avx2Gather,  // the same, reading the heights of a step with one gather
};

// Every path, in the order above.
inline constexpr RenderPath kAllRenderPaths[] = {RenderPath::Reference, RenderPath::Scalar,
                                                 RenderPath::Sse2, RenderPath::Avx2,
                                                 RenderPath::Avx2Gather};

// "reference", "scalar", "sse2", "avx2" or "avx2-gather".
const char* RenderPathName(RenderPath path);

// Whether this build and this processor can run `path`. Reference and Scalar
// always can.
bool RenderPathAvailable(RenderPath path);

// The fastest available path: AVX2 (with gathers where the processor's are
// quick), else SSE2, else the reference. Decided once per process.
RenderPath FastestRenderPath();

// Draws views with one path, keeping what that path reuses from frame to
// frame (the frame plan, the sky in colours, staging columns; about half a
// megabyte). One renderer serves one thread at a time; a thread that draws
// frame after frame keeps one renderer for all of them.
class TerrainRenderer {
public:
    // `path` must be available.
    explicit TerrainRenderer(RenderPath path = FastestRenderPath());
    ~TerrainRenderer();
    TerrainRenderer(const TerrainRenderer&) = delete;
    TerrainRenderer& operator=(const TerrainRenderer&) = delete;

    RenderPath Path() const { return path_; }

    // Draws the view for `camera` exactly as RenderTerrain does. Frames whose
    // ray heights would leave the 32-bit range, and views without a column
    // or a row, are drawn by RenderTerrain itself.
    void Draw(const ViewGeometry& view, const TerrainSources& sources, const CameraState& camera);

private:
    RenderPath path_;
    std::unique_ptr<terrain_fast::RenderScratch> scratch_;
};
