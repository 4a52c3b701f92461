// bench_command.cpp -- "flyover-tool bench": flies a scene's whole path headless and reports the
// renderer's speed
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "bench/support/flight_timing.h"
#include "render/hd_view.h"
#include "render/terrain_renderer.h"
#include "shared/scene_types.h"
#include "shared/statistics.h"
#include "tools/commands.h"
#include "tools/tool_output.h"
#include "tools/tool_scene.h"

namespace {

// The names --path takes: "fastest" and each path's own.
std::vector<std::string> RenderPathChoices() {
    std::vector<std::string> names = {"fastest"};
    for (const RenderPath path : kAllRenderPaths)
        names.push_back(RenderPathName(path));
    return names;
}

// The path a name among RenderPathChoices() stands for.
RenderPath PathNamed(const std::string& name) {
    for (const RenderPath path : kAllRenderPaths)
        if (name == RenderPathName(path)) return path;
    return FastestRenderPath();
}

constexpr OptionSpec kOptions[] = {
    kSceneOption,
    kDisplayOption,
    DecimalOption("--seconds", "S", 0.001, 3600, "a number from 0.001 to 3600",
                  "keep flying, restarting the path at its end, for S seconds\n"
                  "(0.001 to 3600); by default the path is flown once"),
    WholeOption("--step", "MS", 1, 60000, "whole milliseconds, 1 to 60000",
                "flight time between two frames, 1 to 60000 ms (default 1,\n"
                "100 with --view hd); a coarse step gives a short, repeatable\n"
                "run, for example under valgrind --tool=callgrind"),
    ChoiceOption("--path", "NAME", RenderPathChoices,
                 "the renderer to time: fastest (the default, what the demo\n"
                 "uses), reference, scalar, sse2, avx2 or avx2-gather"),
    kViewOption.WithHelp("faithful (the default) or hd: time the HD view instead,\n"
                         "on one and on two threads, with its fastest path"),
    kSizeOption,
    FlagOption("--json",
               "print one JSON object on one line instead, with the keys\n"
               "fps, median_us, p99_us, ns_per_step, floor_us, ratio,\n"
               "memory_floor_us, memory_ratio, peak_rss_kb, frames, path\n"
               "and display (with --view hd:\n"
               "fps, fps_2t, median_us, p99_us, median_2t_us, p99_2t_us,\n"
               "floor_us, ratio, ratio_2t, peak_rss_kb, frames, path, view,\n"
               "size and maps)"),
};

}  // namespace

// As CommandSpec lists them: name, summary, description, options, epilog,
// help column and the work.
constinit const CommandSpec kBenchCommand = {
    "bench",
    "fly a scene's whole path headless and report the renderer's speed",
    "Loads the scene in DIR as the demo does and flies its whole path headless,\n"
    "one frame per millisecond of flight time (0, 1, 2, ... ms; see --step),\n"
    "drawing each frame as fast as it comes. Prints frames per second, the time\n"
    "to draw a frame (median and 99th percentile), the time per march step, the\n"
    "fill floor (writing every view pixel once, column by column, as the\n"
    "renderer marches, measured in the same run) and beside it the floor of\n"
    "writing them in the screen's memory order (row by row on an upright\n"
    "display), the ratio of the median frame to each, and the peak memory of\n"
    "the process.\n"
    "\n"
    "With --view hd it times the HD view instead, in a frame of --size (default\n"
    "1920x1080), from the scene's HD maps or its 256 x 256 maps interpolated:\n"
    "every frame drawn on one thread and again on two, against the floor of\n"
    "writing every pixel of the frame once, row by row, measured in the same run.\n",
    kOptions,
    "Exit status: 0 on success, 1 when the scene cannot be loaded, its path has\n"
    "no frame to draw or the renderer is not available here, 2 for bad arguments.\n",
    21,
    RunBenchCommand};

namespace {

// The HD view's run: each frame drawn on one thread, then on two.
int RunHdBench(const ParsedOptions& options, const ViewChoice& view) {
    const std::string& sceneDir = options.Text("--scene");
    const double seconds = options.Decimal("--seconds", 0);
    const int64_t stepMs = options.Whole("--step", 100);
    const std::unique_ptr<ToolScene> loaded = ReadToolScene(sceneDir);
    if (!loaded) return 1;
    std::string maps;
    const std::optional<HdTerrain> terrain = LoadToolHdTerrain(*loaded, "bench", &maps);
    if (!terrain) return 1;
    std::vector<uint32_t> pixels(static_cast<size_t>(view.width) *
                                 static_cast<size_t>(view.height));
    const HdFrame frame{pixels.data(), view.width, view.height,
                        static_cast<ptrdiff_t>(view.width) * 4};
    const KeyPath& flight = *loaded->scene.path;
    const HdPath path = FastestHdPath();

    FlightTiming r;
    if (!TimeHdFlight({&flight, stepMs, seconds}, *terrain, frame, r)) {
        ToolError("bench", "the path in " + sceneDir +
                               " has no frame to draw: " + WhyNoFlight(&flight, loaded->keyFile));
        return 1;
    }
    const double fps2 = r.fps2, median2 = r.median2Us, p992 = r.p992Us, ratio2 = r.ratio2;
    const std::string size = std::to_string(view.width) + "x" + std::to_string(view.height);
    if (options.Has("--json")) {
        std::printf(
            "{\"fps\": %.1f, \"fps_2t\": %.1f, \"median_us\": %.2f, \"p99_us\": %.2f, "
            "\"median_2t_us\": %.2f, \"p99_2t_us\": %.2f, \"floor_us\": %.2f, "
            "\"ratio\": %.3f, \"ratio_2t\": %.3f, \"peak_rss_kb\": %ld, \"frames\": %lld, "
            "\"path\": \"%s\", \"view\": \"hd\", \"size\": \"%s\", \"maps\": \"%s\"}\n",
            r.fps, fps2, r.medianUs, r.p99Us, median2, p992, r.floorUs, r.ratio, ratio2,
            r.peakRssKb, r.frames, HdPathName(path), size.c_str(), maps.c_str());
        return 0;
    }
    std::printf("flyover-tool bench: HD view %s, %s path, scene %s (%s)\n", size.c_str(),
                HdPathName(path), sceneDir.c_str(), maps.c_str());
    std::printf("frames        %lld (%d whole flight%s, %lld ms of flight time per frame)\n",
                r.frames, r.flights, r.flights == 1 ? "" : "s", static_cast<long long>(stepMs));
    std::printf("fps           %.1f on 1 thread, %.1f on 2 threads\n", r.fps, fps2);
    std::printf("frame time    1 thread: median %.1f us, 99th percentile %.1f us\n", r.medianUs,
                r.p99Us);
    std::printf("              2 threads: median %.1f us, 99th percentile %.1f us\n", median2,
                p992);
    std::printf(
        "fill floor    %.1f us per frame, row by row; median frame / floor = %.2f on 1 "
        "thread, %.2f on 2\n",
        r.floorUs, r.ratio, ratio2);
    std::printf("peak memory   %ld KB\n", r.peakRssKb);
    return 0;
}

}  // namespace

int RunBenchCommand(const ParsedOptions& options) {
    ViewChoice choice;
    if (const std::string usage = ReadViewChoice(options, choice); !usage.empty())
        return UsageError("bench", usage);
    if (choice.hd && options.Has("--path"))
        return UsageError("bench",
                          "--path chooses the faithful view's renderer; the HD view is timed "
                          "with its fastest path");
    if (choice.hd) return RunHdBench(options, choice);
    const std::string& sceneDir = options.Text("--scene");
    const DisplayShape display = options.Display("--display");
    const double seconds = options.Decimal("--seconds", 0);
    const int64_t stepMs = options.Whole("--step", 1);
    const bool json = options.Has("--json");
    const RenderPath path = PathNamed(options.Text("--path"));
    if (!RenderPathAvailable(path)) {
        ToolError("bench", std::string("the ") + RenderPathName(path) +
                               " renderer is not available on this machine");
        return 1;
    }

    const std::unique_ptr<ToolScreen> screen = OpenToolScreen(display);
    if (!screen) return 1;
    const std::unique_ptr<ToolScene> loaded = ReadToolScene(sceneDir);
    if (!loaded) return 1;
    const TerrainSources sources = loaded->Sources();
    const ViewGeometry& view = screen->view;
    const KeyPath& flight = *loaded->scene.path;
    TerrainRenderer renderer(path);

    FlightTiming r;
    if (!TimeFaithfulFlight({&flight, stepMs, seconds}, renderer, view, sources, r)) {
        ToolError("bench", "the path in " + sceneDir +
                               " has no frame to draw: " + WhyNoFlight(&flight, loaded->keyFile));
        return 1;
    }
    const std::string displayName = std::to_string(display.width) + "x" +
                                    std::to_string(display.height) + ":" +
                                    LayoutName(display.layout);
    if (json) {
        std::printf(
            "{\"fps\": %.1f, \"median_us\": %.2f, \"p99_us\": %.2f, \"ns_per_step\": %.3f, "
            "\"floor_us\": %.2f, \"ratio\": %.3f, \"memory_floor_us\": %.2f, "
            "\"memory_ratio\": %.3f, \"peak_rss_kb\": %ld, \"frames\": %lld, "
            "\"path\": \"%s\", \"display\": \"%s\"}\n",
            r.fps, r.medianUs, r.p99Us, r.nsPerStep, r.floorUs, r.ratio, r.memoryFloorUs,
            r.memoryRatio, r.peakRssKb, r.frames, RenderPathName(path), displayName.c_str());
        return 0;
    }
    std::printf("flyover-tool bench: %s, %s renderer, scene %s\n", displayName.c_str(),
                RenderPathName(path), sceneDir.c_str());
    std::printf("frames        %lld (%d whole flight%s, %lld ms of flight time per frame)\n",
                r.frames, r.flights, r.flights == 1 ? "" : "s", static_cast<long long>(stepMs));
    std::printf("fps           %.0f (camera and view per frame)\n", r.fps);
    std::printf("frame time    median %.1f us, 99th percentile %.1f us\n", r.medianUs, r.p99Us);
    std::printf("march step    %.3f ns\n", r.nsPerStep);
    std::printf(
        "fill floor    %.1f us per frame column by column, %.1f us in memory order; "
        "median frame / floor = %.2f, %.2f\n",
        r.floorUs, r.memoryFloorUs, r.ratio, r.memoryRatio);
    std::printf("peak memory   %ld KB\n", r.peakRssKb);
    return 0;
}
