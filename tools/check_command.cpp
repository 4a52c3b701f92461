// check_command.cpp -- "flyover-tool check": loads a scene as the demo does and reports what it
// holds
#include <cstdio>
#include <memory>
#include <string>

#include "check/scene_check.h"
#include "shared/text.h"
#include "tools/commands.h"
#include "tools/tool_scene.h"

namespace {

constexpr OptionSpec kOptions[] = {
    kSceneOption,
    kDisplayOption.WithHelp("the screen the frames are judged on (default 240x320)"),
    WholeOption("--step", "MS", 1, 1000, "1 to 1000 ms",
                "milliseconds between the frames followed, 1 to 1000"),
};

}  // namespace

// As CommandSpec lists them: name, summary, description, options, epilog,
// help column and the work.
constinit const CommandSpec kCheckCommand = {
    "check",
    "load a scene and report its pictures, flight and clearance",
    "Loads the scene in DIR as the demo does and reports, in plain words: each\n"
    "picture's shape and palette, the key count against the key lines present,\n"
    "how long the flight plays, the camera's lowest clearance above the ground\n"
    "(under it, and the highest ground within 2 cells of it; where and when), and\n"
    "whether any frame shows no ground or no sky, or a sky band taller than the\n"
    "sky picture. The flight is followed every MS milliseconds (default 10) with\n"
    "the demo's own path arithmetic, and every such frame is drawn by the real\n"
    "renderer to see what it shows.\n",
    kOptions,
    "Clearances are in height-map bytes (a byte h is h << 17 camera units). A\n"
    "camera at or below the ground under it, or less than 4 bytes above the\n"
    "highest ground near it, is a problem. So is a frame that shows sky in a band\n"
    "(horizon + (height - 0x60000) / 2^18 - 20 rows) more than 255 rows tall: its\n"
    "top rows repeat the sky picture's first row as vertical streaks.\n"
    "\n"
    "Exit status: 0 when the scene has no problem, 1 when it has one or cannot be\n"
    "loaded, 2 for bad arguments.\n",
    27,
    RunCheckCommand};

int RunCheckCommand(const ParsedOptions& options) {
    const std::string dir = AsDirectory(options.Text("--scene"));
    std::printf("Scene in %s\n", EscapeControls(dir).c_str());
    std::unique_ptr<ToolScreen> screen = OpenToolScreen(options.Display("--display"));
    std::unique_ptr<ToolScene> loaded = screen ? ReadToolScene(dir) : nullptr;
    if (!loaded) {
        std::printf("PROBLEM: the scene does not load (see the message above)\n");
        return 1;
    }
    const SceneCheckReport report =
        CheckScene({loaded->scene, loaded->keyFile, loaded->sines.data()}, screen->view,
                   options.Whole("--step", 10));
    // Names from the scene's files are in the lines: control characters are
    // shown escaped.
    for (const SceneCheckReport::Line& line : report.lines)
        std::printf("%s%s\n", line.problem ? "PROBLEM: " : "", EscapeControls(line.text).c_str());
    if (report.problems == 0) {
        std::printf("OK: no problems found\n");
        return 0;
    }
    std::printf("%d problem%s found\n", report.problems, report.problems == 1 ? "" : "s");
    return 1;
}
