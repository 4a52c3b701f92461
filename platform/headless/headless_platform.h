// headless_platform.h -- the platform without a desktop: a screen in memory, silent sound, errors
// on stderr
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/frame_buffer.h"
#include "platform/platform.h"

// A screen that is a frame buffer in memory, every pixel 0 at the start.
// Nothing is shown. By default the frame buffer is the display itself (no
// per-frame calls); as a memory copy it counts its frames and runs the hooks
// a test gives it, on the drawing thread. The overlay is kept, apart from the
// frame buffer, for tests to read. Given a true-colour size, it also takes
// true-colour frames of that size (the window's pixels, as a test sets them).
class HeadlessScreen final : public Screen {
public:
    explicit HeadlessScreen(const DisplayShape& shape, bool memoryCopy = false)
        : frame_(shape), memoryCopy_(memoryCopy) {}

    GXDisplayProperties Properties() const override { return FramePropertiesOf(frame_); }
    uint16_t* TopLeft() override { return frame_.TopLeft(); }
    bool IsMemoryCopy() const override { return memoryCopy_; }
    void BeginFrame() override;
    void Present() override;
    bool ShowWindow(const std::string& title) override;
    void SetOverlay(const OverlayImage& overlay) override;
    void SetWindowIcon(const WindowIcon& icon) override { windowIcon = icon; }
    bool SupportsTrueColour() const override { return trueColourWidth_ > 0; }
    // Given a true-colour size, the screen wants true-colour pictures.
    bool WantsTrueColour() const override { return SupportsTrueColour(); }
    TrueColourFrame NextTrueColourFrame() override;
    // Counts the picture and runs the hooks, as Present does.
    void PresentTrueColour() override;

    // For tests: the window's drawable size from the next true-colour frame
    // on (0 x 0: no true colour), as a resize or full screen would set it.
    // Drawing thread, or before the screen is used.
    void SetTrueColourSize(int width, int height);
    // The last true-colour frame given (empty before the first).
    const TrueColourFrame& LastTrueColourFrame() const { return trueColour_; }
    std::atomic<int> trueColourPresents{0};

    FrameBuffer& Frame() { return frame_; }
    const FrameBuffer& Frame() const { return frame_; }

    // For tests. Set the hooks and the failure before the screen is used.
    std::function<void()> onBeginFrame;
    std::function<void()> onPresent;
    bool windowFails = false;
    std::atomic<int> frameBegins{0};
    std::atomic<int> presents{0};
    std::string windowTitle;  // the title ShowWindow was given; main thread
    bool windowShown = false;
    WindowIcon windowIcon;  // the icon SetWindowIcon was given; main thread
    OverlayImage overlay;   // the last overlay set; drawing thread

private:
    friend class HeadlessPlatform;

    FrameBuffer frame_;
    bool memoryCopy_;
    int trueColourWidth_ = 0, trueColourHeight_ = 0;
    std::vector<uint32_t> trueColourPixels_;
    TrueColourFrame trueColour_;
    std::function<void()> presented_;  // the platform's: steps its clock, posts scripted input
};

// An input event the headless platform posts once its clock reaches `at`
// microseconds (the event's tick stamp is the tick count of that moment).
struct ScriptedInput {
    int64_t at = 0;
    InputEvent event;
};

// What a headless platform offers.
struct HeadlessOptions {
    // The display, or none at all (OpenScreen then fails).
    std::optional<DisplayShape> screen = DisplayShape{};
    bool memoryCopy = false;   // whether the screen is a memory copy
    bool windowFails = false;  // whether the screen's window cannot be made
    // Above 0 x 0: the screen takes true-colour frames of this size.
    int trueColourWidth = 0, trueColourHeight = 0;
    // Above 0: the platform's clock is its own, 0 at the start, and each
    // Present moves it on by this many microseconds, as a display refreshing
    // at that period would. 0: the system's steady clock.
    int64_t frameStepMicroseconds = 0;
    // The clock's reading at the start, in microseconds (to reach the tick
    // count's wrap in a test, say).
    int64_t clockStartMicroseconds = 0;
    // Input posted to Events() in order, each once the clock (read through
    // ClockMicroseconds or moved on by a present) reaches its time: the same
    // code runs on it as on a person's input.
    std::vector<ScriptedInput> script{};
};

// The platform of flyover-tool and the tests: the screen in memory, sound
// that is only checked and remembered, error boxes on stderr alone.
class HeadlessPlatform final : public Platform {
public:
    explicit HeadlessPlatform(const HeadlessOptions& options = {});

    Screen* OpenScreen() override;
    bool PlayLoopingSound(const uint8_t* wave, size_t size) override;
    void StopSound() override;
    // Any thread.
    int64_t ClockMicroseconds() override;
    // With a stepped clock, returns at once: only presents move the clock.
    void WaitUntil(int64_t clockMicroseconds) override;
    // Moves the clock on by `microseconds` at once, as if that much time had
    // passed (a test's frame that takes a second, say). Any thread.
    void StepClock(int64_t microseconds) { clockStep_.fetch_add(microseconds); }

    // For tests: the screen once opened (null before), whether a sound is
    // playing, and every error box shown ("caption: text").
    HeadlessScreen* OpenedScreen() { return screen_.get(); }
    bool SoundPlaying() const { return soundPlaying_; }
    const std::vector<std::string>& ErrorBoxes() const { return errorBoxes_; }

protected:
    void ShowBox(const std::string& text, const std::string& caption) override;

private:
    // Posts the scripted input whose time has come at `now`.
    void PostDueInput(int64_t now);

    HeadlessOptions options_;
    std::atomic<int64_t> steppedClock_;  // with frameStepMicroseconds: the clock
    std::atomic<int64_t> clockStep_{0};  // added by StepClock
    int64_t systemStart_;                // without: the steady clock's reading at the start
    std::mutex scriptMutex_;             // the clock is read from any thread
    size_t nextScripted_ = 0;            // guarded by scriptMutex_
    std::unique_ptr<HeadlessScreen> screen_;
    bool soundPlaying_ = false;
    std::vector<std::string> errorBoxes_;
};
