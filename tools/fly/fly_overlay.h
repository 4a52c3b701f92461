// fly_overlay.h -- what the fly session shows over the view: frame rate, camera, mode, recording
// state and the controls' help
#pragma once

#include <string>

#include "platform/screen.h"
#include "shared/scene_types.h"

// The session's state as the overlay shows it.
struct OverlayStatus {
    bool player = false;  // the mode: the scene's flight played, or free flight
    double fps = 0;       // frames per second over the last second
    double frameMs = 0;   // the last frame's time, loop to loop
    CameraState camera;   // the camera drawn
    bool recording = false;
    int keys = 0;            // keys recorded so far
    bool closeLoop = false;  // whether a recording is written with its loop closed
    int controllers = 0;     // game controllers plugged in
    // Player.
    uint32_t timeMs = 0, durationMs = 0;
    int key = 0, playedKeys = 0;
    double speed = 1.0;
    bool paused = false;
    std::string message;  // the last thing the session said (a file written), or ""
    bool help = true;     // the controls' help at the bottom
};

// The overlay image for a screen of `width` x `height` pixels: two status
// lines in the screen's top margin, the last message, and the help of the
// mode's controls at the bottom, each on a dark translucent band.
OverlayImage ComposeOverlay(int width, int height, const OverlayStatus& status);

// The status lines alone (for tests and the tool's report).
std::string StatusLine(const OverlayStatus& status);
std::string CameraLine(const CameraState& camera);
