// tool_common.h -- what flyover-tool's subcommands share: argument parsing
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The arguments of one subcommand, taken in order.
class ArgList {
public:
    ArgList(int argc, char** argv) : args_(argv, argv + argc) {}
    bool Done() const { return next_ >= args_.size(); }
    const std::string& Peek() const { return args_[next_]; }
    const std::string& Take() { return args_[next_++]; }
    // The value after option `name`; false (with a message on stderr) when it is missing.
    bool TakeValue(const std::string& name, std::string& value);

private:
    std::vector<std::string> args_;
    size_t next_ = 0;
};

// Prints "flyover-tool COMMAND: message" to stderr and returns the usage exit code 2.
int UsageError(const std::string& command, const std::string& message);

// Parses a whole number within [min, max]; decimal, or hexadecimal with 0x.
bool ParseInteger(const std::string& text, int64_t min, int64_t max, int64_t& value);
