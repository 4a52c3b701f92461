// fly_mode.cpp -- the page's fly mode, a frame at a time: input, motion or playing, the view, the
// overlay, recordings handed to the page
#include "web/fly_mode.h"

#include <emscripten.h>

#include <algorithm>
#include <utility>

#include "scene/key_file.h"

namespace {

// One recorded key every this many milliseconds, as `fly`'s default.
constexpr int kIntervalMs = 500;

}  // namespace

FlyMode::FlyMode(const Scene& scene, const SineTable& sines, const KeyFileHeader& keyFile,
                 const ViewGeometry& view, std::function<void(const std::string&)> keysDone)
    : scene_(scene),
      sines_(sines),
      keyFile_(keyFile),
      view_(view),
      keysDone_(std::move(keysDone)),
      state_(scene, keyFile, [this] {
          FlyStateSettings settings;
          settings.ground = scene_.heightMap.pixels.data();
          settings.bottomRow = view_.bottomRow;
          settings.intervalMs = kIntervalMs;
          // A recording is handed to the page, which offers it as a download.
          settings.recorded = [this](const RecordedFlight& flight) {
              keysDone_(FormatKeyFile(flight.plan, keyFile_.colourMapName, keyFile_.heightMapName));
              std::string said = "recorded " + std::to_string(flight.plan.keys.size()) + " keys" +
                                 (flight.closedLoop ? ", loop closed" : "") + ": Keys2.txt below";
              if (flight.full) said += " (recording stopped: the flight went too far)";
              return said;
          };
          return settings;
      }()) {
    state_.SetMessage(state_.WhyNoPlayer());
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
        if (!state_.Take(event)) {
            state_.FinishRecording();
            return false;
        }
    }
    const CameraState camera = state_.Move(dt, seconds);

    const double drawStart = emscripten_get_now();
    if (hd)
        hd->draw(camera);
    else
        renderer_.Draw(view_, SceneSources(scene_, sines_), camera);
    drawMs_.push_back(emscripten_get_now() - drawStart);
    const OverlayStatus status =
        state_.Status(camera, static_cast<double>(recentFrames_.size()), dt * 1000.0);
    if (!state_.Overlay()) {
        screen.SetOverlay(OverlayImage{});
    } else if (hd) {
        // As fly's HD window: the overlay's pixels grow with the picture, one
        // more for every 360 rows.
        const int scale = std::max(1, hd->height / 360);
        OverlayImage image = ComposeOverlay(hd->width / scale, hd->height / scale, status);
        image.scale = scale;
        screen.SetOverlay(image);
    } else {
        const GXDisplayProperties properties = screen.Properties();
        screen.SetOverlay(ComposeOverlay(static_cast<int>(properties.cxWidth),
                                         static_cast<int>(properties.cyHeight), status));
    }
    return true;
}
