// fly_session.cpp -- the session's loop: input, motion or playing, the view, the overlay, the
// recording written
#include "fly/fly_session.h"

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <memory>
#include <system_error>

#include "fly/fly_hd.h"
#include "fly/fly_overlay.h"
#include "fly/fly_state.h"
#include "path/key_path.h"
#include "platform/clock.h"
#include "render/terrain_renderer.h"
#include "render/terrain_view.h"
#include "resources/icon.h"
#include "shared/statistics.h"

namespace {

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

bool IsInput(EventKind kind) {
    return kind != EventKind::CloseRequest && kind != EventKind::ControllerAdded &&
           kind != EventKind::ControllerRemoved;
}

// When to start drawing the next frame: the screen takes frames once per
// refresh, so the loop learns the period between takes and its own drawing
// time and starts drawing just in time. 0 until both are known.
class LatePacing {
public:
    // `start`: the frame's start, `drawn`: when it was drawn, `taken`: when
    // Present returned (the screen took it); the platform's clock.
    void Presented(int64_t start, int64_t drawn, int64_t taken) {
        if (lastTaken_ > 0) {
            const double period = static_cast<double>(taken - lastTaken_);
            period_ = period_ == 0 ? period : 0.9 * period_ + 0.1 * period;
        }
        // The drawing time: quick to rise, slow to fall.
        const double draw = static_cast<double>(drawn - start);
        drawing_ = draw > drawing_ ? draw : 0.95 * drawing_ + 0.05 * draw;
        lastTaken_ = taken;
        ++frames_;
    }
    int64_t NextStart() const {
        // Only a steady period of a real refresh rate is waited for.
        if (frames_ < 30 || period_ < kShortestPeriodUs || period_ > kLongestPeriodUs) return 0;
        return lastTaken_ + static_cast<int64_t>(period_ - drawing_) - kSafetyUs;
    }

private:
    static constexpr double kShortestPeriodUs = 4000;  // 250 Hz
    static constexpr double kLongestPeriodUs = 50000;  // 20 Hz
    static constexpr int64_t kSafetyUs = 6000;
    int64_t lastTaken_ = 0;
    double period_ = 0;
    double drawing_ = 0;
    int64_t frames_ = 0;
};

// The session's state between frames: the flight, the player and the
// recorder (FlyState), and what this loop adds to them: the screen, the
// clock, the report and the key files written.
class Session {
public:
    Session(Platform& platform, const FlyScene& scene, const FlySessionOptions& options,
            FlySessionReport& report, const ViewGeometry& view)
        : platform_(platform),
          scene_(scene),
          options_(options),
          report_(report),
          view_(view),
          hdGround_(options.hd ? HdGroundBytes(*options.hd) : std::vector<uint8_t>{}),
          keysOut_(options.keysOut),
          state_(scene.scene, scene.keyFile, StateSettings()) {}

    int Run(Screen& screen, const std::function<void(const FlyFrame&)>& observe);

private:
    struct FrameTime;
    struct Drawing;
    struct OverlaySize;

    FlyStateSettings StateSettings() {
        FlyStateSettings settings;
        settings.ground = options_.hd ? hdGround_.data() : scene_.scene.heightMap.pixels.data();
        settings.bottomRow = view_.bottomRow;
        settings.limits = options_.limits;
        settings.intervalMs = options_.intervalMs;
        settings.closeLoop = options_.closeLoop;
        settings.overlay = options_.overlay;
        settings.recorded = [this](const RecordedFlight& flight) { return WriteRecording(flight); };
        settings.said = [](const std::string& text) {
            std::printf("%s\n", text.c_str());
            std::fflush(stdout);
        };
        return settings;
    }

    // A frame's stages, in the order Run takes them: the clock read, the
    // queued input handled (false when the session is to end), the flight
    // or the player moved, the view drawn, the frame shown to the observer,
    // the overlay set and the frame presented.
    FrameTime Tick(int64_t start, int64_t& last);
    bool TakeInput(std::vector<uint32_t>& inputTimes);
    OverlaySize Draw(Screen& screen, Drawing& d, const CameraState& camera);
    void Observe(const std::function<void(const FlyFrame&)>& observe, int64_t frame,
                 const FrameTime& t, const CameraState& camera) const;
    void ShowOverlay(Screen& screen, Drawing& d, const OverlaySize& size, const CameraState& camera,
                     double frameMs) const;
    void Present(Screen& screen, const Drawing& d, int64_t start, LatePacing& pacing,
                 const std::vector<uint32_t>& inputTimes);
    // Writes a finished recording's key file; returns what to say of it.
    std::string WriteRecording(const RecordedFlight& flight);
    // Writes a key file's text to the first fallback that takes it; returns
    // the name written, or "".
    std::string WriteKeys(const std::string& text);
    // The places a recording may go when keysOut_ cannot be written.
    std::vector<std::string> Fallbacks() const;
    void SayAtStart();

    Platform& platform_;
    const FlyScene& scene_;
    const FlySessionOptions& options_;
    FlySessionReport& report_;
    ViewGeometry view_;
    std::vector<uint8_t> hdGround_;  // with the HD view: the ground the flight keeps above
    bool failed_ = false;
    std::string keysOut_;  // where recordings go: options' keysOut, or a fallback
    FlyState state_;
    std::deque<double> recentFrames_;  // the session's times of the last second's frames
};

std::string Session::WriteRecording(const RecordedFlight& flight) {
    const std::string text =
        FormatKeyFile(flight.plan, scene_.keyFile.colourMapName, scene_.keyFile.heightMapName);
    std::string error;
    std::string written = WriteNewFile(keysOut_, text, error);
    std::string instead;
    if (written.empty()) {
        // Never lose a recording: the keys go to the first place that takes them.
        std::fprintf(stderr, "flyover-tool fly: %s\n", error.c_str());
        std::fflush(stderr);
        failed_ = true;
        const std::string failed = keysOut_;
        written = WriteKeys(text);
        if (written.empty()) {
            const std::string lost = error + "; the recording could not be written anywhere";
            state_.SetMessage(lost);
            std::fprintf(stderr, "flyover-tool fly: %s\n", lost.c_str());
            return "";
        }
        instead = " instead of " + failed;
    }
    report_.keyFiles.push_back(written);
    std::string said = "wrote " + written + instead + ": " +
                       std::to_string(flight.plan.keys.size()) + " keys" +
                       (flight.closedLoop ? ", loop closed" : "");
    if (flight.full) said += " (recording stopped: the flight went too far)";
    if (instead.empty() && written != keysOut_) said += " (" + keysOut_ + " exists)";
    return said;
}

std::vector<std::string> Session::Fallbacks() const {
    std::vector<std::string> places;
    for (const std::string& place : options_.keysFallback)
        if (place != keysOut_) places.push_back(place);
    std::error_code ignored;
    const std::filesystem::path temp = std::filesystem::temp_directory_path(ignored);
    places.push_back((temp.empty() ? std::filesystem::path("/tmp") : temp) /
                     "flyover-Keys2.txt.new");
    return places;
}

std::string Session::WriteKeys(const std::string& text) {
    for (const std::string& place : Fallbacks()) {
        std::string error;
        const std::string written = WriteNewFile(place, text, error);
        if (!written.empty()) return written;
        std::fprintf(stderr, "flyover-tool fly: %s\n", error.c_str());
    }
    return "";
}

void Session::SayAtStart() {
    // A scene whose flight cannot play: the player shows nothing.
    std::string said = state_.WhyNoPlayer();
    // Where recordings will go, when it is not where they were asked to.
    std::string error;
    if (!CanWriteNewFile(keysOut_, error)) {
        for (const std::string& place : Fallbacks()) {
            std::string ignored;
            if (CanWriteNewFile(place, ignored)) {
                error += "; recordings go to " + place;
                keysOut_ = place;
                break;
            }
        }
        said += (said.empty() ? "" : "\n") + error;
    }
    if (!said.empty()) state_.Say(said);
}

// One frame's time on the platform's clock.
struct Session::FrameTime {
    int64_t now = 0;     // when the frame started, in microseconds
    double dt = 0;       // seconds since the frame before
    double seconds = 0;  // seconds since the session started
};

// What the frames are drawn with, and what the screen shows of the overlay.
struct Session::Drawing {
    TerrainRenderer renderer;
    std::unique_ptr<FlyHdView> hd;  // with the HD view
    TerrainSources sources;
    int width = 0, height = 0;  // the screen's
    bool overlayShown = false;
};

// The overlay's size in its own pixels, and how many window pixels each is.
struct Session::OverlaySize {
    int width = 0, height = 0, scale = 1;
};

Session::FrameTime Session::Tick(int64_t start, int64_t& last) {
    FrameTime t;
    t.now = platform_.ClockMicroseconds();
    t.dt = static_cast<double>(t.now - last) / 1e6;
    t.seconds = static_cast<double>(t.now - start) / 1e6;
    last = t.now;
    recentFrames_.push_back(t.seconds);
    while (!recentFrames_.empty() && recentFrames_.front() <= t.seconds - 1.0)
        recentFrames_.pop_front();
    return t;
}

bool Session::TakeInput(std::vector<uint32_t>& inputTimes) {
    inputTimes.clear();
    InputEvent event;
    while (platform_.Events().Poll(event)) {
        if (IsInput(event.kind)) inputTimes.push_back(event.time);
        if (!state_.Take(event)) return false;
    }
    return true;
}

Session::OverlaySize Session::Draw(Screen& screen, Drawing& d, const CameraState& camera) {
    screen.BeginFrame();
    // The HD view at the window's size, its overlay scaled to match.
    OverlaySize size{d.width, d.height, 1};
    if (d.hd) {
        const TrueColourFrame drawn = d.hd->Draw(screen, camera);
        size.scale = HdOverlayScale(drawn.height);
        size.width = drawn.width / size.scale;
        size.height = drawn.height / size.scale;
    } else {
        d.renderer.Draw(view_, d.sources, camera);
    }
    return size;
}

void Session::Observe(const std::function<void(const FlyFrame&)>& observe, int64_t frame,
                      const FrameTime& t, const CameraState& camera) const {
    if (!observe) return;
    FlyFrame info;
    info.index = frame;
    info.seconds = t.seconds;
    info.player = state_.Player();
    info.camera = camera;
    info.pose = state_.Pose();
    info.playerTimeMs = state_.PlayerTimeMs();
    info.recording = state_.Recording();
    info.message = state_.Message();
    observe(info);
}

void Session::ShowOverlay(Screen& screen, Drawing& d, const OverlaySize& size,
                          const CameraState& camera, double frameMs) const {
    if (state_.Overlay()) {
        const double fps = static_cast<double>(recentFrames_.size());
        OverlayImage image =
            ComposeOverlay(size.width, size.height, state_.Status(camera, fps, frameMs));
        image.scale = size.scale;
        screen.SetOverlay(image);
        d.overlayShown = true;
    } else if (d.overlayShown) {
        screen.SetOverlay(OverlayImage{});
        d.overlayShown = false;
    }
}

void Session::Present(Screen& screen, const Drawing& d, int64_t start, LatePacing& pacing,
                      const std::vector<uint32_t>& inputTimes) {
    const int64_t drawn = platform_.ClockMicroseconds();
    if (d.hd)
        screen.PresentTrueColour();
    else
        screen.Present();
    const int64_t taken = platform_.ClockMicroseconds();
    pacing.Presented(start, drawn, taken);
    report_.presentMs.push_back(static_cast<double>(taken - drawn) / 1000.0);
    const uint32_t shown = platform_.TickCount();
    for (const uint32_t t : inputTimes)
        report_.latencyMs.push_back(static_cast<double>(shown - t));
    ++report_.frames;
}

int Session::Run(Screen& screen, const std::function<void(const FlyFrame&)>& observe) {
    Drawing drawing;
    if (options_.hd)
        drawing.hd =
            std::make_unique<FlyHdView>(*options_.hd, options_.hdOptions, options_.hdThreads);
    drawing.sources = SceneSources(scene_.scene, scene_.sines);
    const GXDisplayProperties properties = screen.Properties();
    drawing.width = static_cast<int>(properties.cxWidth);
    drawing.height = static_cast<int>(properties.cyHeight);
    const double cpuStart = ProcessCpuSeconds();
    const int64_t start = platform_.ClockMicroseconds();
    int64_t last = start;
    std::vector<uint32_t> inputTimes;

    // Input is read as late as the drawing allows: once the screen has
    // taken a frame, the next is due a refresh period later, so the loop
    // waits until the drawing time (and a safety margin) before then, and
    // input that arrives meanwhile is in the frame shown at that refresh.
    LatePacing pacing;
    SayAtStart();
    for (int64_t frame = 0;; ++frame) {
        if (options_.maxFrames > 0 && frame >= options_.maxFrames) break;
        // A signal (Ctrl-C, SIGTERM, SIGHUP) ends the session as Escape does.
        if (options_.stop && options_.stop->load()) break;
        if (const int64_t due = pacing.NextStart(); due > 0) platform_.WaitUntil(due);
        const FrameTime t = Tick(start, last);
        if (!TakeInput(inputTimes)) break;
        if (frame > 0) report_.frameMs.push_back(t.dt * 1000.0);
        const CameraState camera = state_.Move(t.dt, t.seconds);
        const int64_t drawStart = platform_.ClockMicroseconds();
        const OverlaySize overlay = Draw(screen, drawing, camera);
        report_.drawMs.push_back(static_cast<double>(platform_.ClockMicroseconds() - drawStart) /
                                 1000.0);
        Observe(observe, frame, t, camera);
        ShowOverlay(screen, drawing, overlay, camera, t.dt * 1000.0);
        Present(screen, drawing, t.now, pacing, inputTimes);
    }
    state_.FinishRecording();
    report_.seconds = static_cast<double>(last - start) / 1e6;
    report_.cpuSeconds = ProcessCpuSeconds() - cpuStart;
    return failed_ ? 1 : 0;
}

}  // namespace

int RunFlySession(Platform& platform, const FlyScene& scene, const FlySessionOptions& options,
                  FlySessionReport& report, const std::function<void(const FlyFrame&)>& observe) {
    Screen* screen = platform.OpenScreen();
    if (!screen) {
        std::fprintf(stderr, "flyover-tool fly: no screen to fly on\n");
        return 1;
    }
    const GXDisplayProperties properties = screen->Properties();
    if (options.hd && !screen->SupportsTrueColour()) {
        std::fprintf(stderr, "flyover-tool fly: the screen cannot show the HD view\n");
        return 1;
    }
    std::string why;
    const std::optional<ViewGeometry> view = ViewOnDisplay(properties, screen->TopLeft(), why);
    if (!view) {
        std::fprintf(stderr, "flyover-tool fly: %s\n", why.c_str());
        return 1;
    }
    screen->SetWindowIcon({kWindowIconSize, kWindowIconSize, DrawIcon(kWindowIconSize)});
    if (!screen->ShowWindow(options.title)) {
        std::fprintf(stderr, "flyover-tool fly: no window to fly in\n");
        return 1;
    }
    if (!scene.scene.path || scene.scene.heightMap.pixels.size() < static_cast<size_t>(kMapCells)) {
        std::fprintf(stderr, "flyover-tool fly: the scene has no path or height map\n");
        return 1;
    }
    Session session(platform, scene, options, report, *view);
    return session.Run(*screen, observe);
}

std::string DescribeReport(const FlySessionReport& r) {
    char text[520];
    const double fps = r.seconds > 0 ? static_cast<double>(r.frames) / r.seconds : 0;
    std::snprintf(text, sizeof text,
                  "%lld frames in %.2f s: %.1f frames per second; frame time median %.2f ms, "
                  "99th percentile %.2f ms; input to screen median %.0f ms, 99th percentile "
                  "%.0f ms (%zu events); processor %.1f %% of one core; view drawn in median "
                  "%.2f ms, presented in median %.2f ms",
                  static_cast<long long>(r.frames), r.seconds, fps, Percentile(r.frameMs, 0.5),
                  Percentile(r.frameMs, 0.99), Percentile(r.latencyMs, 0.5),
                  Percentile(r.latencyMs, 0.99), r.latencyMs.size(),
                  r.seconds > 0 ? 100.0 * r.cpuSeconds / r.seconds : 0.0, Percentile(r.drawMs, 0.5),
                  Percentile(r.presentMs, 0.5));
    return text;
}
