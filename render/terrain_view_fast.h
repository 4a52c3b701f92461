// terrain_view_fast.h -- the renderer's fast paths, each drawing a planned frame exactly as the
// reference does
#pragma once

#include "render/terrain_view_plan.h"

namespace terrain_fast {

struct RenderScratch;

#if defined(__x86_64__)
constexpr bool kHaveSse2Path = true;
constexpr bool kHaveAvx2Path = true;
#else
constexpr bool kHaveSse2Path = false;
constexpr bool kHaveAvx2Path = false;
#endif

// Draw the planned frame: one column at a time (portable C++), or four
// (SSE2) or eight (AVX2) at a time with x86 vector instructions, keeping
// what they reuse in `scratch`. Called by TerrainRenderer only when the path
// is available: AVX2 needs CpuHasAvx2(). `gatherHeights` picks how the AVX2
// march reads heights (one gather a step, or eight loads); the pixels are
// the same either way.
void RenderScalar(const MarchPlan& plan, RenderScratch& scratch);
void RenderSse2(const MarchPlan& plan, RenderScratch& scratch);
void RenderAvx2(const MarchPlan& plan, RenderScratch& scratch, bool gatherHeights);

}  // namespace terrain_fast
