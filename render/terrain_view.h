// terrain_view.h -- draws one view of ground, sky and haze, column by column, in integers only
#pragma once

#include <cstdint>

#include "render/tables.h"
#include "shared/scene_types.h"
#include "shared/view_geometry.h"

// Everything the renderer reads besides the camera and the view geometry.
// All blocks must have the shapes noted; the scene loader guarantees them.
struct TerrainSources {
    const uint8_t* heightMap = nullptr;    // 256 x 256 heights, cell = y * 256 + x
    const uint8_t* colourMap = nullptr;    // 256 x 256 palette indices, same cells
    const uint8_t* skyPixels = nullptr;    // 512 columns x 256 rows of palette indices
    const uint16_t* skyPalette = nullptr;  // 256 RGB565 colours
    const uint32_t* shadeTable = nullptr;  // 256 x 32 fogged RGB565 colours
    const int32_t* sineTable = nullptr;    // 4096 sines scaled by 65536
};

constexpr int kHalfFieldOfView = 341;  // angle units to each side of the heading
constexpr int kSlopeUnit = 1536;       // ray slope per row and per march step
constexpr int kMarchSteps = 256;       // map cells marched per column
constexpr uint16_t kHazeColour = 0xFFFF;

// The sources of a loaded scene, with its shade table and the given sines.
// The scene and the table must outlive the sources.
TerrainSources SceneSources(const Scene& scene, const SineTable& sines);

// Draws every view column, column 0 first, into the frame buffer that `view`
// describes: pixel (col, row) is the 16-bit word at
// view.origin + col * (xpitch / 2) + row * (ypitch / 2). Writes each pixel
// of rows 0..bottomRow of columns 0..width-1 exactly once and nothing else.
// This is the plain reference; every faster path must match it bit for bit.
void RenderTerrain(const ViewGeometry& view, const TerrainSources& sources,
                   const CameraState& camera);

// Draws the view as RenderTerrain does, column by column, and returns the
// number of march steps taken: 256 per column, fewer in a column whose rows
// all fill before its last step. Used by the benchmarks to report the time
// per step.
long long CountMarchSteps(const ViewGeometry& view, const TerrainSources& sources,
                          const CameraState& camera);
