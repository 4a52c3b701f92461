// scene_command.cpp -- "flyover-tool scene": writes the generated landscape, sky and flight into a
// directory
#include <sys/stat.h>
#include <cstdio>
#include <string>

#include "tools/commands.h"
#include "tools/scenegen/scene_generator.h"
#include "tools/tool_common.h"

namespace {

constexpr char kHelp[] =
    "Usage: flyover-tool scene --out DIR [--seed N]\n"
    "\n"
    "Generates a complete scene and writes it into DIR (created if missing):\n"
    "Keys2.txt, colour.bmp, height.bmp and sky.BMP. The same seed always gives\n"
    "the same bytes; the default seed is the scene the build ships.\n"
    "\n"
    "  --out DIR    directory to write the four files into\n"
    "  --seed N     any whole number from 0 to 2^63 - 1 (default 1)\n"
    "\n"
    "Exit status: 0 on success, 1 when a file cannot be written, 2 for bad arguments.\n";

}  // namespace

int RunSceneCommand(int argc, char** argv) {
    const std::string command = "scene";
    ArgList args(argc, argv);
    std::string out, value;
    int64_t seed = static_cast<int64_t>(kDefaultSceneSeed);
    while (!args.Done()) {
        const std::string option = args.Take();
        if (option == "--help" || option == "-h") {
            std::fputs(kHelp, stdout);
            return 0;
        } else if (option == "--out") {
            if (!args.TakeValue(option, out)) return 2;
        } else if (option == "--seed") {
            if (!args.TakeValue(option, value)) return 2;
            if (!ParseInteger(value, 0, INT64_MAX, seed))
                return UsageError(command,
                                  "bad --seed \"" + value + "\" (expected a whole number >= 0)");
        } else {
            return UsageError(command, "unknown argument \"" + option + "\"");
        }
    }
    if (out.empty()) return UsageError(command, "--out DIR is required");
    mkdir(out.c_str(), 0777);  // an existing directory is fine; a failure shows when writing

    const SceneFiles files = GenerateScene(static_cast<uint64_t>(seed));
    std::string error;
    if (!WriteScene(files, out, error)) {
        std::fprintf(stderr, "flyover-tool scene: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
