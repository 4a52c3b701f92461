// frame_timing.h -- which flight time each recorded frame shows: a frame clock in whole
// milliseconds without drift, and the path's restarts played as the demo's frame loop plays them
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class KeyPath;

// The demo's millisecond clock at frame `index` of a recording at `fps`
// frames a second: floor(index * 1000 / fps), computed exactly, so that a
// long clip never drifts from its frame rate.
int64_t FrameClockMs(int64_t index, int fps);

// The number of frames that start before `clockMs` on that clock: the
// smallest n with FrameClockMs(n, fps) >= clockMs.
int64_t FramesBefore(int64_t clockMs, int fps);

// How far a recording goes. The clock's 0 is the moment the flight is at
// `fromMs`; the recording ends before the frame at which the path has ended
// `loops` times, or before clock `toMs - fromMs` (toMs on the clock that
// started with the flight), whichever `toMs` says.
struct RecordSpan {
    int fps = 60;
    int64_t fromMs = 0;
    std::optional<int64_t> toMs;  // when set, loops is not used
    int loops = 1;
};

// One frame of the plan: the flight time it draws, in whole milliseconds.
// A frame at which the path ends repeats the picture before it (the demo
// draws nothing there and starts the flight's clock again).
struct PlannedFrame {
    uint32_t flightMs = 0;
    bool repeat = false;
};

// The frames of a recording: a span laid over a path. Built once by the
// recorder before any frame is drawn; read from any thread afterwards.
class FramePlan {
public:
    // Plans `span` over `path`. Fails with a message when the path has no
    // frame at span.fromMs, or the recording would pass `maxFrames` frames.
    static std::optional<FramePlan> Make(const KeyPath& path, const RecordSpan& span,
                                         int64_t maxFrames, std::string& error);

    int64_t Frames() const { return frames_; }
    int Fps() const { return fps_; }
    // Frame `index` (0 .. Frames() - 1).
    PlannedFrame At(int64_t index) const;
    // How many times the flight starts again within the recording.
    int64_t Restarts() const { return static_cast<int64_t>(restarts_.size()); }

private:
    // Frame `frame` found the path ended: it repeats the one before, and
    // the flight's clock starts again from its clock time.
    struct Restart {
        int64_t frame;
        int64_t clockMs;
        uint32_t shownMs;  // the flight time of the last frame drawn before it
    };
    int fps_ = 60;
    int64_t fromMs_ = 0;
    int64_t frames_ = 0;
    std::vector<Restart> restarts_;  // in frame order
};
