// terrain_view_simd.h -- the renderer's paths that march several columns at once with x86 vector
// instructions
#pragma once

#include "render/terrain_view_plan.h"

namespace terrain_fast {

#if defined(__x86_64__)
constexpr bool kHaveSse2Path = true;
constexpr bool kHaveAvx2Path = true;
#else
constexpr bool kHaveSse2Path = false;
constexpr bool kHaveAvx2Path = false;
#endif

// Draw the planned frame, four (SSE2) or eight (AVX2) columns at a time.
// Called by RenderTerrainWith only when the path is available: AVX2 needs
// CpuHasAvx2(). `gatherHeights` picks how the AVX2 march reads heights (one
// gather a step, or eight loads); the pixels are the same either way.
void RenderSse2(const FramePlan& plan);
void RenderAvx2(const FramePlan& plan, bool gatherHeights);

}  // namespace terrain_fast
