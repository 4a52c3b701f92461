// bench_scene.h -- the default scene, its cameras and headless screens, set up once for the
// benchmarks
#pragma once

#include <string>
#include <vector>

#include "bench/support/bench_support.h"
#include "platform/frame_buffer.h"
#include "shared/scene_types.h"
#include "tools/tool_scene.h"

// The directory of the scene the benchmarks use: $FLYOVER_BENCH_SCENE when
// set, otherwise the default scene the build generates beside the programs.
std::string BenchSceneDirectory();

// The scene, read once as the demo reads it; null (with the loader's message
// on stderr) when it cannot be read.
const ToolScene* BenchScene();

// The view of a headless screen of `shape`, made once per shape.
const ViewGeometry& BenchView(const DisplayShape& shape);

// The flight's cameras every 250 ms of flight time, and the hard cases; both
// from BenchScene(), which must have been read.
const std::vector<CameraState>& BenchFlightCameras();
const std::vector<NamedCamera>& BenchHardCases();
