// bench_support.h -- what "flyover-tool bench" and the benchmark suite share: the fill floor and
// the cameras to time
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "shared/scene_types.h"
#include "shared/view_geometry.h"

// The floor a renderer is measured against: writes every view pixel once, in
// the renderer's order (column 0 first, each column from row 0 down to
// bottomRow) through the display's pitches, and nothing else. `value` is
// written with the row added, so that no store can be merged away.
void FillFloor(const ViewGeometry& view, uint16_t value);

// The same pixels written in the screen's memory order (row by row on an
// upright display, column by column on a turned one): the floor of a
// renderer that stages its columns and writes the screen in rows.
void FillFloorMemoryOrder(const ViewGeometry& view, uint16_t value);

// The cameras `path` gives at 0, stepMs, 2 * stepMs, ... ms until it reports
// its end (as the frame loop would see them).
std::vector<CameraState> FlightCameras(const KeyPath& path, uint32_t stepMs);

// A camera with a name, for the hard cases.
struct NamedCamera {
    std::string name;
    CameraState camera;
};

// Cameras that stress the renderer, found on a scene's height map: low over
// its flattest ground, high above its highest peak, and facing its steepest
// cliff from close by, so that the cliff fills the view.
std::vector<NamedCamera> HardCaseCameras(const BitmapImage& heightMap);

// The peak resident memory of this process so far, in kilobytes.
long PeakResidentKilobytes();
