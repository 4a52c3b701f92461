// sdl_screen.h -- the emulated screen in a desktop window, served by a thread of its own
#pragma once

#include <SDL.h>

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
    // screen thread through a mailbox of their own and shown 1:1 through a
    // streaming XRGB8888 texture of the picture's size.
    bool SupportsTrueColour() const override { return true; }
    bool WantsTrueColour() const override { return options_.trueColour; }
    TrueColourFrame NextTrueColourFrame() override;
    void PresentTrueColour() override;

    // Main thread: runs `task` on the screen thread and waits for it. False,
    // without running it, when the screen thread does not run.
    bool RunOnScreenThread(const std::function<void()>& task);

    // Any thread.
    WindowedDisplayStatistics Statistics() const;

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
    void PutOnWindow();
    bool PutTrueColourOnTexture();
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
    std::atomic<bool> trueColourShown_{false};               // set by the first NextTrueColourFrame
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
    SDL_Texture* trueTexture_ = nullptr;  // the size of the last true-colour picture
    OverlayImage overlay_;                // the overlay shown
    WindowIcon icon_;                     // the window's icon, empty for none
    bool exposed_ = false;
    Clock::time_point nextPresent_{};
    int waitingPresents_ = 0;  // recent presents that waited for the refresh, 0..8
    std::map<int32_t, SDL_GameController*> controllers_;
};
