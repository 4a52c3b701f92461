// sdl_internal.h -- the windowed display's parts on SDL: the device, the screen window and the
// main-thread pump
#pragma once

#include <SDL.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>

#include "platform/frame_buffer.h"
#include "platform/frame_mailbox.h"
#include "platform/gx.h"
#include "platform/window_internal.h"
#include "platform/windowed_display.h"

using SteadyClock = std::chrono::steady_clock;

// The GX device of a windowed program: the renderer draws into a memory
// frame buffer; GXEndDraw copies the finished frame into the mailbox, wakes
// the main thread, and waits (at most one refresh period) until the screen
// has taken it. The main thread, in its waits, puts the newest frame on the
// desktop window once per refresh.
class SdlDisplay : public GXDevice {
public:
    explicit SdlDisplay(const WindowedDisplayOptions& options);
    ~SdlDisplay() override;

    // Main thread, from GXOpenDisplay: reaches the desktop through SDL's video
    // subsystem and installs the main-thread pump and the window surfaces.
    bool Open() override;
    GXDisplayProperties Properties() const override;
    void* BeginDraw() override { return frame_.TopLeft(); }
    // Render thread, once per frame.
    int EndDraw() override;
    int IsDRAMBuffer() const override { return 1; }

    const DisplayShape& Shape() const { return frame_.Shape(); }
    FrameMailbox& Mailbox() { return mailbox_; }
    int Scale() const { return scale_.load(); }
    std::chrono::nanoseconds RefreshPeriod() const {
        return std::chrono::nanoseconds(periodNs_.load(std::memory_order_relaxed));
    }
    // Main thread, when the screen window knows its display's refresh rate.
    void SetRefreshRate(int hz);

    // Any thread: makes the main thread's wait in SDL return; at most one
    // wake-up event is queued at a time.
    void WakeMainThread();
    // Main thread: whether `event` is the wake-up; marks it taken.
    bool TakeWake(const SDL_Event& event);

private:
    void CopyScreen(uint16_t* out) const;

    WindowedDisplayOptions options_;
    FrameBuffer frame_;
    FrameMailbox mailbox_;
    bool open_ = false;
    std::atomic<int> scale_{0};
    Uint32 wakeEvent_ = static_cast<Uint32>(-1);
    std::atomic<bool> wakePending_{false};
    std::atomic<int64_t> periodNs_{16666667};
};

// The windowed display that has been opened, or null (main thread).
SdlDisplay* OpenSdlDisplay();

// The desktop window that shows the emulated screen: made for the program's
// top-level window by CreateWindow, shown and hidden with it. Main thread only.
class SdlScreen : public WindowSurface {
public:
    // The surface factory installed by SdlDisplay::Open. Null (after a line on
    // stderr saying why) when SDL cannot make the window or its renderer.
    static std::unique_ptr<WindowSurface> Create(HWND window, const std::string& title);
    ~SdlScreen() override;

    void SetVisible(bool visible) override;
    HWND Window() const { return window_; }
    Uint32 SdlWindowId() const { return sdlWindowId_; }
    SDL_Window* SdlWindow() const { return sdlWindow_; }

    // When the next picture is due on the window; time_point::max() when
    // there is nothing new to show.
    SteadyClock::time_point NextPresentTime() const;
    // Presents the newest frame when one is due, or the last one again after
    // the window was exposed.
    void Serve(SteadyClock::time_point now);
    void Exposed() { exposed_ = true; }

private:
    SdlScreen(HWND window, SdlDisplay& display) : window_(window), display_(display) {}
    bool Init(const std::string& title);
    void Present();

    HWND window_;
    SdlDisplay& display_;
    SDL_Window* sdlWindow_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;
    Uint32 sdlWindowId_ = 0;
    bool visible_ = false;
    bool exposed_ = false;
    SteadyClock::time_point nextPresent_{};
    int waitingPresents_ = 0;  // recent presents that waited for the refresh, 0..8
};

// The screen window of the program's top-level window, or null (main thread).
SdlScreen* ActiveSdlScreen();
// Main-thread id of the screen window, readable from any thread (0: none).
Uint32 ActiveSdlWindowId();

// The pump that serves the main thread's waits once `display` is open; its
// Wake goes through `display` (null: the display is gone, Wake does nothing).
MainThreadPump* SdlEventPump(SdlDisplay* display);

// Counters behind GetWindowedDisplayStatistics.
void CountPresentedFrame(bool presentWaited);
