// fly_state.h -- what a fly session keeps from frame to frame, with no screen or clock: free
// flight, the player, the recorder, the controls, and what each command does to them
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "flight/flight_plan.h"
#include "fly/flight_player.h"
#include "fly/fly_input.h"
#include "fly/fly_overlay.h"
#include "fly/free_flight.h"
#include "fly/path_recorder.h"
#include "platform/events.h"
#include "scene/scene_loader.h"
#include "shared/scene_types.h"

// A recording that ended with keys: its flight, planned to play as the
// recording flew.
struct RecordedFlight {
    FlightPlan plan;
    bool closedLoop = false;
    bool full = false;  // stopped because the flight went too far
};

// What a state is made with besides its scene.
struct FlyStateSettings {
    // The heights free flight keeps above (the scene's height map, or the
    // HD view's ground envelope), 256 x 256 bytes; they must outlive the state.
    const uint8_t* ground = nullptr;
    int bottomRow = 0;  // the view's last row, for the level horizon
    FlightLimits limits;
    int intervalMs = 500;  // one recorded key every this many milliseconds
    bool closeLoop = false;
    bool overlay = true;
    // Takes each recording that ends with keys and returns what to say of
    // it (where it went), which the state says; "" says nothing.
    std::function<std::string(const RecordedFlight&)> recorded;
    // Hears everything the state says, as it says it (fly prints it).
    std::function<void(const std::string&)> said;
};

// The session between its frames: the input's commands handled, the flight
// or the player moved on, the overlay's status. The scene's path must be
// there (the player plays it, free flight starts at its start); the scene
// must outlive the state.
class FlyState {
public:
    FlyState(const Scene& scene, const KeyFileHeader& keyFile, FlyStateSettings settings);

    // Takes one input event; false once it asks to leave (Escape, a close
    // request). Leaving does not finish a recording: FinishRecording does.
    bool Take(const InputEvent& event);
    // Moves the player, or the free flight and its recording, on by `dt`
    // seconds at `seconds` of the session's clock; the camera to draw (the
    // last one while the player has none to give).
    CameraState Move(double dt, double seconds);
    // Ends a recording running, planning its flight and handing it on.
    void FinishRecording();
    // Sets the message line and tells `said`.
    void Say(const std::string& text);
    // Sets the message line alone.
    void SetMessage(const std::string& text) { message_ = text; }

    // The overlay's status for a frame showing `camera`, at `fps` frames a
    // second and `frameMs` since the frame before.
    OverlayStatus Status(const CameraState& camera, double fps, double frameMs) const;

    bool Player() const { return playerMode_; }
    bool Recording() const { return recorder_.Recording(); }
    bool Overlay() const { return overlay_; }
    const FlightPose& Pose() const { return flight_.Pose(); }
    const CameraState& Camera() const { return camera_; }
    uint32_t PlayerTimeMs() const { return player_.TimeMs(); }
    const std::string& Message() const { return message_; }
    // Why the scene's flight cannot be played, or "" when it can.
    std::string WhyNoPlayer() const;

private:
    void Handle(FlyCommand command);
    void EndRecording();  // the recording stopped: its flight planned and handed on

    const Scene& scene_;
    KeyFileHeader keyFile_;
    FlyStateSettings settings_;
    FreeFlight flight_;
    FlightPlayer player_;
    PathRecorder recorder_;
    FlyInput input_;
    bool playerMode_ = false;
    bool closeLoop_;
    bool overlay_;
    bool quit_ = false;
    CameraState camera_;  // the last camera Move gave
    std::string message_;
};
