// command_line.h -- for tests: running a command line through the shell and collecting what it
// prints
#pragma once

#include <string>

struct CommandRun {
    int status = -1;     // the exit status; -1 when the command did not exit normally
    std::string output;  // its standard output (stderr too, where the command line sends it there)
};

// Runs `commandLine` with /bin/sh and waits for it.
CommandRun RunCommandLine(const std::string& commandLine);

// `program` and `args` with the standard error joined to the output ("... 2>&1").
CommandRun RunWithStderr(const std::string& program, const std::string& args);
