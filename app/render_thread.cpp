// render_thread.cpp -- the frame loop, the render thread's body, and starting and ending the thread
#include "app/render_thread.h"

#include <chrono>
#include <future>
#include <system_error>

#include "app/demo_hd_view.h"
#include "app/demo_state.h"
#include "platform/clock.h"
#include "render/terrain_renderer.h"

std::atomic<int> renderRunning{0};
uint32_t startTick = 0;
std::thread renderThread;

namespace {

// Ready once RenderThread has returned; main thread only.
std::future<int> renderThreadEnded;

// How long EndRenderThread waits before asking again. A thread that had not
// yet started when it was first asked sets renderRunning on starting; asking
// again ends it at its next frame.
constexpr auto kStopRetry = std::chrono::milliseconds(20);

// The renderer of the view, with the memory it keeps from frame to frame;
// used by the render thread only. Made at the first frame, so that a program
// that links the demo but never draws (the tool, most tests) neither
// allocates its scratch nor probes the processor.
TerrainRenderer& ViewRenderer() {
    static TerrainRenderer renderer;
    return renderer;
}

}  // namespace

uint32_t ElapsedMs() {
    return platform->TickCount() - startTick;
}

void RenderView(const CameraState& camera) {
    if (HdViewOn())
        DrawHdView(camera);
    else
        ViewRenderer().Draw(viewGeometry, SceneSources(scene, sineTable), camera);
}

bool RenderFrame(float timeMs) {
    if (!UpdateCamera(timeMs)) return false;
    RenderView(cameraState);
    return true;
}

void RunFrames() {
    uint32_t base = ElapsedMs();
    const bool memoryCopy = screen->IsMemoryCopy();
    const bool hd = HdViewOn();
    while (renderRunning.load() != 0) {
        if (memoryCopy) screen->BeginFrame();
        const float t = static_cast<float>(ElapsedMs() - base);
        const bool drawn = RenderFrame(t);
        if (!drawn) base = ElapsedMs();
        // The HD view's frames are shown when drawn; at the path's end there is none.
        if (hd) {
            if (drawn) screen->PresentTrueColour();
        } else if (memoryCopy) {
            screen->Present();
        }
    }
}

int RenderThread() {
    renderRunning.store(1);
    startTick = platform->TickCount();
    RunFrames();
    renderRunning.store(0);
    InputEvent close;
    close.kind = EventKind::CloseRequest;
    platform->Events().Post(close);
    return 0;
}

bool StartRenderThread(std::function<int()> body) {
    std::packaged_task<int()> task(std::move(body));
    renderThreadEnded = task.get_future();
    try {
        renderThread = std::thread(std::move(task));
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void EndRenderThread() {
    if (!renderThread.joinable()) return;
    // The original terminated the thread where it stood; here it is asked to
    // stop at the top of its next frame and waited for, which ends it just
    // the same before the path is freed.
    do {
        renderRunning.store(0);
    } while (renderThreadEnded.wait_for(kStopRetry) == std::future_status::timeout);
    renderThread.join();
}
