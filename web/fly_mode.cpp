// fly_mode.cpp -- the page's fly mode, a frame at a time: input, motion or playing, the view, the
// overlay, recordings handed to the page
#include "web/fly_mode.h"

#include <emscripten.h>

#include <algorithm>
#include <utility>

#include "flight/flight_plan.h"
#include "flight/flight_review.h"
#include "path/key_path.h"
#include "scene/key_file.h"

namespace {

// One recorded key every this many milliseconds, as `fly`'s default.
constexpr int kIntervalMs = 500;

FlightPose StartPose(const KeyPath& path, const FreeFlight& flight) {
    CameraState start;
    if (CameraAtTime(path, 0.0f, start)) return PoseOf(start);
    FlightPose middle;
    middle.x = middle.y = kMapSide / 2;
    middle.horizon = flight.LevelHorizon();
    return middle;
}

}  // namespace

FlyMode::FlyMode(const Scene& scene, const SineTable& sines, const KeyFileHeader& keyFile,
                 const ViewGeometry& view, std::function<void(const std::string&)> keysDone)
    : scene_(scene),
      sines_(sines),
      keyFile_(keyFile),
      view_(view),
      keysDone_(std::move(keysDone)),
      flight_(scene.heightMap.pixels.data(), view.bottomRow),
      player_(*scene.path),
      recorder_(kIntervalMs) {
    // Free flight starts where the scene's flight starts.
    flight_.Place(StartPose(*scene.path, flight_));
    camera_ = CameraOf(flight_.Pose());
    if (player_.DurationMs() == 0) {
        const std::string why = WhyNoFlight(scene.path.get(), keyFile);
        message_ = "the scene has no flight to play" + (why.empty() ? "" : ": " + why);
    }
}

bool FlyMode::Handle(FlyCommand command) {
    switch (command) {
        case FlyCommand::None:
            break;
        case FlyCommand::Quit:
            return false;
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
                    message_ = "recording, one key every " + std::to_string(kIntervalMs) + " ms";
            }
            break;
        case FlyCommand::ToggleLoop:
            closeLoop_ = !closeLoop_;
            message_ =
                closeLoop_ ? "recordings will close their loop" : "recordings end where they stop";
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
    return true;
}

void FlyMode::FinishRecording() {
    recorder_.Stop();
    const FlightPlan plan = PlanRecordedFlight(recorder_.Keys(), kIntervalMs, closeLoop_,
                                               scene_.heightMap.pixels.data(), 4.0);
    if (plan.keys.empty()) {
        message_ = "recording too short (under one key interval): nothing kept";
        return;
    }
    keysDone_(FormatKeyFile(plan, keyFile_.colourMapName, keyFile_.heightMapName));
    message_ = "recorded " + std::to_string(plan.keys.size()) + " keys" +
               (closeLoop_ ? ", loop closed" : "") + ": Keys2.txt below";
    if (recorder_.Full()) message_ += " (recording stopped: the flight went too far)";
}

OverlayStatus FlyMode::Status(double frameMs) const {
    OverlayStatus s;
    s.player = playerMode_;
    s.fps = static_cast<double>(recentFrames_.size());
    s.frameMs = frameMs;
    s.camera = camera_;
    s.ground = GroundAt(scene_.heightMap.pixels.data(), camera_.x, camera_.y).under;
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

bool FlyMode::Frame(Screen& screen, EventQueue& events, int64_t nowUs, const FlyHdTarget* hd) {
    if (start_ < 0) start_ = last_ = nowUs;
    const double dt = static_cast<double>(nowUs - last_) / 1e6;
    const double seconds = static_cast<double>(nowUs - start_) / 1e6;
    if (nowUs > last_) frameMs_.push_back(dt * 1000.0);
    last_ = nowUs;
    recentFrames_.push_back(seconds);
    recentFrames_.erase(recentFrames_.begin(),
                        std::find_if(recentFrames_.begin(), recentFrames_.end(),
                                     [seconds](double t) { return t > seconds - 1.0; }));

    InputEvent event;
    while (events.Poll(event)) {
        if (event.kind == EventKind::CloseRequest || !Handle(input_.Take(event, playerMode_))) {
            if (recorder_.Recording()) FinishRecording();
            return false;
        }
    }
    if (playerMode_) {
        player_.Advance(dt);
        player_.Camera(camera_);
    } else {
        flight_.Step(input_.Controls(), dt);
        recorder_.Frame(seconds, flight_.Pose());
        if (recorder_.Full()) FinishRecording();
        camera_ = CameraOf(flight_.Pose());
    }

    const double drawStart = emscripten_get_now();
    if (hd)
        hd->draw(camera_);
    else
        renderer_.Draw(view_, SceneSources(scene_, sines_), camera_);
    drawMs_.push_back(emscripten_get_now() - drawStart);
    if (!overlay_) {
        screen.SetOverlay(OverlayImage{});
    } else if (hd) {
        // As fly's HD window: the overlay's pixels grow with the picture, one
        // more for every 360 rows.
        const int scale = std::max(1, hd->height / 360);
        OverlayImage image =
            ComposeOverlay(hd->width / scale, hd->height / scale, Status(dt * 1000.0));
        image.scale = scale;
        screen.SetOverlay(image);
    } else {
        const GXDisplayProperties properties = screen.Properties();
        screen.SetOverlay(ComposeOverlay(static_cast<int>(properties.cxWidth),
                                         static_cast<int>(properties.cyHeight),
                                         Status(dt * 1000.0)));
    }
    return true;
}
