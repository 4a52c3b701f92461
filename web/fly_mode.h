// fly_mode.h -- the page's fly mode: free flight, the player and path recording over the page's
// scene, one animation frame at a time
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "fly/fly_overlay.h"
#include "fly/fly_state.h"
#include "platform/events.h"
#include "platform/screen.h"
#include "render/tables.h"
#include "render/terrain_renderer.h"
#include "scene/scene_loader.h"
#include "shared/scene_types.h"
#include "shared/view_geometry.h"

// Where the fly mode's frames go when the page shows the HD view: `draw`
// draws the camera into a true-colour picture of width x height.
struct FlyHdTarget {
    std::function<void(const CameraState&)> draw;
    int width = 0;
    int height = 0;
};

// What `flyover-tool fly` does in its session loop, with the same controls
// (fly/fly_input.h), the player and the recorder, but driven by the page:
// the browser calls Frame once per animation frame, and a finished recording
// is handed to `keysDone` as a key file's text (the page offers it as a
// download) instead of being written to a file.
class FlyMode {
public:
    // The scene, sines and view must outlive the mode; the scene's path must
    // be there (the player plays it, free flight starts at its start).
    FlyMode(const Scene& scene, const SineTable& sines, const KeyFileHeader& keyFile,
            const ViewGeometry& view, std::function<void(const std::string& keys)> keysDone);

    // One frame at the page's clock (microseconds): takes the queued input,
    // moves the flight or the player, draws into the screen's frame buffer
    // and sets its overlay (the caller presents). False, drawing nothing,
    // once Escape or a close request asks to leave (a recording running is
    // finished first). With `hd`, the view is drawn by hd.draw instead, and
    // the overlay is made for an hd.width x hd.height picture.
    bool Frame(Screen& screen, EventQueue& events, int64_t nowUs, const FlyHdTarget* hd = nullptr);

    bool Player() const { return state_.Player(); }
    const FlightPose& Pose() const { return state_.Pose(); }
    const CameraState& Camera() const { return state_.Camera(); }
    bool Recording() const { return state_.Recording(); }
    const std::string& Message() const { return state_.Message(); }
    // The drawing time of each frame (the view alone) and the time from the
    // frame before, both in milliseconds.
    const std::vector<double>& DrawMs() const { return drawMs_; }
    const std::vector<double>& FrameMs() const { return frameMs_; }

private:
    const Scene& scene_;
    const SineTable& sines_;
    KeyFileHeader keyFile_;
    ViewGeometry view_;
    std::function<void(const std::string&)> keysDone_;
    TerrainRenderer renderer_;
    FlyState state_;
    int64_t start_ = -1, last_ = 0;
    std::vector<double> recentFrames_;  // the session's times of the last second's frames
    std::vector<double> drawMs_, frameMs_;
};
