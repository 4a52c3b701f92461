// fly_command.cpp -- "flyover-tool fly": a window to fly over a scene by hand, play its flight and
// record a new one
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <system_error>

#include "fly/fly_session.h"
#include "fly/path_recorder.h"
#include "platform/stop_on_signals.h"
#include "platform/windowed.h"
#include "tools/commands.h"
#include "tools/options.h"
#include "tools/tool_scene.h"

namespace {

constexpr OptionSpec kOptions[] = {
    kSceneOption,
    kDisplayOption.WithHelp("the emulated screen, default 240x320; LAYOUT is normal,\n"
                            "bottom-up, rot90, rot180 or rot270"),
    WholeOption("--scale", "N", 1, 16, "a whole number from 1 to 16",
                "window pixels per screen pixel, 1 to 16 (default: the\n"
                "largest that fits the desktop); the window can be resized"),
    TextOption("--keys-out", "FILE",
               "where a recorded path is written (default DIR/Keys2.txt.new;\n"
               "an existing file is kept and FILE.2, FILE.3, ... used)"),
    WholeOption("--interval", "MS", 50, 10000, "whole milliseconds, 50 to 10000",
                "milliseconds between recorded keys, 50 to 10000 (default 500)"),
    FlagOption("--close-loop", "write recordings with their loop closed (L toggles it)"),
    WholeOption("--frames", "N", 1, INT32_MAX, "a whole number from 1 to 2147483647",
                "end after N frames (for measurements; default: at Escape)"),
    kViewOption.WithHelp("faithful (the default: the original's view on the emulated\n"
                         "screen) or hd (the HD view, 32-bit, at the window's own\n"
                         "size; F11 toggles full screen)"),
    kSizeOption.WithHelp("the HD view's window at the start, 320x240 to 7680x4320\n"
                         "(default 1920x1080); it can be resized"),
};

}  // namespace

// As CommandSpec lists them: name, summary, description, options, epilog,
// help column and the work.
constinit const CommandSpec kFlyCommand = {
    "fly",
    "fly over a scene by hand in a window, play its flight, record a path",
    "Opens a window showing the scene in DIR with the demo's renderer, on the\n"
    "emulated screen (with --view hd: the HD view at the window's own size, which\n"
    "can be resized, F11 for full screen), with three modes:\n"
    "  free flight  W/S or Up/Down move, A/D or Left/Right turn, Q/E strafe,\n"
    "               R/F or PgUp/PgDn up and down, T/G horizon, Shift faster,\n"
    "               Space levels out; a drag with the left button turns and\n"
    "               tilts; game controllers: left stick moves and turns, right\n"
    "               stick strafes and tilts, triggers climb, shoulders boost.\n"
    "               The camera keeps above the ground and climbs over ridges.\n"
    "  player       Tab switches to the scene's own flight: Space pauses,\n"
    "               Left/Right seek 1 s, Up/Down (or Shift+Left/Right) 10 s,\n"
    "               + and - change the speed (1/2x to 4x), , and . step from\n"
    "               key to key, Home/End go to the first and last key. Tab\n"
    "               again flies on from the frame shown.\n"
    "  recording    Return, while flying, starts recording a key every MS;\n"
    "               Return again writes the key file, which names the scene's\n"
    "               maps and plays in the demo as Keys2.txt. L closes the\n"
    "               loop, so the flight ends on the view it starts with.\n"
    "O or F1 shows or hides the overlay (frame rate, camera, mode, help); it is\n"
    "drawn over the window, never into the frames. Escape quits, as do Ctrl-C,\n"
    "SIGTERM and SIGHUP; a recording still running is written first. Should FILE\n"
    "not take it, the keys go beside the scene, into the current folder or the\n"
    "temporary folder, and fly says where. On leaving, a line reports the frames\n"
    "per second, the frame times, input-to-screen latency and processor use.\n",
    kOptions,
    "Exit status: 0 on success, 1 when the scene cannot be loaded, no window can be\n"
    "opened or a key file could not be written where asked, 2 for bad arguments\n"
    "(a --keys-out whose folder is missing or cannot be written among them).\n",
    20,
    RunFlyCommand};

int RunFlyCommand(const ParsedOptions& options) {
    // A recording must have somewhere to go: a --keys-out that cannot be
    // written is refused now, not found out after the flight.
    std::string error;
    if (options.Has("--keys-out") && !CanWriteNewFile(options.Text("--keys-out"), error))
        return UsageError("fly", error);
    ViewChoice view;
    if (const std::string why = ReadViewChoice(options, view); !why.empty())
        return UsageError("fly", why);
    const std::unique_ptr<ToolScene> loaded = ReadToolScene(options.Text("--scene"));
    if (!loaded) return 1;
    std::optional<HdTerrain> terrain;
    if (view.hd) {
        terrain = LoadToolHdTerrain(*loaded, "fly");
        if (!terrain) return 1;
    }
    FlySessionOptions fly;
    fly.title = "flyover fly: " + options.Text("--scene");
    const std::string besideScene = AsDirectory(options.Text("--scene")) + "Keys2.txt.new";
    fly.keysOut = options.Has("--keys-out") ? options.Text("--keys-out") : besideScene;
    // Should keysOut fail after all, the keys go beside the scene, or into
    // the current folder (or, in the end, the temporary folder).
    std::error_code noFolder;
    const std::filesystem::path here = std::filesystem::current_path(noFolder);
    fly.keysFallback = {besideScene};
    if (!here.empty()) fly.keysFallback.push_back((here / "Keys2.txt.new").string());
    fly.intervalMs = static_cast<int>(options.Whole("--interval", 500));
    fly.closeLoop = options.Has("--close-loop");
    fly.maxFrames = options.Whole("--frames", 0);
    fly.hd = terrain ? &*terrain : nullptr;
    WindowedDisplayOptions window;
    window.shape = options.Display("--display");
    window.scale = static_cast<int>(options.Whole("--scale", 0));
    window.fullInput = true;
    window.resizable = true;
    window.trueColour = view.hd;
    window.trueColourWidth = view.width;
    window.trueColourHeight = view.height;
    const std::unique_ptr<WindowedPlatform> platform = MakeWindowedPlatform(window);
    const FlyScene scene{loaded->scene, loaded->sines, loaded->keyFile};
    FlySessionReport report;
    // Ctrl-C, SIGTERM and SIGHUP end the session as Escape does, writing a
    // recording that is running.
    const StopOnSignals stopOnSignals;
    fly.stop = &StopOnSignals::Flag();
    const int status = RunFlySession(*platform, scene, fly, report);
    if (report.frames > 0) {
        const WindowedDisplayStatistics stats = platform->Statistics();
        std::printf("%s\n", DescribeReport(report).c_str());
        std::printf(
            "window: %llu pictures presented (%.1f per second) at %.0f Hz, %s\n",
            static_cast<unsigned long long>(stats.framesPresented),
            report.seconds > 0 ? static_cast<double>(stats.framesPresented) / report.seconds : 0.0,
            stats.refreshHz,
            stats.presentWaitsForRefresh ? "paced by vsync" : "paced by a timer (no vsync)");
    }
    return status;
}
