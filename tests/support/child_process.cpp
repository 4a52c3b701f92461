// child_process.cpp -- child processes for tests on POSIX spawn and waitpid
#include "tests/support/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

extern char** environ;

namespace {

std::vector<std::string> BuildEnvironment(const ChildOptions& options) {
    std::vector<std::string> result;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        const std::string name = text.substr(0, text.find('='));
        bool drop = false;
        for (const auto& unset : options.unsetEnvironment)
            drop = drop || unset == name;
        for (const auto& [key, value] : options.setEnvironment)
            drop = drop || key == name;
        if (!drop) result.push_back(text);
    }
    for (const auto& [key, value] : options.setEnvironment)
        result.push_back(key + "=" + value);
    return result;
}

}  // namespace

ChildProcess::~ChildProcess() {
    Kill();
}

bool ChildProcess::Start(const ChildOptions& options, std::string& error) {
    if (options.argv.empty()) {
        error = "no program";
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string out = options.stdoutPath.empty() ? "/dev/null" : options.stdoutPath;
    const std::string err = options.stderrPath.empty() ? "/dev/null" : options.stderrPath;
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (!options.workingDirectory.empty())
        posix_spawn_file_actions_addchdir_np(&actions, options.workingDirectory.c_str());

    std::vector<std::string> environment = BuildEnvironment(options);
    std::vector<char*> envp;
    for (auto& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::vector<std::string> arguments = options.argv;
    std::vector<char*> argvp;
    for (auto& argument : arguments)
        argvp.push_back(argument.data());
    argvp.push_back(nullptr);

    pid_t pid = -1;
    const int status = posix_spawn(&pid, argvp[0], &actions, nullptr, argvp.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (status != 0) {
        error = std::string("cannot start ") + argvp[0] + ": " + std::strerror(status);
        return false;
    }
    pid_ = pid;
    return true;
}

std::optional<int> ChildProcess::Wait(std::chrono::milliseconds limit) {
    if (pid_ <= 0) return std::nullopt;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            endTime_ = std::chrono::steady_clock::now();
            pid_ = -1;
            if (WIFEXITED(status)) return WEXITSTATUS(status);
            if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
            return 255;
        }
        if (done < 0 && errno != EINTR) {
            pid_ = -1;
            return 255;
        }
        if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
}

void ChildProcess::Kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
}
