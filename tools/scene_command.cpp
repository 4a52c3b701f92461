// scene_command.cpp -- "flyover-tool scene": writes the generated landscape, sky and flight into a
// directory
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>

#include "hdscene/hd_scene.h"
#include "scenegen/hd_maps.h"
#include "scenegen/scene_generator.h"
#include "tools/commands.h"
#include "tools/tool_output.h"

namespace {

constexpr OptionSpec kOptions[] = {
    TextOption("--out", "DIR", "directory to write the six files into").Required(),
    WholeOption("--seed", "N", 0, INT64_MAX, "a whole number >= 0",
                "any whole number from 0 to 2^63 - 1 (default 1)"),
};

}  // namespace

// As CommandSpec lists them: name, summary, description, options, epilog,
// help column and the work.
constinit const CommandSpec kSceneCommand = {
    "scene",
    "generate a landscape, sky and flight into a directory",
    "Generates a complete scene and writes it into DIR (created, with any missing\n"
    "parents, if missing):\n"
    "Keys2.txt, colour.bmp, height.bmp and sky.BMP, and the HD view's maps\n"
    "hd-colour.png and hd-height.png (1024 x 1024, refining the 256 x 256 maps:\n"
    "each 4 x 4 block's mean height gives back its height byte). The same seed\n"
    "always gives the same maps; the default seed is the scene the build ships\n"
    "(which ships without the HD maps).\n",
    kOptions,
    "Exit status: 0 on success, 1 when a file cannot be written, 2 for bad arguments.\n",
    15,
    RunSceneCommand};

int RunSceneCommand(const ParsedOptions& options) {
    const std::string& out = options.Text("--out");
    // The directory and its parents first: a path that cannot hold the scene
    // is refused before the generator's work.
    std::error_code error;
    std::filesystem::create_directories(out, error);
    if (error || !std::filesystem::is_directory(out)) {
        ToolError("scene", "cannot make the directory " + out + ": " +
                               (error ? error.message() : "a file of that name is in the way"));
        return 1;
    }

    const int64_t seed = options.Whole("--seed", static_cast<int64_t>(kDefaultSceneSeed));
    const SceneFiles files = GenerateScene(static_cast<uint64_t>(seed));
    std::string writeError;
    if (!WriteScene(files, out, writeError)) {
        ToolError("scene", writeError);
        return 1;
    }
    GeneratedHdMaps generated = GenerateHdMaps(static_cast<uint64_t>(seed), kGeneratedHdSide);
    HdSceneMaps hd;
    hd.side = generated.side;
    hd.colour = std::move(generated.colour);
    hd.height = std::move(generated.height);
    if (!WriteHdScene(hd, out, writeError)) {
        ToolError("scene", writeError);
        return 1;
    }
    return 0;
}
