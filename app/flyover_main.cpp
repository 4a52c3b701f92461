// flyover_main.cpp -- the flyover executable: the demo on the windowed platform
#include "app/app_main.h"
#include "platform/stop_signals.h"
#include "platform/windowed.h"

int main() {
    // The demo has no options: its arguments are ignored.
    // Ctrl-C, SIGTERM and SIGHUP close the window: the stop sequence runs,
    // the sound stops, the render thread is joined and the status is 0.
    // Blocked before the platform starts its threads, so that none of them
    // is interrupted.
    StopSignals stopSignals;
    const std::unique_ptr<WindowedPlatform> platform = WindowedPlatformFromEnvironment();
    stopSignals.Forward(platform->Events());
    const int exitCode = AppMain(*platform);
    stopSignals.Stop();
    return exitCode;
}
