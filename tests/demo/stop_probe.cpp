// stop_probe.cpp -- the demo exactly as flyover runs it, plus a thread that stops it with user
// input at a chosen moment
//
// flyover_stop_probe KIND DELAY_MS
//   KIND is key, click or close. Once the render thread runs, the probe waits
//   DELAY_MS and puts that input into SDL's queue, then prints
//   "injected NS PUBLISHED PRESENTED" (the steady clock in nanoseconds and
//   the display's frame counters at that moment). The exit status is the
//   demo's own.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "app/app_main.h"
#include "app/render_thread.h"
#include "platform/sdl/sdl_platform.h"
#include "tests/support/sdl_input.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: flyover_stop_probe key|click|close DELAY_MS\n");
        return 2;
    }
    InjectedInput input = InjectedInput::KeyPress;
    if (std::strcmp(argv[1], "click") == 0)
        input = InjectedInput::LeftButtonPress;
    else if (std::strcmp(argv[1], "close") == 0)
        input = InjectedInput::CloseRequest;
    else if (std::strcmp(argv[1], "key") != 0)
        return 2;
    const auto delay = std::chrono::milliseconds(std::atoi(argv[2]));

    const std::unique_ptr<WindowedPlatform> platform = WindowedPlatformFromEnvironment();
    std::atomic<bool> ended{false};
    std::thread injector([&] {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (renderRunning.load() == 0) {
            if (ended.load() || std::chrono::steady_clock::now() > limit) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        std::this_thread::sleep_for(delay);
        const WindowedDisplayStatistics stats = platform->Statistics();
        const auto at = std::chrono::steady_clock::now().time_since_epoch();
        const bool pushed = InjectInput(input, stats.windowId);
        std::printf("injected %lld %llu %llu %s\n",
                    static_cast<long long>(std::chrono::nanoseconds(at).count()),
                    static_cast<unsigned long long>(stats.framesPublished),
                    static_cast<unsigned long long>(stats.framesPresented),
                    pushed ? "pushed" : "refused");
        std::fflush(stdout);
    });
    const int code = AppMain(*platform);
    ended = true;
    injector.join();
    return code;
}
