// flyover_tool.cpp -- flyover-tool: headless rendering and inspection of flyover scenes
#include <cstdio>
#include <cstring>

#include "tools/commands.h"

namespace {

struct Command {
    const char* name;
    int (*run)(int argc, char** argv);
    const char* summary;
};

constexpr Command kCommands[] = {
    {"render", RunRenderCommand, "draw one frame of a scene to a PNG file"},
    {"camera", RunCameraCommand, "print the camera the path gives at flight times"},
    {"scene", RunSceneCommand, "generate a landscape, sky and flight into a directory"},
    {"sound", RunSoundCommand, "synthesize the looping background sound as a WAVE file"},
    {"check", RunCheckCommand, "load a scene and report its pictures, flight and clearance"},
    {"bench", RunBenchCommand, "fly a scene's whole path headless and report the renderer's speed"},
};

void PrintHelp(std::FILE* out) {
    std::fputs(
        "Usage: flyover-tool COMMAND [OPTIONS]\n"
        "\n"
        "Renders and inspects flyover scenes without a window.\n"
        "\n"
        "Commands:\n",
        out);
    for (const Command& c : kCommands)
        std::fprintf(out, "  %-8s %s\n", c.name, c.summary);
    std::fputs("\nRun 'flyover-tool COMMAND --help' for a command's options.\n", out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        PrintHelp(stderr);
        return 2;
    }
    if (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h") ||
        !std::strcmp(argv[1], "help")) {
        PrintHelp(stdout);
        return 0;
    }
    for (const Command& c : kCommands)
        if (!std::strcmp(argv[1], c.name)) return c.run(argc - 2, argv + 2);
    std::fprintf(stderr, "flyover-tool: unknown command \"%s\"\n\n", argv[1]);
    PrintHelp(stderr);
    return 2;
}
