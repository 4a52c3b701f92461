// record_command.cpp -- "flyover-tool record": a flight rendered straight to a video, an animated
// picture or numbered PNGs, with the looping sound
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <thread>

#include "path/key_path.h"
#include "platform/stop_on_signals.h"
#include "platform/wave.h"
#include "record/recorder.h"
#include "scenegen/sound.h"
#include "tools/commands.h"
#include "tools/record_command.h"
#include "tools/tool_output.h"
#include "tools/tool_scene.h"

namespace {

constexpr OptionSpec kOptions[] = {
    kSceneOption,
    TextOption("--out", "FILE",
               "where to write, by the name's ending: .mp4 (H.264, AAC),\n"
               ".mkv (H.264, Opus), .webm (VP9, Opus), .gif or\n"
               ".webp (animated, no sound), or DIR/ for numbered PNG files")
        .Required(),
    WholeOption("--fps", "N", 1, 240, "whole frames a second, 1 to 240",
                "frames a second, 1 to 240 (GIF at most 50); default 60,\n"
                "20 for GIF, 25 for WebP"),
    WholeOption("--from", "MS", 0, UINT32_MAX, "whole milliseconds, 0 to 4294967295",
                "flight time of the first frame in whole milliseconds\n"
                "(default 0)"),
    WholeOption("--to", "MS", 1, kMaxRecordingMs, "whole milliseconds, 1 to 86400000",
                "end before this time on the demo's clock (which reads\n"
                "--from at the first frame); past the path's end the flight\n"
                "starts again as the demo starts it"),
    WholeOption("--loops", "N", 1, 1000, "a whole number, 1 to 1000",
                "end when the path has ended N times (default 1: one pass)"),
    kDisplayOption,
    WholeOption("--scale", "N", 1, 16, "a whole number, 1 to 16",
                "output pixels per screen pixel each way, nearest neighbour\n"
                "(default 2; 1 for GIF and WebP)"),
    FlagOption("--view-only", "record the view alone, without the 24-row margin above it"),
    ChoiceOption("--quality", "Q", QualityNames,
                 "low, medium (the default), high or lossless: lossless\n"
                 "video decodes to exactly the frames render draws (H.264\n"
                 "4:4:4 RGB, VP9 RGB, lossless WebP; GIF only when the clip\n"
                 "has at most 127 colours); PNG files are always exact"),
    FlagOption("--no-sound", "leave the sound out"),
    kViewOption,
    kSizeOption,
};

// "1:10.5" for 70500 ms.
std::string Duration(double seconds) {
    char text[32];
    const int minutes = static_cast<int>(seconds / 60);
    std::snprintf(text, sizeof text, "%d:%04.1f", minutes, seconds - minutes * 60.0);
    return text;
}

double PerSecond(int64_t frames, double seconds) {
    return seconds > 0 ? static_cast<double>(frames) / seconds : 0;
}

}  // namespace

// As CommandSpec lists them: name, summary, description, options, epilog,
// help column and the work.
constinit const CommandSpec kRecordCommand = {
    "record",
    "render a flight straight to a video, GIF, WebP or PNG files",
    "Flies the scene in DIR as the demo does and writes every frame, exact, to\n"
    "FILE: frame i shows flight time FROM + i x 1000 / FPS in whole milliseconds\n"
    "(the demo's millisecond clock), drawn as 'flyover-tool render --time' draws\n"
    "it; at the path's end the last picture stays one frame and the flight starts\n"
    "again, as in the demo. By default one pass of the flight is recorded. Video\n"
    "carries the demo's looping sound from frame 0. Frames are drawn on one thread\n"
    "per core and encoded in order; a progress bar shows on a terminal. Ctrl-C,\n"
    "SIGTERM or SIGHUP (the terminal closed) stops: what was done is finished into\n"
    "a playable FILE. The file is written beside FILE under a temporary name and\n"
    "renamed when done; nothing is left behind on failure. The same command\n"
    "writes the same bytes.\n",
    kOptions,
    "Exit status: 0 on success, 1 when the scene cannot be loaded, --from is past\n"
    "the path's end, the file cannot be written or the recording was stopped, 2\n"
    "for bad arguments.\n",
    22,
    RunRecordCommand};

std::optional<RecordSettings> ReadRecordSettings(const ParsedOptions& options, std::string& usage) {
    RecordAsk ask;
    ask.out = options.Text("--out");
    if (options.Has("--fps")) ask.fps = options.Whole("--fps", 0);
    ask.fromMs = options.Whole("--from", 0);
    if (options.Has("--to")) ask.toMs = options.Whole("--to", 0);
    if (options.Has("--loops")) ask.loops = options.Whole("--loops", 1);
    ask.display = options.Display("--display");
    ask.viewOnly = options.Has("--view-only");
    if (options.Has("--scale")) ask.scale = options.Whole("--scale", 1);
    ask.quality = QualityNamed(options.Text("--quality"));
    ask.sound = !options.Has("--no-sound");
    return MakeRecordSettings(ask, usage);
}

int RunRecordCommand(const ParsedOptions& options) {
    std::string usage;
    const std::optional<RecordSettings> settings = ReadRecordSettings(options, usage);
    if (!settings) return UsageError("record", usage);
    ViewChoice view;
    if (const std::string why = ReadViewChoice(options, view); !why.empty())
        return UsageError("record", why);
    const DisplayShape& display = settings->display;
    const RecordSpan& span = settings->span;
    const int fps = span.fps;
    const std::string& out = options.Text("--out");

    const std::unique_ptr<ToolScreen> screen = OpenToolScreen(display);
    if (!screen) return 1;
    const std::unique_ptr<ToolScene> loaded = ReadToolScene(options.Text("--scene"));
    if (!loaded) return 1;
    std::optional<HdTerrain> terrain;
    if (view.hd && !(terrain = LoadToolHdTerrain(*loaded, "record"))) return 1;
    std::string error;
    const std::optional<FramePlan> plan =
        FramePlan::Make(*loaded->scene.path, span, MaxRecordingFrames(fps), error);
    if (!plan) {
        ToolError("record", error);
        return 1;
    }

    // The demo's sound, made as the build makes its resource 107.
    const std::vector<uint8_t> wave = EncodeWav(SynthesizeLoop());
    WaveClip clip;
    if (!ParseWave(wave.data(), wave.size(), clip, error)) {
        ToolError("record", "the sound: " + error);
        return 1;
    }

    const StopOnSignals stopOnSignals;
    RecordRequest request;
    request.sources = loaded->Sources();
    request.path = loaded->scene.path.get();
    request.plan = &*plan;
    request.display = display;
    request.geometry = settings->geometry;
    request.kind = settings->kind;
    request.quality = settings->quality;
    request.out = out;
    request.sound = settings->sound ? &clip : nullptr;
    request.soundStartMs = span.fromMs;
    request.workers = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    request.stop = &StopOnSignals::Flag();
    request.messages = stderr;
    request.terminal = isatty(fileno(stderr)) != 0;
    if (terrain) {
        request.hd = &*terrain;
        request.geometry = TrueColourGeometry(view.width, view.height);
    }

    RecordReport report;
    const bool written = Record(request, report, error);
    if (!written) {
        ToolError("record", error + "; nothing written");
        return 1;
    }
    const double videoSeconds = static_cast<double>(FrameClockMs(report.frames, fps)) / 1000;
    const std::string size = SizeText(report.geometry.width, report.geometry.height);
    char figures[256];
    std::snprintf(figures, sizeof figures,
                  ": %lld frames, %s at %d fps, %s, in %.2f s (%.1fx real time; drawing %.0f "
                  "frames/s and converting %.0f frames/s per thread, encoding %.0f frames/s)",
                  static_cast<long long>(report.frames), Duration(videoSeconds).c_str(), fps,
                  size.c_str(), report.seconds, videoSeconds / report.seconds,
                  PerSecond(report.frames, report.drawSeconds),
                  PerSecond(report.frames, report.convertSeconds),
                  PerSecond(report.frames, report.writeSeconds));
    const std::string stopped = "stopped at frame " + std::to_string(report.frames) + " of " +
                                std::to_string(plan->Frames()) + ": ";
    ToolError("record", (report.stopped ? stopped : std::string()) + "wrote " + out + figures);
    return report.stopped ? 1 : 0;
}
