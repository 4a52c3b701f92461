// bench_scene.h -- the default scene and its cameras, set up once for the benchmarks
#pragma once

#include <string>
#include <vector>

#include "platform/frame_buffer.h"
#include "shared/scene_types.h"
#include "tools/bench_support.h"

// The directory of the scene the benchmarks use: $FLYOVER_BENCH_SCENE when
// set, otherwise the default scene the build generates beside the programs.
std::string BenchSceneDirectory();

// Makes the program-wide display, view, tables and scene those of the demo
// on a headless display of `shape`, loading the scene only when the display
// changes. Returns false (with the loader's message on stderr) on failure.
bool UseBenchScene(const DisplayShape& shape);

// The flight's cameras every 250 ms of flight time, and the hard cases; both
// from the scene UseBenchScene loaded.
const std::vector<CameraState>& BenchFlightCameras();
const std::vector<NamedCamera>& BenchHardCases();
