// fly_state.cpp -- the fly session's commands, motion and recordings, shared by fly's window
// and the web page's fly mode
#include "fly/fly_state.h"

#include <utility>

#include "flight/flight_review.h"
#include "path/key_path.h"

FlyState::FlyState(const Scene& scene, const KeyFileHeader& keyFile, FlyStateSettings settings)
    : scene_(scene),
      keyFile_(keyFile),
      settings_(std::move(settings)),
      flight_(settings_.ground, settings_.bottomRow, settings_.limits),
      player_(*scene.path),
      recorder_(settings_.intervalMs),
      closeLoop_(settings_.closeLoop),
      overlay_(settings_.overlay) {
    // Free flight starts where the scene's flight starts.
    CameraState start;
    if (CameraAtTime(*scene.path, 0.0f, start)) {
        flight_.Place(PoseOf(start));
    } else {
        FlightPose middle;
        middle.x = middle.y = kMapSide / 2;
        middle.horizon = flight_.LevelHorizon();
        flight_.Place(middle);
    }
    camera_ = CameraOf(flight_.Pose());
}

std::string FlyState::WhyNoPlayer() const {
    if (player_.DurationMs() != 0) return "";
    const std::string why = WhyNoFlight(scene_.path.get(), keyFile_);
    return "the scene has no flight to play" + (why.empty() ? "" : ": " + why);
}

void FlyState::Say(const std::string& text) {
    message_ = text;
    if (settings_.said) settings_.said(text);
}

bool FlyState::Take(const InputEvent& event) {
    if (event.kind == EventKind::CloseRequest)
        quit_ = true;
    else
        Handle(input_.Take(event, playerMode_));
    return !quit_;
}

void FlyState::Handle(FlyCommand command) {
    switch (command) {
        case FlyCommand::None:
            break;
        case FlyCommand::Quit:
            quit_ = true;
            break;
        case FlyCommand::SwitchMode:
            input_.Release();
            if (!playerMode_) {
                if (recorder_.Recording()) FinishRecording();
                playerMode_ = true;
            } else {
                // Fly on from the frame the player shows.
                CameraState camera;
                if (player_.Camera(camera)) flight_.Place(PoseOf(camera));
                recorder_.Forget();
                playerMode_ = false;
            }
            break;
        case FlyCommand::ToggleRecording:
            if (recorder_.Recording()) {
                FinishRecording();
            } else {
                recorder_.Start();
                if (recorder_.Recording())
                    Say("recording, one key every " + std::to_string(settings_.intervalMs) + " ms");
            }
            break;
        case FlyCommand::ToggleLoop:
            closeLoop_ = !closeLoop_;
            Say(closeLoop_ ? "recordings will close their loop" : "recordings end where they stop");
            break;
        case FlyCommand::ToggleOverlay:
            overlay_ = !overlay_;
            break;
        case FlyCommand::Pause:
            player_.TogglePause();
            break;
        case FlyCommand::SeekBack:
            player_.Seek(-1000);
            break;
        case FlyCommand::SeekAhead:
            player_.Seek(1000);
            break;
        case FlyCommand::SeekBackFar:
            player_.Seek(-10000);
            break;
        case FlyCommand::SeekAheadFar:
            player_.Seek(10000);
            break;
        case FlyCommand::Faster:
            player_.Faster();
            break;
        case FlyCommand::Slower:
            player_.Slower();
            break;
        case FlyCommand::PreviousKey: {
            // Back to the key before, or to the start of this one when it is
            // more than a moment behind.
            const int key = player_.CurrentKey();
            const bool atKey =
                player_.TimeMs() <=
                static_cast<uint32_t>(scene_.path->Key(static_cast<uint32_t>(key)).time) + 250;
            player_.JumpToKey(atKey ? key - 1 : key);
            break;
        }
        case FlyCommand::NextKey:
            player_.JumpToKey(player_.CurrentKey() + 1);
            break;
        case FlyCommand::FirstKey:
            player_.JumpToKey(0);
            break;
        case FlyCommand::LastKey:
            player_.JumpToKey(player_.PlayedKeys() - 1);
            break;
    }
}

CameraState FlyState::Move(double dt, double seconds) {
    if (playerMode_) {
        player_.Advance(dt);
        player_.Camera(camera_);
    } else {
        flight_.Step(input_.Controls(), dt);
        const bool recording = recorder_.Recording();
        recorder_.Frame(seconds, flight_.Pose());
        // A recording the flight took too far has stopped itself: its keys
        // are handed on once, at the frame it stopped.
        if (recording && recorder_.Full()) EndRecording();
        camera_ = CameraOf(flight_.Pose());
    }
    return camera_;
}

void FlyState::FinishRecording() {
    if (recorder_.Recording()) EndRecording();
}

void FlyState::EndRecording() {
    recorder_.Stop();
    RecordedFlight flight;
    flight.plan = PlanRecordedFlight(recorder_.Keys(), settings_.intervalMs, closeLoop_,
                                     scene_.heightMap.pixels.data(), settings_.limits.clearance);
    if (flight.plan.keys.empty()) {
        Say("recording too short (under one key interval): nothing written");
        return;
    }
    flight.closedLoop = closeLoop_;
    flight.full = recorder_.Full();
    if (!settings_.recorded) return;
    const std::string said = settings_.recorded(flight);
    if (!said.empty()) Say(said);
}

OverlayStatus FlyState::Status(const CameraState& camera, double fps, double frameMs) const {
    OverlayStatus s;
    s.player = playerMode_;
    s.fps = fps;
    s.frameMs = frameMs;
    s.camera = camera;
    s.ground = GroundAt(scene_.heightMap.pixels.data(), camera.x, camera.y).under;
    s.recording = recorder_.Recording();
    s.keys = recorder_.Recording() ? static_cast<int>(recorder_.Keys().size()) - 1 : 0;
    s.closeLoop = closeLoop_;
    s.controllers = input_.Controllers();
    s.timeMs = player_.TimeMs();
    s.durationMs = player_.DurationMs();
    s.key = player_.CurrentKey();
    s.playedKeys = player_.PlayedKeys();
    s.speed = player_.Speed();
    s.paused = player_.Paused();
    s.message = message_;
    return s;
}
