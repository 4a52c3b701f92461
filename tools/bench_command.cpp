// bench_command.cpp -- "flyover-tool bench": flies a scene's whole path headless and reports the
// renderer's speed
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "bench/support/bench_support.h"
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
               "peak_rss_kb, frames, path and display (with --view hd:\n"
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
    "fill floor (writing every view pixel once, column by column, measured in\n"
    "the same run), the ratio of the median frame to that floor, and the peak\n"
    "memory of the process.\n"
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

constexpr int kFloorEvery = 16;  // frames between two timings of the fill floor
constexpr int kStepsEvery = 8;   // frames between two march step counts

double NowSeconds() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct Results {
    long long frames = 0;
    int flights = 0;
    double fps = 0, medianUs = 0, p99Us = 0, nsPerStep = 0, floorUs = 0, ratio = 0;
    long peakRssKb = 0;
};

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
    HdRenderer one(path, 1), two(path, 2);

    // Every pixel written once, row by row: the floor of any renderer of this frame.
    const auto fillRows = [&](uint32_t value) {
        for (int row = 0; row < view.height; ++row) {
            uint32_t* line =
                pixels.data() + static_cast<size_t>(row) * static_cast<size_t>(view.width);
            for (int col = 0; col < view.width; ++col)
                line[col] = value + static_cast<uint32_t>(row);
        }
    };

    Results r;
    std::vector<double> oneUs, twoUs, floorUs;
    double oneSeconds = 0, twoSeconds = 0;
    CameraState camera;
    bool warm = false;
    const double start = NowSeconds();
    uint32_t time = 0;
    for (;;) {
        if (!CameraAtTime(flight, static_cast<float>(time), camera)) {
            if (time == 0) {
                ToolError("bench", "the path in " + sceneDir + " has no frame to draw: " +
                                       WhyNoFlight(&flight, loaded->keyFile));
                return 1;
            }
            ++r.flights;
            time = 0;
            if (seconds == 0) break;
            continue;
        }
        if (!warm) {
            // The sky at this scale and the step table, made once before timing.
            one.Draw(frame, *terrain, camera);
            two.Draw(frame, *terrain, camera);
            warm = true;
        }
        const double t0 = NowSeconds();
        one.Draw(frame, *terrain, camera);
        const double t1 = NowSeconds();
        two.Draw(frame, *terrain, camera);
        const double t2 = NowSeconds();
        oneUs.push_back((t1 - t0) * 1e6);
        twoUs.push_back((t2 - t1) * 1e6);
        oneSeconds += t1 - t0;
        twoSeconds += t2 - t1;
        if (oneUs.size() % kFloorEvery == 1) {
            const double floorStart = NowSeconds();
            fillRows(time);
            floorUs.push_back((NowSeconds() - floorStart) * 1e6);
        }
        if (seconds > 0 && t2 - start >= seconds) break;
        if (UINT32_MAX - time < static_cast<uint32_t>(stepMs)) {
            ++r.flights;
            time = 0;
            if (seconds == 0) break;
            continue;
        }
        time += static_cast<uint32_t>(stepMs);
    }

    r.frames = static_cast<long long>(oneUs.size());
    r.fps = oneSeconds > 0 ? static_cast<double>(r.frames) / oneSeconds : 0;
    const double fps2 = twoSeconds > 0 ? static_cast<double>(r.frames) / twoSeconds : 0;
    r.medianUs = Percentile(oneUs, 0.5);
    r.p99Us = Percentile(oneUs, 0.99);
    const double median2 = Percentile(twoUs, 0.5), p992 = Percentile(twoUs, 0.99);
    r.floorUs = Percentile(floorUs, 0.5);
    r.ratio = r.floorUs > 0 ? r.medianUs / r.floorUs : 0;
    const double ratio2 = r.floorUs > 0 ? median2 / r.floorUs : 0;
    r.peakRssKb = PeakResidentKilobytes();
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
    CameraState camera;

    Results r;
    std::vector<double> renderUs, floorUs;
    double frameSeconds = 0, sampledRenderNs = 0;
    long long sampledSteps = 0;
    const double start = NowSeconds();
    uint32_t time = 0;
    for (;;) {
        const double frameStart = NowSeconds();
        if (!CameraAtTime(flight, static_cast<float>(time), camera)) {
            if (time == 0) {
                ToolError("bench", "the path in " + sceneDir + " has no frame to draw: " +
                                       WhyNoFlight(&flight, loaded->keyFile));
                return 1;
            }
            // The end of the path: the flight's clock restarts, as in the demo.
            ++r.flights;
            time = 0;
            if (seconds == 0) break;
            continue;
        }
        const double renderStart = NowSeconds();
        renderer.Draw(view, sources, camera);
        const double frameEnd = NowSeconds();
        renderUs.push_back((frameEnd - renderStart) * 1e6);
        frameSeconds += frameEnd - frameStart;
        if (UINT32_MAX - time < static_cast<uint32_t>(stepMs)) {
            // Past the last whole millisecond a path can hold: start again.
            ++r.flights;
            time = 0;
            if (seconds == 0) break;
            continue;
        }
        time += static_cast<uint32_t>(stepMs);

        if (renderUs.size() % kStepsEvery == 0) {
            sampledSteps += CountMarchSteps(view, sources, camera);
            sampledRenderNs += renderUs.back() * 1e3;
        }
        if (renderUs.size() % kFloorEvery == 0) {
            const double floorStart = NowSeconds();
            FillFloor(view, static_cast<uint16_t>(time));
            floorUs.push_back((NowSeconds() - floorStart) * 1e6);
        }
        if (seconds > 0 && frameEnd - start >= seconds) break;
    }
    if (floorUs.empty()) {
        const double floorStart = NowSeconds();
        FillFloor(view, 0);
        floorUs.push_back((NowSeconds() - floorStart) * 1e6);
    }

    r.frames = static_cast<long long>(renderUs.size());
    r.fps = frameSeconds > 0 ? static_cast<double>(r.frames) / frameSeconds : 0;
    r.medianUs = Percentile(renderUs, 0.5);
    r.p99Us = Percentile(renderUs, 0.99);
    r.nsPerStep = sampledSteps > 0 ? sampledRenderNs / static_cast<double>(sampledSteps) : 0;
    r.floorUs = Percentile(floorUs, 0.5);
    r.ratio = r.floorUs > 0 ? r.medianUs / r.floorUs : 0;
    r.peakRssKb = PeakResidentKilobytes();

    const std::string displayName = std::to_string(display.width) + "x" +
                                    std::to_string(display.height) + ":" +
                                    LayoutName(display.layout);
    if (json) {
        std::printf(
            "{\"fps\": %.1f, \"median_us\": %.2f, \"p99_us\": %.2f, \"ns_per_step\": %.3f, "
            "\"floor_us\": %.2f, \"ratio\": %.3f, \"peak_rss_kb\": %ld, \"frames\": %lld, "
            "\"path\": \"%s\", \"display\": \"%s\"}\n",
            r.fps, r.medianUs, r.p99Us, r.nsPerStep, r.floorUs, r.ratio, r.peakRssKb, r.frames,
            RenderPathName(path), displayName.c_str());
        return 0;
    }
    std::printf("flyover-tool bench: %s, %s renderer, scene %s\n", displayName.c_str(),
                RenderPathName(path), sceneDir.c_str());
    std::printf("frames        %lld (%d whole flight%s, %lld ms of flight time per frame)\n",
                r.frames, r.flights, r.flights == 1 ? "" : "s", static_cast<long long>(stepMs));
    std::printf("fps           %.0f (camera and view per frame)\n", r.fps);
    std::printf("frame time    median %.1f us, 99th percentile %.1f us\n", r.medianUs, r.p99Us);
    std::printf("march step    %.3f ns\n", r.nsPerStep);
    std::printf("fill floor    %.1f us per frame; median frame / floor = %.2f\n", r.floorUs,
                r.ratio);
    std::printf("peak memory   %ld KB\n", r.peakRssKb);
    return 0;
}
