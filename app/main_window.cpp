// main_window.cpp -- the window, the window procedure and the stop sequence
#include "app/main_window.h"

#include "app/demo_state.h"
#include "app/render_thread.h"
#include "path/key_path.h"
#include "platform/clock.h"
#include "resources/icon.h"

int pathFreed = 0;

namespace {
constexpr uint32_t kWindowShownPauseMs = 10;
}  // namespace

bool CreateMainWindow() {
    screen->SetWindowIcon({kWindowIconSize, kWindowIconSize, DrawIcon(kWindowIconSize)});
    if (!screen->ShowWindow(kWindowTitle)) return false;
    Pause(kWindowShownPauseMs);
    return true;
}

void MainWindowProc(const InputEvent& event) {
    switch (event.kind) {
        case EventKind::CloseRequest:
        case EventKind::KeyDown:
            StopDemo();
            break;
        case EventKind::ButtonDown:
            if (event.code == kLeftButton) StopDemo();
            break;
        default:
            break;
    }
}

void StopDemo() {
    EndRenderThread();
    FreePath();
    renderRunning.store(0);
    platform->Events().PostQuit(0);
}

void FreePath() {
    if (pathFreed) return;
    pathFreed = 1;
    if (scene.path) scene.path.reset();
}
