// sdl_display.cpp -- the windowed GX device: memory frame buffer, frame hand-off to the main
// thread, pacing
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/gx_headless.h"
#include "platform/sdl_internal.h"

namespace {
SdlDisplay* openDisplay = nullptr;  // main thread
std::atomic<uint64_t> framesPresented{0};
std::atomic<bool> lastPresentWaited{false};
std::atomic<SdlDisplay*> statisticsDisplay{nullptr};
}  // namespace

SdlDisplay* OpenSdlDisplay() {
    return openDisplay;
}

SdlDisplay::SdlDisplay(const WindowedDisplayOptions& options)
    : options_(options),
      frame_(options.shape),
      mailbox_(static_cast<size_t>(options.shape.width) *
               static_cast<size_t>(options.shape.height)) {}

SdlDisplay::~SdlDisplay() {
    statisticsDisplay.store(nullptr);
    if (openDisplay == this) {
        openDisplay = nullptr;
        InstallMainThreadPump(nullptr);
        SdlEventPump(nullptr);
        InstallWindowSurfaceFactory(nullptr);
    }
}

bool SdlDisplay::Open() {
    if (open_) return true;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "flyover platform: no desktop to show the screen on: %s\n",
                     SDL_GetError());
        return false;
    }
    // SDL falls back to drawing off-screen when it finds no desktop; that
    // counts as a display only when asked for by SDL_VIDEODRIVER (as tests do).
    const char* driver = SDL_GetCurrentVideoDriver();
    const char* asked = SDL_GetHint(SDL_HINT_VIDEODRIVER);
    if (driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0) &&
        !(asked && std::strstr(asked, driver))) {
        std::fprintf(stderr,
                     "flyover platform: no desktop to show the screen on (set DISPLAY, or "
                     "SDL_VIDEODRIVER=dummy to run unseen)\n");
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }
    if (SDL_GetNumVideoDisplays() < 1) {
        std::fprintf(stderr, "flyover platform: the desktop has no display: %s\n", SDL_GetError());
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }
    wakeEvent_ = SDL_RegisterEvents(1);
    if (wakeEvent_ == static_cast<Uint32>(-1)) {
        std::fprintf(stderr, "flyover platform: SDL has no user events left\n");
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }
    int scale = options_.scale;
    if (scale == 0) {
        SDL_Rect usable{0, 0, 0, 0};
        if (SDL_GetDisplayUsableBounds(0, &usable) != 0) SDL_GetDisplayBounds(0, &usable);
        scale = ChooseWindowScale(frame_.Width(), frame_.Height(), usable.w, usable.h);
    }
    scale_.store(scale);
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(0, &mode) == 0) SetRefreshRate(mode.refresh_rate);
    open_ = true;
    openDisplay = this;
    statisticsDisplay.store(this);
    InstallMainThreadPump(SdlEventPump(this));
    InstallWindowSurfaceFactory(&SdlScreen::Create);
    return true;
}

GXDisplayProperties SdlDisplay::Properties() const {
    return FramePropertiesOf(frame_);
}

void SdlDisplay::SetRefreshRate(int hz) {
    // Displays that report nothing sensible (Xvfb, the dummy driver) get 60 Hz.
    if (hz < 24 || hz > 360) hz = 60;
    periodNs_.store(1000000000LL / hz, std::memory_order_relaxed);
}

void SdlDisplay::CopyScreen(uint16_t* out) const {
    const int w = frame_.Width();
    const int h = frame_.Height();
    if (frame_.Shape().layout == DisplayLayout::Normal) {
        std::memcpy(out, frame_.Memory().data(), mailbox_.Pixels() * sizeof(uint16_t));
        return;
    }
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            *out++ = frame_.Pixel(x, y);
}

int SdlDisplay::EndDraw() {
    CopyScreen(mailbox_.BackSlot());
    mailbox_.Publish();
    WakeMainThread();
    // Keep to the screen's pace: the next frame starts once this one has been
    // taken for the window, or after one and a half refresh periods if it is
    // not (the screen is late by a little now and then; a screen that takes
    // nothing still gets a frame per refresh or so).
    mailbox_.WaitUntilTaken(SteadyClock::now() + RefreshPeriod() * 3 / 2);
    return 1;
}

void SdlDisplay::WakeMainThread() {
    if (wakePending_.exchange(true)) return;
    SDL_Event event;
    SDL_zero(event);
    event.type = wakeEvent_;
    if (SDL_PushEvent(&event) != 1) wakePending_.store(false);
}

bool SdlDisplay::TakeWake(const SDL_Event& event) {
    if (event.type != wakeEvent_) return false;
    wakePending_.store(false);
    return true;
}

void CountPresentedFrame(bool presentWaited) {
    framesPresented.fetch_add(1, std::memory_order_relaxed);
    lastPresentWaited.store(presentWaited, std::memory_order_relaxed);
}

void InstallWindowedDisplay(const WindowedDisplayOptions& options) {
    GXInstallDevice(std::make_unique<SdlDisplay>(options));
}

WindowedDisplayStatistics GetWindowedDisplayStatistics() {
    WindowedDisplayStatistics s;
    s.framesPresented = framesPresented.load(std::memory_order_relaxed);
    s.presentWaitsForRefresh = lastPresentWaited.load(std::memory_order_relaxed);
    if (SdlDisplay* display = statisticsDisplay.load()) {
        s.framesPublished = display->Mailbox().PublishedCount();
        s.scale = display->Scale();
        s.refreshHz = 1e9 / static_cast<double>(display->RefreshPeriod().count());
    }
    return s;
}
