// recorder.h -- a flight rendered straight to a file: frames drawn on worker threads, handed to the
// writer in order, the sound beside them; what `flyover-tool record` runs
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/frame_buffer.h"
#include "platform/wave.h"
#include "record/frame_timing.h"
#include "record/output_kind.h"
#include "record/picture.h"
#include "render/hd_frame.h"
#include "render/hd_terrain.h"
#include "render/terrain_view.h"

// Everything a recording needs, checked by the caller: the scene and the
// plan of its frames, the picture, the output and how the run is shown.
struct RecordRequest {
    TerrainSources sources;         // the scene's maps, sky and tables, as the renderer reads them
    const KeyPath* path = nullptr;  // the scene's camera path
    const FramePlan* plan = nullptr;
    DisplayShape display;
    PictureGeometry geometry;  // as GeometryFor gives it; the recorder pads it where codecs need
    // When given, the frames are the HD view's, 32-bit, drawn from this
    // terrain at the geometry's crop size (TrueColourGeometry) instead of the
    // faithful view on `display`. Not for GIFs.
    const HdTerrain* hd = nullptr;
    HdOptions hdOptions;
    OutputKind kind = OutputKind::Mp4;
    Quality quality = Quality::Medium;
    std::string out;                          // the --out name
    const WaveClip* sound = nullptr;          // null: no sound
    int64_t soundStartMs = 0;                 // where the sound's loop is at frame 0
    int workers = 1;                          // drawing threads
    const std::atomic<bool>* stop = nullptr;  // polled between frames; may be null
    std::FILE* messages = stderr;             // notes and the progress bar
    bool terminal = false;                    // whether `messages` is a terminal (the bar is drawn)
};

// What a recording did.
struct RecordReport {
    int64_t frames = 0;         // frames written
    bool stopped = false;       // stopped before the plan's end
    bool written = false;       // --out holds the result (false: nothing was left behind)
    PictureGeometry geometry;   // as written, after any padding
    double seconds = 0;         // wall-clock time of the whole recording
    double drawSeconds = 0;     // the workers' time drawing and scaling, all threads together
    double convertSeconds = 0;  // the workers' time converting for the encoder (and PNG encoding)
    double writeSeconds = 0;    // the writer's time encoding and writing, flush included
};

// Records the request's plan to request.out through a temporary file beside
// it. Returns true when a file was written (the whole plan, or what was done
// before a stop); false with the message in `error` when the recording
// failed or was stopped before its first frame, leaving nothing behind.
bool Record(const RecordRequest& request, RecordReport& report, std::string& error);
