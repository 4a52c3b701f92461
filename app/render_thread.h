// render_thread.h -- the frame loop: a thread of its own flies the camera along the path and draws
// frame after frame
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

#include "shared/scene_types.h"

// Non-zero while the frame loop is to go on. Set by the render thread when it
// starts, cleared by the stop sequence (StopDemo) and by the render thread
// when its loop ends.
extern std::atomic<int> renderRunning;
// The tick count (ms) when the render thread began; render thread only.
extern uint32_t startTick;
// The render thread, started by AppMain and ended by StopDemo; main thread only.
extern std::thread renderThread;

// Milliseconds since startTick, in 32-bit arithmetic so that the difference
// survives the tick counter's wrap. Render thread.
uint32_t ElapsedMs();

// Called by RenderFrame on the render thread: draws the scene for `camera`
// into the view with the fastest exact path this processor has.
void RenderView(const CameraState& camera);

// Called by RunFrames with whole milliseconds since the flight (re)started:
// moves the camera along the path (`UpdateCamera`) and draws the view
// (`RenderView`). Returns false, drawing nothing, when the path has ended.
bool RenderFrame(float timeMs);

// The frame loop, run on the render thread until renderRunning is found zero
// at the top of an iteration. On a screen that is a memory copy each frame
// is drawn between BeginFrame and Present; when the path ends, the flight's
// clock starts again from zero.
void RunFrames();

// The render thread's body: sets renderRunning, takes startTick, runs the
// frames, then clears renderRunning and posts a close request, as if the
// window had been closed. Returns 0.
int RenderThread();

// Called by AppMain on the main thread: starts `body` (RenderThread; tests
// give others) on renderThread. False when the system cannot make a thread.
bool StartRenderThread(std::function<int()> body = RenderThread);

// Called by the stop sequence on the main thread: asks the render thread to
// stop at the top of its next frame and waits until it has ended (within a
// frame). Harmless when it has ended already or never started.
void EndRenderThread();
