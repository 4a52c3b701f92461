// fly_session.h -- the fly session: free flight, the player and path recording over one scene,
// on any platform
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "fly/free_flight.h"
#include "platform/platform.h"
#include "render/hd_frame.h"
#include "render/hd_terrain.h"
#include "render/tables.h"
#include "scene/scene_loader.h"
#include "shared/scene_types.h"

// What a session is given besides its platform and scene.
struct FlySessionOptions {
    std::string title = "flyover fly";  // the window's title
    std::string keysOut;                // where a recording is written (never over a file)
    // Where a recording goes when keysOut cannot be written, tried in order;
    // a name in the system's temporary folder is tried after them all, so a
    // recording is never lost.
    std::vector<std::string> keysFallback;
    // When given, the session ends as by Escape at the first frame that finds
    // it set (a recording running is written first): a signal handler sets it.
    const std::atomic<bool>* stop = nullptr;
    int intervalMs = 500;    // one recorded key every this many milliseconds
    bool closeLoop = false;  // write recordings with their loop closed
    bool overlay = true;     // the overlay shown at the start
    int64_t maxFrames = 0;   // above 0: the session ends after this many frames
    FlightLimits limits;
    // When given, the view is the HD view of this terrain, drawn on the
    // screen's true-colour frames at the window's own size on hdThreads
    // threads, and free flight keeps above its ground (HdGroundBytes).
    // One thread by default: it draws a 1920 x 1080 frame in about a sixth
    // of a 60 Hz refresh period, so the drawing takes at most one core and
    // leaves the others to the screen thread and the window system; a
    // second thread shortens the frame by about a millisecond and contends
    // with them on a small machine.
    const HdTerrain* hd = nullptr;
    HdOptions hdOptions;
    int hdThreads = 1;
};

// One frame as drawn, for tests and measurements: called after the view is
// drawn into the screen's frame buffer and before it is presented.
struct FlyFrame {
    int64_t index = 0;
    double seconds = 0;  // the session's clock
    bool player = false;
    CameraState camera;  // the camera drawn
    FlightPose pose;     // free flight: the flown pose (unwrapped)
    uint32_t playerTimeMs = 0;
    bool recording = false;
    std::string message;  // the overlay's message line: the last thing the session said
};

// What a session did: its frames, its time, what it wrote.
struct FlySessionReport {
    int64_t frames = 0;
    double seconds = 0;                 // by the session's clock
    double cpuSeconds = 0;              // the process's processor time meanwhile (every thread)
    std::vector<double> frameMs;        // loop-to-loop time of each frame after the first
    std::vector<double> latencyMs;      // input to the frame that showed it, handed to the screen
    std::vector<double> drawMs;         // each frame's view drawn (without the overlay)
    std::vector<double> presentMs;      // each frame handed to the screen, until it was taken
    std::vector<std::string> keyFiles;  // the key files written, in order
};

// The scene as the session reads it: the demo's scene with its sines and
// the key file's map names.
struct FlyScene {
    const Scene& scene;
    const SineTable& sines;
    const KeyFileHeader& keyFile;
};

// Runs the session on the platform's screen until Escape, a close request,
// the stop flag or maxFrames: each frame takes the queued input, moves the
// flight or the player on by the platform's clock, draws the view into the
// frame buffer, sets the overlay and presents. Recording stopped (by its
// key, by quitting or by switching to the player) writes the key file and
// says so on stdout and in the overlay; when keysOut cannot be written (at
// the start or at the end), the keys go to the first fallback that can be
// and the session says where. A scene without a flight to play is said so
// at the start. `observe`, when given, sees every frame. Returns 0, or 1
// after a message on stderr when the screen or its window cannot be had or
// keysOut could not be written when a recording ended.
int RunFlySession(Platform& platform, const FlyScene& scene, const FlySessionOptions& options,
                  FlySessionReport& report,
                  const std::function<void(const FlyFrame&)>& observe = nullptr);

// A line about the session's frames: frames per second, frame times,
// latency, processor use, and the frame time's split between drawing the
// view and presenting it.
std::string DescribeReport(const FlySessionReport& report);
