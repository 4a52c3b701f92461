// record_command.h -- what "flyover-tool record" reads from its options, checked, before any work
#pragma once

#include <optional>
#include <string>

#include "record/frame_timing.h"
#include "record/output_kind.h"
#include "record/picture.h"
#include "tools/options.h"

// A recording as its options ask for it.
struct RecordSettings {
    OutputKind kind = OutputKind::Mp4;
    RecordSpan span;
    DisplayShape display;
    PictureGeometry geometry;
    Quality quality = Quality::Medium;
    bool sound = true;
};

// The longest recording: a day of frames at `fps`.
int64_t MaxRecordingFrames(int fps);

// Called by RunRecordCommand (and the options fuzzer) once ParseOptions has
// read the table: the output kind from --out, the frame rate and its limit,
// --from, --to or --loops, the picture's size. Returns nothing, with the
// usage error's message, for a combination the table cannot refuse alone.
std::optional<RecordSettings> ReadRecordSettings(const ParsedOptions& options, std::string& usage);
