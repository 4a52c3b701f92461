// tool_output.h -- flyover-tool's messages on stderr, with names from files and arguments made safe
#pragma once

#include <string>

// Writes "flyover-tool COMMAND: text" (or "flyover-tool: text" for an empty
// command) and a line end to stderr, control characters in `text` escaped.
void ToolError(const std::string& command, const std::string& text);

// Writes `line` and a line end to stderr, control characters escaped: for
// the program's own messages, which the tool prints as the demo would.
void ProgramMessage(const std::string& line);
