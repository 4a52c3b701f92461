// sdl_events.cpp -- the main thread's pump: SDL events become window messages, frames reach the
// screen
#include <algorithm>
#include <climits>

#include "platform/sdl_internal.h"

namespace {

HWND WindowFor(Uint32 sdlWindowId) {
    SdlScreen* screen = ActiveSdlScreen();
    return screen && screen->SdlWindowId() == sdlWindowId ? screen->Window() : nullptr;
}

void Translate(const SDL_Event& event) {
    if (SdlDisplay* display = OpenSdlDisplay(); display && display->TakeWake(event)) return;
    switch (event.type) {
        case SDL_KEYDOWN:
            if (HWND window = WindowFor(event.key.windowID)) {
                // lParam as the handheld gives it: repeat count 1, bit 30 for a held key.
                const LPARAM flags = 1 | (event.key.repeat ? (1 << 30) : 0);
                PostInputMessage(window, WM_KEYDOWN,
                                 static_cast<WPARAM>(static_cast<uint32_t>(event.key.keysym.sym)),
                                 flags);
            }
            break;
        case SDL_MOUSEBUTTONDOWN:
            // Touches arrive here too: SDL turns them into left-button presses.
            if (event.button.button != SDL_BUTTON_LEFT) break;
            if (HWND window = WindowFor(event.button.windowID))
                PostInputMessage(window, WM_LBUTTONDOWN, 1 /* MK_LBUTTON */,
                                 MakeLParam(event.button.x, event.button.y));
            break;
        case SDL_WINDOWEVENT:
            if (HWND window = WindowFor(event.window.windowID)) {
                if (event.window.event == SDL_WINDOWEVENT_CLOSE) {
                    PostInputMessage(window, WM_CLOSE, 0, 0);
                } else if (event.window.event == SDL_WINDOWEVENT_EXPOSED) {
                    InvalidateWindow(window);
                    ActiveSdlScreen()->Exposed();
                }
            }
            break;
        default:
            break;
    }
}

class SdlPump : public MainThreadPump {
public:
    void WaitUntil(SteadyClock::time_point deadline) override {
        SdlScreen* screen = ActiveSdlScreen();
        SteadyClock::time_point until = deadline;
        if (screen) until = std::min(until, screen->NextPresentTime());
        SDL_Event event;
        int got = 0;
        if (until == SteadyClock::time_point::max()) {
            got = SDL_WaitEvent(&event);
        } else {
            const auto now = SteadyClock::now();
            const auto left = until > now ? until - now : SteadyClock::duration::zero();
            // Round up, so that a wait never ends just before its time.
            const int64_t ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
            got = ms <= 0 ? SDL_PollEvent(&event)
                          : SDL_WaitEventTimeout(&event,
                                                 static_cast<int>(std::min<int64_t>(ms, INT_MAX)));
        }
        if (got) {
            Translate(event);
            while (SDL_PollEvent(&event))
                Translate(event);
        }
        if ((screen = ActiveSdlScreen())) screen->Serve(SteadyClock::now());
    }

    void Wake() override {
        if (SdlDisplay* display = OpenSdlDisplayForWake()) display->WakeMainThread();
    }

    // While the main thread waits for another thread, the screen takes no
    // frames, so a render thread waiting for it to need not wait on.
    void Blocking() override {
        if (SdlDisplay* display = OpenSdlDisplayForWake()) display->Mailbox().ConsumerGoesAway();
    }

    // Wake may come from any thread, so it cannot read the main thread's
    // pointer; the display registers itself here when it opens.
    static SdlDisplay* OpenSdlDisplayForWake() { return wakeDisplay.load(); }
    static std::atomic<SdlDisplay*> wakeDisplay;
};

std::atomic<SdlDisplay*> SdlPump::wakeDisplay{nullptr};
SdlPump pump;

}  // namespace

MainThreadPump* SdlEventPump(SdlDisplay* display) {
    SdlPump::wakeDisplay.store(display);
    return &pump;
}
