// flyover_tool.cpp -- flyover-tool: headless rendering and inspection of flyover scenes
#include <cstdio>
#include <cstring>

#include "shared/text.h"
#include "tools/commands.h"

namespace {

void PrintHelp(std::FILE* out) {
    std::fprintf(out, "Usage: flyover-tool COMMAND [OPTIONS]\n\n%s\n\nCommands:\n",
                 kToolDescription);
    for (const CommandSpec* c : ToolCommands())
        std::fprintf(out, "  %-8s %s\n", c->name, c->summary);
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
    for (const CommandSpec* c : ToolCommands())
        if (!std::strcmp(argv[1], c->name)) return RunCommand(*c, argc - 2, argv + 2);
    std::fprintf(stderr, "flyover-tool: unknown command \"%s\"\n\n",
                 EscapeControls(argv[1]).c_str());
    PrintHelp(stderr);
    return 2;
}
