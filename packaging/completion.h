// completion.h -- bash completion for flyover-tool, written from the commands' option tables
#pragma once

#include <span>
#include <string>

#include "tools/options.h"

// A bash script defining the completion of flyover-tool: its commands, each
// command's options, and their values: folders for DIR, files for other
// names, the choices of a choice, screen shapes with their layouts for a
// display, nothing for numbers.
std::string BashCompletion(std::span<const CommandSpec* const> commands);
