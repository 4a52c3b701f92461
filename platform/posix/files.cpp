// files.cpp -- the running program's path, from /proc/self/exe
#include "platform/files.h"

#include <unistd.h>

#include <climits>
#include <vector>

std::string ModuleFileName() {
    std::vector<char> buffer(PATH_MAX + 1);
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0) return {};
    return std::string(buffer.data(), static_cast<size_t>(n));
}

std::string ProgramDirectory() {
    const std::string module = ModuleFileName();
    const size_t slash = module.find_last_of('/');
    if (slash == std::string::npos) return module;
    return module.substr(0, slash + 1);
}
