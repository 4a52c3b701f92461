// child_process.h -- for tests: starting a program with its own environment and waiting for it with
// a time limit
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct ChildOptions {
    std::vector<std::string> argv;  // argv[0] is the program's path
    std::vector<std::pair<std::string, std::string>> setEnvironment;
    std::vector<std::string> unsetEnvironment;
    std::string stdoutPath;        // empty: /dev/null
    std::string stderrPath;        // empty: /dev/null
    std::string workingDirectory;  // empty: the test's own
};

// One child process. Destroying a child that still runs kills it.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts the program; false (with the reason in `error`) when it cannot.
    bool Start(const ChildOptions& options, std::string& error);
    // Waits at most `limit` for the child to end. Returns its exit status
    // (128 + N when killed by signal N), or nothing when it still runs.
    std::optional<int> Wait(std::chrono::milliseconds limit);
    // When Wait saw the child end (within about a millisecond).
    std::chrono::steady_clock::time_point EndTime() const { return endTime_; }
    // Kills the child (SIGKILL) and reaps it.
    void Kill();
    bool Running() const { return pid_ > 0; }

private:
    int pid_ = -1;
    std::chrono::steady_clock::time_point endTime_{};
};
