// sdl_platform.h -- the platform on the desktop through SDL2: a window, its input, sound and
// message boxes
#pragma once

#include <memory>
#include <optional>

#include "platform/sdl/sdl_screen.h"
#include "platform/sdl/sdl_sound.h"
#include "platform/windowed.h"
#include "platform/windowed_options.h"

// The SDL platform. Made on the main thread before anything else of SDL;
// its destruction stops the sound, closes the window and shuts SDL down.
class SdlPlatform final : public WindowedPlatform {
public:
    // With no options the platform has no display, and OpenScreen fails.
    explicit SdlPlatform(std::optional<WindowedDisplayOptions> options);
    ~SdlPlatform() override;
    SdlPlatform(const SdlPlatform&) = delete;
    SdlPlatform& operator=(const SdlPlatform&) = delete;

    Screen* OpenScreen() override;
    bool PlayLoopingSound(const uint8_t* wave, size_t size) override;
    void StopSound() override;

    // The screen's counters (all zero before it is open); any thread once
    // the screen is open.
    WindowedDisplayStatistics Statistics() const override;

protected:
    // On the screen's thread when it runs, so that one thread does all of
    // SDL's video; else on this one.
    void ShowBox(const std::string& text, const std::string& caption) override;

private:
    std::optional<WindowedDisplayOptions> options_;
    std::unique_ptr<SdlScreen> screen_;
    bool screenOpen_ = false;
    SdlSound sound_;
};
