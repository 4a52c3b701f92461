// sdl_screen.h -- the emulated screen in a desktop window, served by a thread of its own
#pragma once

#include <SDL.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "platform/events.h"
#include "platform/frame_buffer.h"
#include "platform/screen.h"
#include "platform/sdl/frame_mailbox.h"
#include "platform/windowed_options.h"

// The screen of the SDL platform. The renderer draws into a frame buffer in
// memory; Present copies the finished frame, in screen order, into a
// three-slot mailbox and wakes the screen thread. The screen thread owns
// everything of SDL's video: it reaches the desktop, makes the window, turns
// the desktop's events into input events on the platform's queue, and puts
// the newest frame on the window once per refresh, scaled by a whole number.
class SdlScreen final : public Screen {
public:
    using Clock = std::chrono::steady_clock;

    // `events` receives the window's input; it must outlive the screen.
    SdlScreen(const WindowedDisplayOptions& options, EventQueue& events);
    // Closes the window and ends the screen thread.
    ~SdlScreen() override;
    SdlScreen(const SdlScreen&) = delete;
    SdlScreen& operator=(const SdlScreen&) = delete;

    // Main thread: starts the screen thread and waits until it has reached
    // the desktop. False, after a line on stderr saying why, when there is no
    // desktop (no DISPLAY, an unknown SDL_VIDEODRIVER, SDL's off-screen
    // drivers unless asked for by SDL_VIDEODRIVER).
    bool Open();

    GXDisplayProperties Properties() const override { return FramePropertiesOf(frame_); }
    uint16_t* TopLeft() override { return frame_.TopLeft(); }
    bool IsMemoryCopy() const override { return true; }
    void BeginFrame() override {}
    // Render thread, once per frame: hands the frame over and waits until
    // the screen thread has taken it, at most one and a half refresh periods.
    void Present() override;
    // Main thread: the screen thread makes the window and shows it.
    bool ShowWindow(const std::string& title) override;
    // Drawing thread: the overlay is copied and put over the pictures from
    // the next one the screen thread shows.
    void SetOverlay(const OverlayImage& overlay) override;
    // Main thread: the screen thread keeps the icon and gives it to the
    // window, now or when it is made.
    void SetWindowIcon(const WindowIcon& icon) override;
    // True-colour pictures at the window's drawable size, handed to the
    // screen thread through a mailbox of their own and shown 1:1 through
    // streaming XRGB8888 textures, one per slot: a slot's frame is drawn
    // straight into its texture's locked pixels when the screen thread has
    // lent them at the frame's size (the pitch is then the texture's), into
    // the slot's own memory and copied into the texture otherwise (the first
    // frames, and those just after a resize). Where SDL's OpenGL renderer
    // rasterizes on the processor (llvmpipe, as under Xvfb), SDL's software
    // renderer on the window's shared-memory surface takes its place: it puts
    // a picture on the window with one copy instead of a GL draw and swap.
    bool SupportsTrueColour() const override { return true; }
    bool WantsTrueColour() const override { return options_.trueColour; }
    TrueColourFrame NextTrueColourFrame() override;
    void PresentTrueColour() override;

    // Main thread: runs `task` on the screen thread and waits for it. False,
    // without running it, when the screen thread does not run.
    bool RunOnScreenThread(const std::function<void()>& task);

    // Any thread.
    WindowedDisplayStatistics Statistics() const;
    // Any thread: true-colour pictures that were copied into their texture
    // from the slot's memory rather than drawn in it.
    uint64_t TrueColourPicturesCopied() const {
        return trueCopied_.load(std::memory_order_relaxed);
    }

private:
    void ThreadMain();
    bool ReachDesktop();
    bool MakeWindow(const std::string& title);
    void PutIconOnWindow();
    void CloseWindow();
    void Serve();
    void Translate(const SDL_Event& event);
    void RunTasks();
    Clock::time_point NextPresentTime() const;
    void PresentNewest(Clock::time_point now);
    void PutOnWindow(bool taken);
    bool PutTrueColourOnTexture(bool taken);
    void LendTrueTexture(uint32_t slot);
    struct TrueTexture;
    // Makes `t` a streaming texture of width x height (a new one when its
    // size differs); false when SDL cannot make one.
    bool SizeTrueTexture(TrueTexture& t, int width, int height);
    void UseSoftwareRendererForTrueColour();
    void NoteDrawableSize();
    void ToggleFullScreen();
    bool HasNewFrame() const;
    void DrawOverlay();
    void Wake();
    void SetRefreshRate(int hz);
    Clock::duration RefreshPeriod() const {
        return std::chrono::nanoseconds(periodNs_.load(std::memory_order_relaxed));
    }

    const WindowedDisplayOptions options_;
    EventQueue& events_;
    FrameBuffer frame_;
    FrameMailbox mailbox_;
    TrueColourMailbox trueMailbox_{0};
    std::atomic<bool> trueColourShown_{false};  // set by the first NextTrueColourFrame
    // Slot i's texture pixels lent to the producer: written by the screen
    // thread while slot i is its front slot, read by the producer while it is
    // its back slot (the mailbox's exchanges order the two).
    struct LentPixels {
        uint32_t* pixels = nullptr;
        int width = 0, height = 0;
        ptrdiff_t pitch = 0;
    };
    std::array<LentPixels, 3> lent_{};
    // Whether slot i's frame was drawn in its lent texture: written by the
    // producer for its back slot, read by the screen thread once taken.
    std::array<bool, 3> drawnInTexture_{};
    std::atomic<uint64_t> trueCopied_{0};
    std::atomic<int> drawableWidth_{0}, drawableHeight_{0};  // the window's pixels, 0 before it

    std::thread thread_;
    std::promise<bool> reached_;  // set once by the screen thread
    std::atomic<bool> running_{false};
    std::atomic<bool> stop_{false};
    Uint32 wakeEvent_ = static_cast<Uint32>(-1);  // set before running_
    std::atomic<bool> wakePending_{false};
    std::mutex tasksMutex_;
    std::deque<std::function<void()>> tasks_;  // guarded by tasksMutex_

    std::atomic<int64_t> periodNs_{16666667};
    std::atomic<int> scale_{0};
    std::atomic<uint32_t> windowId_{0};
    std::atomic<uint64_t> framesPresented_{0};
    std::atomic<uint64_t> picturesWithOverlay_{0};
    std::atomic<bool> presentWaited_{false};
    std::mutex overlayMutex_;
    OverlayImage overlayPending_;  // guarded by overlayMutex_
    bool overlayChanged_ = false;  // guarded by overlayMutex_

    // The screen thread's own.
    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;
    SDL_Texture* overlayTexture_ = nullptr;
    // Slot i's streaming texture, locked while its pixels are lent.
    struct TrueTexture {
        SDL_Texture* texture = nullptr;
        int width = 0, height = 0;
        bool locked = false;
    };
    std::array<TrueTexture, 3> trueTextures_{};
    OverlayImage overlay_;                 // the overlay shown
    SDL_Rect overlayVisible_{0, 0, 0, 0};  // the part of it not wholly transparent
    WindowIcon icon_;                      // the window's icon, empty for none
    bool exposed_ = false;
    Clock::time_point nextPresent_{};
    int waitingPresents_ = 0;  // recent presents that waited for the refresh, 0..8
    std::map<int32_t, SDL_GameController*> controllers_;
};
