// demo_hd_view.h -- the demo's HD view: drawn at the window's size instead of the faithful view
// when the screen wants true colour (FLYOVER_VIEW=hd)
#pragma once

#include "shared/scene_types.h"

// Called once by AppMain after the scene is loaded, before the render thread
// starts: when the screen wants true-colour pictures, builds the HD terrain
// of the scene (its maps interpolated to 1024) and the HD view's renderer.
// Where the terrain cannot be built, says why on stderr and keeps the
// faithful view.
void StartHdView();

// Whether the HD view is drawn (after StartHdView). Any thread.
bool HdViewOn();

// Render thread: draws `camera` into the screen's next true-colour frame.
void DrawHdView(const CameraState& camera);
