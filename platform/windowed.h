// windowed.h -- the platform with a window on the desktop, made in one place for the demo and fly
#pragma once

#include <memory>
#include <optional>

#include "platform/platform.h"
#include "platform/windowed_options.h"

// A platform whose screen is a window on the desktop. The build chooses its
// implementation: platform/sdl (SDL2) where SDL is built, else
// platform/null, which has no display (OpenScreen fails and says why).
class WindowedPlatform : public Platform {
public:
    // The screen's counters (all zero before it is open); any thread once
    // the screen is open.
    virtual WindowedDisplayStatistics Statistics() const = 0;
};

// Called by a program's main thread before anything else of the window
// system. With no options the platform has no display, and OpenScreen fails.
std::unique_ptr<WindowedPlatform> MakeWindowedPlatform(std::optional<WindowedDisplayOptions> options);

// The demo's platform: reads FLYOVER_DISPLAY ("WxH[:LAYOUT]") and
// FLYOVER_SCALE (1..16). A bad value is reported on stderr and leaves the
// platform without a display, so that the program's own display check fails
// with its message. The one place where the demo's settings are read.
std::unique_ptr<WindowedPlatform> WindowedPlatformFromEnvironment();
