// record_settings.cpp -- a recording's settings checked against its limits
#include "record/record_settings.h"

int64_t MaxRecordingFrames(int fps) {
    return FramesBefore(kMaxRecordingMs, fps);
}

std::optional<RecordSettings> MakeRecordSettings(const RecordAsk& ask, std::string& problem) {
    RecordSettings settings;
    const std::optional<OutputKind> kind = KindForOut(ask.out);
    if (!kind) {
        problem = "cannot tell what to write from --out \"" + ask.out +
                  "\" (expected a name ending in " + KindsAccepted() + ")";
        return std::nullopt;
    }
    settings.kind = *kind;
    RecordSpan& span = settings.span;
    span.fps = static_cast<int>(ask.fps.value_or(DefaultFps(*kind)));
    if (span.fps > MaxFps(*kind)) {
        problem = std::string(KindName(*kind)) + " plays at most " + std::to_string(MaxFps(*kind)) +
                  " frames a second";
        return std::nullopt;
    }
    if (ask.toMs && ask.loops) {
        problem = "give at most one of --to and --loops";
        return std::nullopt;
    }
    span.fromMs = ask.fromMs;
    span.toMs = ask.toMs;
    span.loops = static_cast<int>(ask.loops.value_or(1));
    if (span.toMs && *span.toMs <= span.fromMs) {
        problem = "--to must come after --from";
        return std::nullopt;
    }
    settings.display = ask.display;
    settings.geometry = GeometryFor(settings.display, ask.viewOnly,
                                    static_cast<int>(ask.scale.value_or(DefaultScale(*kind))));
    const PictureGeometry& g = settings.geometry;
    if (g.width > kMaxOutputSide || g.height > kMaxOutputSide) {
        problem = "the picture would be " + SizeText(g.width, g.height) + ", over " +
                  std::to_string(kMaxOutputSide) + " pixels a side: lower --scale";
        return std::nullopt;
    }
    settings.quality = ask.quality;
    settings.sound = ask.sound;
    return settings;
}
