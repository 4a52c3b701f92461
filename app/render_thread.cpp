// render_thread.cpp -- the frame loop and the render thread's body
#include "app/render_thread.h"

#include "app/main_window.h"
#include "path/key_path.h"
#include "platform/clock.h"
#include "platform/gx.h"
#include "platform/messages.h"
#include "render/terrain_view.h"
#include "shared/scene_types.h"

std::atomic<int> renderRunning{0};
uint32_t startTick = 0;
ThreadHandle renderThread;

uint32_t ElapsedMs() {
    return GetTickCount() - startTick;
}

bool RenderFrame(float timeMs) {
    if (!UpdateCamera(timeMs)) return false;
    RenderView(cameraState);
    return true;
}

void RunFrames() {
    uint32_t base = ElapsedMs();
    const int dram = GXIsDisplayDRAMBuffer();
    while (renderRunning.load() != 0) {
        if (dram) GXBeginDraw();
        const float t = static_cast<float>(ElapsedMs() - base);
        if (!RenderFrame(t)) base = ElapsedMs();
        if (dram) GXEndDraw();
    }
}

DWORD RenderThread(void* /*parameter*/) {
    renderRunning.store(1);
    startTick = GetTickCount();
    RunFrames();
    renderRunning.store(0);
    PostMessage(mainWindow, WM_CLOSE, 0, 0);
    return 0;
}
