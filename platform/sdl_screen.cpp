// sdl_screen.cpp -- the desktop window that shows the emulated screen, scaled, vsync- or
// timer-paced
#include <algorithm>
#include <cstdio>

#include "platform/sdl_internal.h"
#include "platform/unsupported.h"

namespace {
SdlScreen* activeScreen = nullptr;  // main thread
std::atomic<Uint32> activeWindowId{0};
}  // namespace

SdlScreen* ActiveSdlScreen() {
    return activeScreen;
}
Uint32 ActiveSdlWindowId() {
    return activeWindowId.load();
}

std::unique_ptr<WindowSurface> SdlScreen::Create(HWND window, const std::string& title) {
    SdlDisplay* display = OpenSdlDisplay();
    if (!display) return nullptr;
    if (activeScreen) PlatformUnsupported("a second top-level window on the emulated screen");
    std::unique_ptr<SdlScreen> screen(new SdlScreen(window, *display));
    if (!screen->Init(title)) return nullptr;
    return screen;
}

bool SdlScreen::Init(const std::string& title) {
    const DisplayShape& shape = display_.Shape();
    const int scale = display_.Scale();
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    sdlWindow_ = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                  shape.width * scale, shape.height * scale, SDL_WINDOW_HIDDEN);
    if (sdlWindow_) {
        renderer_ = SDL_CreateRenderer(sdlWindow_, -1, SDL_RENDERER_PRESENTVSYNC);
        if (!renderer_) renderer_ = SDL_CreateRenderer(sdlWindow_, -1, 0);
    }
    if (renderer_) {
        SDL_RenderSetLogicalSize(renderer_, shape.width, shape.height);
        SDL_RenderSetIntegerScale(renderer_, SDL_TRUE);
        texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB565, SDL_TEXTUREACCESS_STREAMING,
                                     shape.width, shape.height);
    }
    if (!texture_) {
        std::fprintf(stderr, "flyover platform: cannot make the window: %s\n", SDL_GetError());
        return false;
    }
    SDL_DisplayMode mode;
    const int displayIndex = SDL_GetWindowDisplayIndex(sdlWindow_);
    if (displayIndex >= 0 && SDL_GetDesktopDisplayMode(displayIndex, &mode) == 0)
        display_.SetRefreshRate(mode.refresh_rate);
    sdlWindowId_ = SDL_GetWindowID(sdlWindow_);
    activeScreen = this;
    activeWindowId.store(sdlWindowId_);
    return true;
}

SdlScreen::~SdlScreen() {
    if (activeScreen == this) {
        activeScreen = nullptr;
        activeWindowId.store(0);
    }
    if (texture_) SDL_DestroyTexture(texture_);
    if (renderer_) SDL_DestroyRenderer(renderer_);
    if (sdlWindow_) SDL_DestroyWindow(sdlWindow_);
}

void SdlScreen::SetVisible(bool visible) {
    visible_ = visible;
    if (visible) {
        SDL_ShowWindow(sdlWindow_);
        exposed_ = true;  // show the frame buffer at once, black before the first frame
    } else {
        SDL_HideWindow(sdlWindow_);
    }
}

SteadyClock::time_point SdlScreen::NextPresentTime() const {
    if (!visible_) return SteadyClock::time_point::max();
    if (exposed_) return SteadyClock::time_point::min();
    if (!display_.Mailbox().HasNewFrame()) return SteadyClock::time_point::max();
    return nextPresent_;
}

void SdlScreen::Serve(SteadyClock::time_point now) {
    if (!visible_) return;
    const bool due = display_.Mailbox().HasNewFrame() && now >= nextPresent_;
    if (!due && !exposed_) return;
    if (due) display_.Mailbox().TakeNewest();
    exposed_ = false;
    Present();
}

void SdlScreen::Present() {
    const DisplayShape& shape = display_.Shape();
    const auto period = display_.RefreshPeriod();
    const auto before = SteadyClock::now();
    SDL_UpdateTexture(texture_, nullptr, display_.Mailbox().Front(),
                      shape.width * static_cast<int>(sizeof(uint16_t)));
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
    SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
    SDL_RenderPresent(renderer_);
    const auto after = SteadyClock::now();

    // Pictures are put up on a steady timer at the refresh rate. Where
    // presenting itself waits for the display's refresh (vsync), the timer
    // runs a tenth faster so that the refresh, not the timer, sets the pace
    // and no refresh is missed; where it returns at once (no vsync, as under
    // Xvfb or SDL's dummy driver), the timer alone paces. Either way the
    // screen, and so the render thread, never runs faster than about the
    // refresh rate.
    const bool waited = after - before >= period / 4;
    waitingPresents_ = std::clamp(waitingPresents_ + (waited ? 1 : -1), 0, 8);
    const bool vsync = waitingPresents_ >= 4;
    nextPresent_ += vsync ? period * 9 / 10 : period;
    if (nextPresent_ <= before) nextPresent_ = after + (vsync ? period * 9 / 10 : period);
    CountPresentedFrame(vsync);
}
