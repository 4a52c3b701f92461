// tool_output.cpp -- writing flyover-tool's messages to stderr
#include "tools/tool_output.h"

#include <cstdio>

#include "shared/text.h"

void ToolError(const std::string& command, const std::string& text) {
    const std::string prefix = command.empty() ? "flyover-tool" : "flyover-tool " + command;
    std::fprintf(stderr, "%s: %s\n", prefix.c_str(), EscapeControls(text).c_str());
    std::fflush(stderr);
}

void ProgramMessage(const std::string& line) {
    std::fprintf(stderr, "%s\n", EscapeControls(line).c_str());
    std::fflush(stderr);
}
