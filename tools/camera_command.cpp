// camera_command.cpp -- "flyover-tool camera": the camera the path gives at chosen flight times
#include <cstdio>
#include <string>
#include <vector>

#include "path/key_path.h"
#include "shared/scene_types.h"
#include "tools/commands.h"
#include "tools/tool_common.h"
#include "tools/tool_scene.h"

namespace {

constexpr char kHelp[] =
    "Usage: flyover-tool camera --scene DIR --time MS [--time MS ...]\n"
    "\n"
    "Loads the scene in DIR as the demo does and prints, for each flight time,\n"
    "one line:\n"
    "  MS X Y HEIGHT HEADING HORIZON V1 V2 V3 V4 V5\n"
    "the camera after the path is evaluated at MS, then the five values the path\n"
    "gave (printed with %.9g); or \"MS end\" when MS is past the end of the path.\n"
    "\n"
    "  --scene DIR   directory holding Keys2.txt and the pictures\n"
    "  --time MS     flight time in whole milliseconds, 0 to 4294967295; repeatable\n"
    "\n"
    "Exit status: 0 on success, 1 when the scene cannot be loaded, 2 for bad arguments.\n";

}  // namespace

int RunCameraCommand(int argc, char** argv) {
    const std::string command = "camera";
    ArgList args(argc, argv);
    std::string sceneDir, value;
    std::vector<uint32_t> times;
    while (!args.Done()) {
        const std::string option = args.Take();
        if (option == "--help" || option == "-h") {
            std::fputs(kHelp, stdout);
            return 0;
        } else if (option == "--scene") {
            if (!args.TakeValue(option, sceneDir)) return 2;
        } else if (option == "--time") {
            if (!args.TakeValue(option, value)) return 2;
            int64_t ms = 0;
            if (!ParseInteger(value, 0, UINT32_MAX, ms))
                return UsageError(command, "bad --time \"" + value +
                                               "\" (expected whole milliseconds, 0 to 4294967295)");
            times.push_back(static_cast<uint32_t>(ms));
        } else {
            return UsageError(command, "unknown argument \"" + option + "\"");
        }
    }
    if (sceneDir.empty()) return UsageError(command, "--scene DIR is required");
    if (times.empty()) return UsageError(command, "give at least one --time MS");

    const std::unique_ptr<ToolScene> loaded = ReadToolScene(sceneDir);
    if (!loaded) return 1;
    const KeyPath& path = *loaded->scene.path;

    for (const uint32_t ms : times) {
        const float t = static_cast<float>(ms);
        float v[kKeyValues] = {0, 0, 0, 0, 0};
        CameraState c;
        if (!path.Evaluate(t, v) || !CameraAtTime(path, t, c)) {
            std::printf("%u end\n", ms);
            continue;
        }
        std::printf("%u %d %d %d %d %d %.9g %.9g %.9g %.9g %.9g\n", ms, c.x, c.y, c.height,
                    c.heading, c.horizon, v[0], v[1], v[2], v[3], v[4]);
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
