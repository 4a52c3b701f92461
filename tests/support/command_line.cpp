// command_line.cpp -- command lines run through popen for tests
#include "tests/support/command_line.h"

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <memory>

CommandRun RunCommandLine(const std::string& commandLine) {
    CommandRun run;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(commandLine.c_str(), "r"), &::pclose);
    if (!pipe) return run;
    std::array<char, 4096> buffer;
    size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe.get())) > 0)
        run.output.append(buffer.data(), n);
    const int raw = ::pclose(pipe.release());
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return run;
}

CommandRun RunWithStderr(const std::string& program, const std::string& args) {
    return RunCommandLine(program + " " + args + " 2>&1");
}
