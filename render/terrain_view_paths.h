// terrain_view_paths.h -- the renderer's interchangeable implementations and how RenderView picks
// one
#pragma once

#include "render/terrain_view.h"

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

// The fastest available path (AVX2, with gathers where the processor's are
// quick, else SSE2, else the reference); RenderView
// uses it. Decided once per process.
RenderPath FastestRenderPath();

// Draws the view as RenderTerrain does, with the given path (which must be
// available). Called by RenderView, the tests and the benchmarks.
void RenderTerrainWith(RenderPath path, const ViewGeometry& view, const TerrainSources& sources,
                       const CameraState& camera);

// The number of march steps RenderTerrain takes for this camera: 256 per
// column, fewer in a column whose rows all fill before its last step. Used
// by the benchmarks to report time per step; costs about as much as a frame.
long long CountMarchSteps(const ViewGeometry& view, const TerrainSources& sources,
                          const CameraState& camera);
