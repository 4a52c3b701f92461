// man_page.h -- the manual pages flyover(6) and flyover-tool(1), written in roff from the
// same option tables and help texts as the programs' --help
#pragma once

#include <span>
#include <string>

#include "tools/options.h"

// flyover-tool(1): every command of `commands` with its synopsis, description,
// options and closing paragraphs, as its --help gives them.
std::string ToolManPage(std::span<const CommandSpec* const> commands, const std::string& version);

// flyover(6): the demo, its files, its environment and its exit status;
// `sceneDir` is where the installed demo keeps its scene.
std::string DemoManPage(const std::string& version, const std::string& sceneDir);

// `text` with roff's special characters escaped: backslashes, hyphens (kept
// ASCII), and a '.' or '\'' that would start a line.
std::string RoffEscape(const std::string& text);
