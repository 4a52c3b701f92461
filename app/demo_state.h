// demo_state.h -- the demo's program-wide state: its platform, the view, the tables, the scene and
// the camera
#pragma once

#include <string>

#include "platform/platform.h"
#include "render/tables.h"
#include "shared/scene_types.h"
#include "shared/view_geometry.h"

// The system the demo runs on, given to AppMain by the program's entry, and
// its screen, opened by OpenView. Both live until the process ends.
extern Platform* platform;
extern Screen* screen;

// Where the view lies in the screen's frame buffer. Written by OpenView
// before anything else runs; read-only afterwards.
extern ViewGeometry viewGeometry;

// The colour and sine tables, built once at start-up before the scene is
// loaded; read-only afterwards.
extern ColourTables colourTables;
extern SineTable sineTable;

// The scene, written by LoadScene during start-up, before the render thread
// exists; read-only afterwards, but for its path, which the stop sequence
// frees once the render thread has ended.
extern Scene scene;

// The camera of the frame being drawn: written by UpdateCamera and read by
// RenderView, both on the render thread only.
extern CameraState cameraState;

// Called once at start-up, after OpenView and the table builds: reads the
// scene from the key file at `keyFilePath` and the pictures beside it in
// the program's directory into `scene`. On a failure shows the message
// naming the file under "Pelmora, File Error" and returns false.
bool LoadScene(const std::string& keyFilePath);

// Called by the frame loop with whole milliseconds since the flight started:
// stores the camera the scene's path gives at `time` in cameraState.
// Returns false, leaving the camera unchanged, at the end of the path or
// when there is no path.
bool UpdateCamera(float time);
