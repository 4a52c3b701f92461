// record_settings.h -- a recording's own rules: how long and how large it may be, and the
// settings asked for checked against them
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/frame_buffer.h"
#include "record/frame_timing.h"
#include "record/output_kind.h"
#include "record/picture.h"

constexpr int64_t kMaxRecordingMs = 24 * 3600 * 1000;  // the longest recording: a day
constexpr int kMaxOutputSide = 8192;                   // pixels a side, after scaling

// The longest recording: a day of frames at `fps`.
int64_t MaxRecordingFrames(int fps);

// What a recording asks for, before the checks; what is not given takes the
// output kind's default.
struct RecordAsk {
    std::string out;  // the output's name, whose ending says what to write
    std::optional<int64_t> fps;
    int64_t fromMs = 0;
    std::optional<int64_t> toMs;
    std::optional<int64_t> loops;  // one pass when neither this nor toMs is given
    DisplayShape display;
    bool viewOnly = false;
    std::optional<int64_t> scale;
    Quality quality = Quality::Medium;
    bool sound = true;
};

// A recording as asked for, checked.
struct RecordSettings {
    OutputKind kind = OutputKind::Mp4;
    RecordSpan span;
    DisplayShape display;
    PictureGeometry geometry;
    Quality quality = Quality::Medium;
    bool sound = true;
};

// Checks `ask` against the rules of what it writes: an output name whose
// ending says what to write, a frame rate the kind can play, at most one of
// an end time and a number of passes, an end after the start, and a picture
// of at most kMaxOutputSide pixels a side. Returns nothing, with the first
// rule broken in `problem`, when one is.
std::optional<RecordSettings> MakeRecordSettings(const RecordAsk& ask, std::string& problem);
