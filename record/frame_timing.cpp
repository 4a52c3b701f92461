// frame_timing.cpp -- the recording's frame clock and the plan of flight times, restarts included
#include "record/frame_timing.h"

#include <algorithm>

#include "shared/scene_types.h"

int64_t FrameClockMs(int64_t index, int fps) {
    return index * 1000 / fps;
}

int64_t FramesBefore(int64_t clockMs, int fps) {
    if (clockMs <= 0) return 0;
    // ceil(clockMs * fps / 1000): frame n starts before clockMs exactly when
    // n * 1000 < clockMs * fps.
    return (clockMs * fps + 999) / 1000;
}

namespace {

// Whether the path has a frame at `flightMs`, as the demo's frame loop asks:
// the milliseconds as a 32-bit tick difference, turned into a float.
bool PathHasFrame(const KeyPath& path, int64_t flightMs) {
    if (flightMs < 0 || flightMs > UINT32_MAX) return false;
    CameraState camera;
    return CameraAtTime(path, static_cast<float>(static_cast<uint32_t>(flightMs)), camera);
}

}  // namespace

std::optional<FramePlan> FramePlan::Make(const KeyPath& path, const RecordSpan& span,
                                         int64_t maxFrames, std::string& error) {
    FramePlan plan;
    plan.fps_ = span.fps;
    plan.fromMs_ = span.fromMs;
    int64_t restartClock = 0,
            restartFlight = span.fromMs;  // flight = clock - restartClock + restartFlight
    int ends = 0;
    uint32_t shown = 0;
    int64_t index = 0;
    for (;; ++index) {
        const int64_t clock = FrameClockMs(index, span.fps);
        if (span.toMs && span.fromMs + clock >= *span.toMs) break;
        if (index >= maxFrames) {
            error = "the recording would be longer than " + std::to_string(maxFrames) +
                    " frames; give --to or fewer --loops";
            return std::nullopt;
        }
        const int64_t flight = clock - restartClock + restartFlight;
        if (PathHasFrame(path, flight)) {
            shown = static_cast<uint32_t>(flight);
            continue;
        }
        if (index == 0) {
            error = "flight time " + std::to_string(span.fromMs) + " is past the end of the path";
            return std::nullopt;
        }
        if (!span.toMs && ++ends == span.loops) break;
        plan.restarts_.push_back({index, clock, shown});
        restartClock = clock;
        restartFlight = 0;
    }
    plan.frames_ = index;
    return plan;
}

PlannedFrame FramePlan::At(int64_t index) const {
    // The last restart at or before the frame.
    const auto after = std::upper_bound(
        restarts_.begin(), restarts_.end(), index,
        [](int64_t frame, const Restart& restart) { return frame < restart.frame; });
    const int64_t clock = FrameClockMs(index, fps_);
    if (after == restarts_.begin()) return {static_cast<uint32_t>(fromMs_ + clock), false};
    const Restart& last = *(after - 1);
    if (last.frame == index) return {last.shownMs, true};
    return {static_cast<uint32_t>(clock - last.clockMs), false};
}
