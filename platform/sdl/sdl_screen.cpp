// sdl_screen.cpp -- the screen thread: reaching the desktop, the window, and frames put on it at
// the refresh rate
#include "platform/sdl/sdl_screen.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>

SdlScreen::SdlScreen(const WindowedDisplayOptions& options, EventQueue& events)
    : options_(options),
      events_(events),
      frame_(options.shape),
      mailbox_(static_cast<size_t>(options.shape.width) *
               static_cast<size_t>(options.shape.height)) {}

SdlScreen::~SdlScreen() {
    if (!thread_.joinable()) return;
    stop_.store(true);
    Wake();
    thread_.join();
}

bool SdlScreen::Open() {
    if (thread_.joinable()) return running_.load();
    std::future<bool> reached = reached_.get_future();
    thread_ = std::thread([this] { ThreadMain(); });
    if (reached.get()) return true;
    thread_.join();
    return false;
}

void SdlScreen::ThreadMain() {
    if (!ReachDesktop()) {
        SDL_TLSCleanup();
        reached_.set_value(false);
        return;
    }
    running_.store(true);
    reached_.set_value(true);
    while (!stop_.load())
        Serve();
    RunTasks();
    running_.store(false);
    // A render thread still waiting for the screen need not wait on.
    mailbox_.ConsumerGoesAway();
    trueMailbox_.ConsumerGoesAway();
    CloseWindow();
    for (auto& [id, controller] : controllers_)
        SDL_GameControllerClose(controller);
    controllers_.clear();
    if (options_.fullInput) SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    // SDL keeps data of its own for each thread that calls it (its error
    // text among it); a thread SDL did not make must hand it back itself.
    SDL_TLSCleanup();
}

bool SdlScreen::ReachDesktop() {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "flyover platform: no desktop to show the screen on: %s\n",
                     SDL_GetError());
        return false;
    }
    // SDL falls back to drawing off-screen when it finds no desktop; that
    // counts as a display only when asked for by SDL_VIDEODRIVER (as tests do).
    const char* driver = SDL_GetCurrentVideoDriver();
    const char* asked = SDL_GetHint(SDL_HINT_VIDEODRIVER);
    const char* failure = nullptr;
    if (driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0) &&
        !(asked && std::strstr(asked, driver))) {
        failure =
            "no desktop to show the screen on (set DISPLAY, or SDL_VIDEODRIVER=dummy to run "
            "unseen)";
    } else if (SDL_GetNumVideoDisplays() < 1) {
        failure = "the desktop has no display";
    } else if ((wakeEvent_ = SDL_RegisterEvents(1)) == static_cast<Uint32>(-1)) {
        failure = "SDL has no user events left";
    }
    if (failure) {
        std::fprintf(stderr, "flyover platform: %s\n", failure);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }
    if (options_.fullInput && SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0)
        std::fprintf(stderr, "flyover platform: no game controllers: %s\n", SDL_GetError());
    int scale = options_.scale;
    if (scale == 0) {
        SDL_Rect usable{0, 0, 0, 0};
        if (SDL_GetDisplayUsableBounds(0, &usable) != 0) SDL_GetDisplayBounds(0, &usable);
        scale = ChooseWindowScale(frame_.Width(), frame_.Height(), usable.w, usable.h);
    }
    scale_.store(scale);
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(0, &mode) == 0) SetRefreshRate(mode.refresh_rate);
    return true;
}

bool SdlScreen::ShowWindow(const std::string& title) {
    bool shown = false;
    RunOnScreenThread([&] { shown = MakeWindow(title); });
    return shown;
}

void SdlScreen::SetWindowIcon(const WindowIcon& icon) {
    RunOnScreenThread([&] {
        icon_ = icon;
        PutIconOnWindow();
    });
}

void SdlScreen::PutIconOnWindow() {
    if (!window_ || icon_.Empty()) return;
    // SDL copies the pixels; the surface only borrows them for the call.
    SDL_Surface* surface =
        SDL_CreateRGBSurfaceWithFormatFrom(icon_.pixels.data(), icon_.width, icon_.height, 32,
                                           icon_.width * 4, SDL_PIXELFORMAT_ARGB8888);
    if (!surface) return;
    SDL_SetWindowIcon(window_, surface);
    SDL_FreeSurface(surface);
}

bool SdlScreen::MakeWindow(const std::string& title) {
    if (window_) return true;
    const int scale = scale_.load();
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    const bool trueColour = options_.trueColour;
    const bool sized = trueColour && options_.trueColourWidth > 0 && options_.trueColourHeight > 0;
    // A true-colour window has pixels of its own size (all of them, on a
    // display that scales windows), always resizable.
    const Uint32 flags = SDL_WINDOW_HIDDEN |
                         (options_.resizable || trueColour ? SDL_WINDOW_RESIZABLE : 0) |
                         (trueColour ? SDL_WINDOW_ALLOW_HIGHDPI : 0);
    window_ = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                               sized ? options_.trueColourWidth : frame_.Width() * scale,
                               sized ? options_.trueColourHeight : frame_.Height() * scale, flags);
    if (window_) {
        renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_PRESENTVSYNC);
        if (!renderer_) renderer_ = SDL_CreateRenderer(window_, -1, 0);
    }
    if (renderer_ && trueColour) {
        UseSoftwareRendererForTrueColour();
        // The pictures come at the window's size; their textures are made with them.
        NoteDrawableSize();
        texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB565, SDL_TEXTUREACCESS_STREAMING,
                                     frame_.Width(), frame_.Height());
    } else if (renderer_) {
        SDL_RenderSetLogicalSize(renderer_, frame_.Width(), frame_.Height());
        SDL_RenderSetIntegerScale(renderer_, SDL_TRUE);
        texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB565, SDL_TEXTUREACCESS_STREAMING,
                                     frame_.Width(), frame_.Height());
    }
    if (!texture_) {
        std::fprintf(stderr, "flyover platform: cannot make the window: %s\n", SDL_GetError());
        CloseWindow();
        return false;
    }
    SDL_DisplayMode mode;
    const int displayIndex = SDL_GetWindowDisplayIndex(window_);
    if (displayIndex >= 0 && SDL_GetDesktopDisplayMode(displayIndex, &mode) == 0)
        SetRefreshRate(mode.refresh_rate);
    PutIconOnWindow();
    SDL_ShowWindow(window_);
    exposed_ = true;  // show the frame buffer at once, black before the first frame
    windowId_.store(SDL_GetWindowID(window_));
    return true;
}

void SdlScreen::CloseWindow() {
    windowId_.store(0);
    if (overlayTexture_) SDL_DestroyTexture(overlayTexture_);
    overlayTexture_ = nullptr;
    // Nothing draws any more: the screen closes when the platform goes.
    for (TrueTexture& t : trueTextures_)
        if (t.texture) SDL_DestroyTexture(t.texture);
    trueTextures_ = {};
    lent_ = {};
    if (texture_) SDL_DestroyTexture(texture_);
    if (renderer_) SDL_DestroyRenderer(renderer_);
    if (window_) SDL_DestroyWindow(window_);
    texture_ = nullptr;
    renderer_ = nullptr;
    window_ = nullptr;
}

void SdlScreen::Serve() {
    // Wait for the desktop's next event, a wake-up, or the next picture due.
    const Clock::time_point until = NextPresentTime();
    SDL_Event event;
    int got = 0;
    if (until == Clock::time_point::max()) {
        got = SDL_WaitEvent(&event);
    } else {
        const auto now = Clock::now();
        const auto left = until > now ? until - now : Clock::duration::zero();
        // Round up, so that a wait never ends just before its time.
        const int64_t ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
        got = ms <= 0
                  ? SDL_PollEvent(&event)
                  : SDL_WaitEventTimeout(&event, static_cast<int>(std::min<int64_t>(ms, INT_MAX)));
    }
    if (got) {
        Translate(event);
        while (SDL_PollEvent(&event))
            Translate(event);
    }
    RunTasks();
    PresentNewest(Clock::now());
}

bool SdlScreen::RunOnScreenThread(const std::function<void()>& task) {
    if (!running_.load()) return false;
    std::promise<void> done;
    std::future<void> finished = done.get_future();
    {
        std::lock_guard<std::mutex> lock(tasksMutex_);
        tasks_.push_back([&task, &done] {
            task();
            done.set_value();
        });
    }
    Wake();
    finished.wait();
    return true;
}

void SdlScreen::RunTasks() {
    for (;;) {
        std::function<void()> task;
        {
            std::lock_guard<std::mutex> lock(tasksMutex_);
            if (tasks_.empty()) return;
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        task();
    }
}

void SdlScreen::Wake() {
    // At most one wake-up event waits in SDL's queue at a time.
    if (wakeEvent_ == static_cast<Uint32>(-1) || wakePending_.exchange(true)) return;
    SDL_Event event;
    SDL_zero(event);
    event.type = wakeEvent_;
    if (SDL_PushEvent(&event) != 1) wakePending_.store(false);
}

void SdlScreen::SetRefreshRate(int hz) {
    // Displays that report nothing sensible (Xvfb, the dummy driver) get 60 Hz.
    if (hz < 24 || hz > 360) hz = 60;
    periodNs_.store(1000000000LL / hz, std::memory_order_relaxed);
}

void SdlScreen::Present() {
    // The frame in screen order, as the window's texture takes it.
    uint16_t* out = mailbox_.BackSlot();
    if (frame_.Shape().layout == DisplayLayout::Normal) {
        std::memcpy(out, frame_.Memory().data(), mailbox_.Pixels() * sizeof(uint16_t));
    } else {
        for (int y = 0; y < frame_.Height(); ++y)
            for (int x = 0; x < frame_.Width(); ++x)
                *out++ = frame_.Pixel(x, y);
    }
    mailbox_.Publish();
    Wake();
    // Keep to the screen's pace: the next frame starts once this one has been
    // taken for the window, or after one and a half refresh periods if it is
    // not (the screen is late by a little now and then; a screen that takes
    // nothing still gets a frame per refresh or so).
    mailbox_.WaitUntilTaken(Clock::now() + RefreshPeriod() * 3 / 2);
}

TrueColourFrame SdlScreen::NextTrueColourFrame() {
    if (!trueColourShown_.exchange(true)) Wake();
    int width = drawableWidth_.load(), height = drawableHeight_.load();
    if (width <= 0 || height <= 0) {
        // No window yet: the emulated screen's size.
        width = frame_.Width();
        height = frame_.Height();
    }
    // Straight into the slot's texture when the screen lent it at this size.
    const uint32_t slot = trueMailbox_.BackIndex();
    const LentPixels& lent = lent_[slot];
    drawnInTexture_[slot] = lent.pixels && lent.width == width && lent.height == height;
    if (drawnInTexture_[slot]) {
        trueMailbox_.SetBackSlotSize(width, height);
        return {lent.pixels, width, height, lent.pitch};
    }
    uint32_t* pixels = trueMailbox_.SizeBackSlot(width, height);
    return {pixels, width, height, static_cast<ptrdiff_t>(width) * 4};
}

void SdlScreen::PresentTrueColour() {
    trueMailbox_.Publish();
    Wake();
    // The same pace as Present's.
    trueMailbox_.WaitUntilTaken(Clock::now() + RefreshPeriod() * 3 / 2);
}

void SdlScreen::NoteDrawableSize() {
    int width = 0, height = 0;
    if (!renderer_ || SDL_GetRendererOutputSize(renderer_, &width, &height) != 0) return;
    drawableWidth_.store(width);
    drawableHeight_.store(height);
}

void SdlScreen::ToggleFullScreen() {
    if (!window_) return;
    const bool full = (SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN) != 0;
    SDL_SetWindowFullscreen(window_, full ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP);
    NoteDrawableSize();
    exposed_ = true;
}

bool SdlScreen::HasNewFrame() const {
    return trueColourShown_.load() ? trueMailbox_.HasNewFrame() : mailbox_.HasNewFrame();
}

SdlScreen::Clock::time_point SdlScreen::NextPresentTime() const {
    if (!window_) return Clock::time_point::max();
    if (exposed_) return Clock::time_point::min();
    if (!HasNewFrame()) return Clock::time_point::max();
    return nextPresent_;
}

void SdlScreen::PresentNewest(Clock::time_point now) {
    if (!window_) return;
    const bool due = HasNewFrame() && now >= nextPresent_;
    if (!due && !exposed_) return;
    if (due) {
        if (trueColourShown_.load()) {
            // The slot leaving the front goes back to the producer with its
            // texture's pixels lent, so that its next frame is drawn there.
            LendTrueTexture(trueMailbox_.FrontIndex());
            trueMailbox_.TakeNewest();
        } else {
            mailbox_.TakeNewest();
        }
    }
    exposed_ = false;
    PutOnWindow(due);
}

void SdlScreen::UseSoftwareRendererForTrueColour() {
    SDL_RendererInfo info;
    if (SDL_GetRendererInfo(renderer_, &info) != 0 || std::strstr(info.name, "opengl") == nullptr)
        return;
    // The GL context is current on this thread, as the renderer left it.
    using GetString = const unsigned char* (*)(unsigned);
    const auto getString = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
    constexpr unsigned kGlRenderer = 0x1F01;
    const unsigned char* name = getString ? getString(kGlRenderer) : nullptr;
    if (!name) return;
    const char* text = reinterpret_cast<const char*>(name);
    const bool onProcessor = std::strstr(text, "llvmpipe") || std::strstr(text, "softpipe") ||
                             std::strstr(text, "swrast") ||
                             std::strstr(text, "Software Rasterizer");
    if (!onProcessor) return;
    // The window's own surface, shared with the X server, not one drawn through GL.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    SDL_DestroyRenderer(renderer_);
    renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
    if (!renderer_) renderer_ = SDL_CreateRenderer(window_, -1, 0);
}

bool SdlScreen::SizeTrueTexture(TrueTexture& t, int width, int height) {
    if (t.texture && (t.width != width || t.height != height)) {
        SDL_DestroyTexture(t.texture);
        t = {};
    }
    if (!t.texture) {
        t.texture = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888,
                                      SDL_TEXTUREACCESS_STREAMING, width, height);
        if (!t.texture) return false;
        t.width = width;
        t.height = height;
    }
    return true;
}

void SdlScreen::LendTrueTexture(uint32_t slot) {
    TrueTexture& t = trueTextures_[slot];
    LentPixels& lent = lent_[slot];
    lent = {};
    const int width = drawableWidth_.load(), height = drawableHeight_.load();
    if (width <= 0 || height <= 0) return;
    if (!SizeTrueTexture(t, width, height)) return;
    void* pixels = nullptr;
    int pitch = 0;
    if (!t.locked) {
        if (SDL_LockTexture(t.texture, nullptr, &pixels, &pitch) != 0) return;
        t.locked = true;
    } else {
        // Still locked from an earlier lending the producer did not use: lock
        // it afresh, as SDL gives the pixels only at the lock.
        SDL_UnlockTexture(t.texture);
        if (SDL_LockTexture(t.texture, nullptr, &pixels, &pitch) != 0) {
            t.locked = false;
            return;
        }
    }
    if (pitch % 4 != 0) return;
    lent = {static_cast<uint32_t*>(pixels), width, height, static_cast<ptrdiff_t>(pitch)};
}

bool SdlScreen::PutTrueColourOnTexture(bool taken) {
    const uint32_t slot = trueMailbox_.FrontIndex();
    const int width = trueMailbox_.FrontWidth(), height = trueMailbox_.FrontHeight();
    if (width <= 0 || height <= 0) return false;
    TrueTexture& t = trueTextures_[slot];
    int logicalWidth = 0, logicalHeight = 0;
    SDL_RenderGetLogicalSize(renderer_, &logicalWidth, &logicalHeight);
    if (logicalWidth != 0 || logicalHeight != 0) {
        // Window pixels one for one: no logical size, no scaling.
        SDL_RenderSetLogicalSize(renderer_, 0, 0);
        SDL_RenderSetIntegerScale(renderer_, SDL_FALSE);
    }
    if (!taken) return t.texture && !t.locked;  // shown again as it is
    if (drawnInTexture_[slot]) {
        // Drawn in the texture's pixels: unlocking hands them to the renderer.
        SDL_UnlockTexture(t.texture);
        t.locked = false;
        return true;
    }
    if (t.locked) {
        SDL_UnlockTexture(t.texture);
        t.locked = false;
    }
    if (!SizeTrueTexture(t, width, height)) return false;
    SDL_UpdateTexture(t.texture, nullptr, trueMailbox_.Front(),
                      width * static_cast<int>(sizeof(uint32_t)));
    trueCopied_.fetch_add(1, std::memory_order_relaxed);
    return true;
}

void SdlScreen::PutOnWindow(bool taken) {
    const auto period = RefreshPeriod();
    const auto before = Clock::now();
    const bool trueColour = trueColourShown_.load() && PutTrueColourOnTexture(taken);
    if (!trueColour)
        SDL_UpdateTexture(texture_, nullptr, mailbox_.Front(),
                          frame_.Width() * static_cast<int>(sizeof(uint16_t)));
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
    if (trueColour) {
        // At the top left, 1:1; a picture drawn before a resize leaves black beside it.
        const SDL_Rect where{0, 0, trueMailbox_.FrontWidth(), trueMailbox_.FrontHeight()};
        SDL_RenderCopy(renderer_, trueTextures_[trueMailbox_.FrontIndex()].texture, nullptr,
                       &where);
    } else {
        SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
    }
    DrawOverlay();
    SDL_RenderPresent(renderer_);
    const auto after = Clock::now();

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
    framesPresented_.fetch_add(1, std::memory_order_relaxed);
    presentWaited_.store(vsync, std::memory_order_relaxed);
}

namespace {

// The smallest rectangle holding every pixel of `image` whose alpha is not 0.
SDL_Rect VisiblePart(const OverlayImage& image) {
    int left = image.width, right = -1, top = image.height, bottom = -1;
    for (int y = 0; y < image.height; ++y) {
        const uint32_t* row = image.pixels.data() + static_cast<size_t>(y) * image.width;
        int first = 0;
        while (first < image.width && (row[first] >> 24) == 0)
            ++first;
        if (first == image.width) continue;
        int last = image.width - 1;
        while ((row[last] >> 24) == 0)
            --last;
        left = std::min(left, first);
        right = std::max(right, last);
        top = std::min(top, y);
        bottom = y;
    }
    if (right < 0) return {0, 0, 0, 0};
    return {left, top, right - left + 1, bottom - top + 1};
}

}  // namespace

void SdlScreen::SetOverlay(const OverlayImage& overlay) {
    std::lock_guard<std::mutex> lock(overlayMutex_);
    // An image whose pixels do not fill it shows nothing.
    const bool whole = !overlay.Empty() &&
                       overlay.pixels.size() ==
                           static_cast<size_t>(overlay.width) * static_cast<size_t>(overlay.height);
    overlayPending_ = whole ? overlay : OverlayImage{};
    overlayChanged_ = true;
}

void SdlScreen::DrawOverlay() {
    {
        std::lock_guard<std::mutex> lock(overlayMutex_);
        if (overlayChanged_) {
            std::swap(overlay_, overlayPending_);
            overlayChanged_ = false;
            if (overlayTexture_) {
                int w = 0, h = 0;
                SDL_QueryTexture(overlayTexture_, nullptr, nullptr, &w, &h);
                if (w != overlay_.width || h != overlay_.height) {
                    SDL_DestroyTexture(overlayTexture_);
                    overlayTexture_ = nullptr;
                }
            }
            if (!overlay_.Empty() && !overlayTexture_) {
                overlayTexture_ =
                    SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888,
                                      SDL_TEXTUREACCESS_STREAMING, overlay_.width, overlay_.height);
                if (overlayTexture_) SDL_SetTextureBlendMode(overlayTexture_, SDL_BLENDMODE_BLEND);
            }
            if (overlayTexture_ && !overlay_.Empty())
                SDL_UpdateTexture(overlayTexture_, nullptr, overlay_.pixels.data(),
                                  overlay_.width * static_cast<int>(sizeof(uint32_t)));
            overlayVisible_ = VisiblePart(overlay_);
        }
    }
    if (!overlayTexture_ || overlay_.Empty()) return;
    // Over true-colour pictures (no logical size), each overlay pixel is
    // scale x scale. Only the part that is not wholly transparent is blended:
    // the overlay is mostly clear, and blending costs by the area.
    const int scale = trueColourShown_.load() ? std::clamp(overlay_.scale, 1, kMaxWindowScale) : 1;
    const SDL_Rect& from = overlayVisible_;
    const SDL_Rect where{from.x * scale, from.y * scale, from.w * scale, from.h * scale};
    if (from.w <= 0 || from.h <= 0 ||
        SDL_RenderCopy(renderer_, overlayTexture_, &from, &where) == 0)
        picturesWithOverlay_.fetch_add(1, std::memory_order_relaxed);
}

WindowedDisplayStatistics SdlScreen::Statistics() const {
    WindowedDisplayStatistics s;
    s.framesPublished = mailbox_.PublishedCount() + trueMailbox_.PublishedCount();
    s.framesPresented = framesPresented_.load(std::memory_order_relaxed);
    s.scale = scale_.load();
    s.refreshHz = 1e9 / static_cast<double>(periodNs_.load(std::memory_order_relaxed));
    s.presentWaitsForRefresh = presentWaited_.load(std::memory_order_relaxed);
    s.windowId = windowId_.load();
    s.picturesWithOverlay = picturesWithOverlay_.load(std::memory_order_relaxed);
    return s;
}
