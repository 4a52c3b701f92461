// camera_command.cpp -- "flyover-tool camera": the camera the path gives at chosen flight times
#include <cstdint>
#include <cstdio>
#include <vector>

#include "path/key_path.h"
#include "shared/scene_types.h"
#include "tools/commands.h"
#include "tools/tool_scene.h"

namespace {

constexpr OptionSpec kOptions[] = {
    kSceneOption,
    WholeOption("--time", "MS", 0, UINT32_MAX, "whole milliseconds, 0 to 4294967295",
                "flight time in whole milliseconds, 0 to 4294967295; repeatable")
        .Required()
        .Repeatable(),
};

}  // namespace

// As CommandSpec lists them: name, summary, description, options, epilog,
// help column and the work.
constinit const CommandSpec kCameraCommand = {
    "camera",
    "print the camera the path gives at flight times",
    "Loads the scene in DIR as the demo does and prints, for each flight time,\n"
    "one line:\n"
    "  MS X Y HEIGHT HEADING HORIZON V1 V2 V3 V4 V5\n"
    "the camera after the path is evaluated at MS, then the five values the path\n"
    "gave (printed with %.9g); or \"MS end\" when MS is past the end of the path.\n",
    kOptions,
    "Exit status: 0 on success, 1 when the scene cannot be loaded, 2 for bad arguments.\n",
    16,
    RunCameraCommand};

int RunCameraCommand(const ParsedOptions& options) {
    const std::vector<OptionValue>& times = options.All("--time");
    const std::unique_ptr<ToolScene> loaded = ReadToolScene(options.Text("--scene"));
    if (!loaded) return 1;
    const KeyPath& path = *loaded->scene.path;

    for (const OptionValue& time : times) {
        const uint32_t ms = static_cast<uint32_t>(time.whole);
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
