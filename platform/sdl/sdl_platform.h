// sdl_platform.h -- the platform on the desktop through SDL2: a window, its input, sound and
// message boxes
#pragma once

#include <memory>
#include <optional>

#include "platform/platform.h"
#include "platform/sdl/sdl_options.h"
#include "platform/sdl/sdl_screen.h"
#include "platform/sdl/sdl_sound.h"

// The SDL platform. Made on the main thread before anything else of SDL;
// its destruction stops the sound, closes the window and shuts SDL down.
class SdlPlatform final : public Platform {
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
    WindowedDisplayStatistics Statistics() const;

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

// The demo's platform: reads FLYOVER_DISPLAY ("WxH[:LAYOUT]") and
// FLYOVER_SCALE (1..16). A bad value is reported on stderr and leaves the
// platform without a display, so that the program's own display check fails
// with its message. The one place where the demo's settings are read.
std::unique_ptr<SdlPlatform> SdlPlatformFromEnvironment();
