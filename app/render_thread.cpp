// render_thread.cpp -- the frame loop and the render thread's body
#include "app/render_thread.h"

#include "app/demo_state.h"
#include "app/main_window.h"
#include "platform/clock.h"
#include "platform/gx.h"
#include "platform/messages.h"
#include "render/terrain_renderer.h"

std::atomic<int> renderRunning{0};
uint32_t startTick = 0;
ThreadHandle renderThread;

namespace {
// The renderer of the view, with the memory it keeps from frame to frame;
// used by the render thread only.
TerrainRenderer viewRenderer;
}  // namespace

void RenderView(const CameraState& camera) {
    viewRenderer.Draw(viewGeometry, SceneSources(scene, sineTable), camera);
}

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
