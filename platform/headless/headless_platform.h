// headless_platform.h -- the platform without a desktop: a screen in memory, silent sound, errors
// on stderr
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/frame_buffer.h"
#include "platform/platform.h"

// A screen that is a frame buffer in memory, every pixel 0 at the start.
// Nothing is shown. By default the frame buffer is the display itself (no
// per-frame calls); as a memory copy it counts its frames and runs the hooks
// a test gives it, on the drawing thread.
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

private:
    FrameBuffer frame_;
    bool memoryCopy_;
};

// What a headless platform offers.
struct HeadlessOptions {
    // The display, or none at all (OpenScreen then fails).
    std::optional<DisplayShape> screen = DisplayShape{};
    bool memoryCopy = false;   // whether the screen is a memory copy
    bool windowFails = false;  // whether the screen's window cannot be made
};

// The platform of flyover-tool and the tests: the screen in memory, sound
// that is only checked and remembered, error boxes on stderr alone.
class HeadlessPlatform final : public Platform {
public:
    explicit HeadlessPlatform(const HeadlessOptions& options = {}) : options_(options) {}

    Screen* OpenScreen() override;
    bool PlayLoopingSound(const uint8_t* wave, size_t size) override;
    void StopSound() override;

    // For tests: the screen once opened (null before), whether a sound is
    // playing, and every error box shown ("caption: text").
    HeadlessScreen* OpenedScreen() { return screen_.get(); }
    bool SoundPlaying() const { return soundPlaying_; }
    const std::vector<std::string>& ErrorBoxes() const { return errorBoxes_; }

protected:
    void ShowBox(const std::string& text, const std::string& caption) override;

private:
    HeadlessOptions options_;
    std::unique_ptr<HeadlessScreen> screen_;
    bool soundPlaying_ = false;
    std::vector<std::string> errorBoxes_;
};
