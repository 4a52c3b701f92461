// fly_overlay.h -- what the fly session shows over the view: frame rate, camera, mode, recording
// state and the controls' help
#pragma once

#include <string>
#include <vector>

#include "platform/screen.h"
#include "shared/scene_types.h"

// The session's state as the overlay shows it.
struct OverlayStatus {
    bool player = false;  // the mode: the scene's flight played, or free flight
    double fps = 0;       // frames per second over the last second
    double frameMs = 0;   // the last frame's time, loop to loop
    CameraState camera;   // the camera drawn
    int ground = 0;       // the height map's byte under the camera
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

// The overlay image for a screen of `width` x `height` pixels: the status
// lines at the top (TopLines), the last message, and the help of the mode's
// controls at the bottom, each on a dark translucent band.
OverlayImage ComposeOverlay(int width, int height, const OverlayStatus& status);

// The lines at the top, laid out for a screen `width` pixels wide: while
// recording, the keys recorded; the mode's line (FLY or PLAY with its
// state), for the player the key and frame rate, then the camera: where, which way (heading in
// degrees, the horizon's view row), and the height over the ground under it. Each line holds its
// fields as they fit on the 240-pixel handheld screen; on a narrower one they wrap, and a field
// wider than the screen is cut, so no line is wider than the screen less its band's edges.
std::vector<std::string> TopLines(int width, const OverlayStatus& status);

// The message's lines (it may hold several, between '\n'), each cut to the
// screen's width from the left ("...", keeping a path's end).
std::vector<std::string> MessageLines(int width, const std::string& message);

// The widest text a band holds on a screen `width` pixels wide.
int BandTextWidth(int width);
