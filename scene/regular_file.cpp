// regular_file.cpp -- scene files opened with the standard library, after a look at what they are
#include "scene/regular_file.h"

#include <filesystem>
#include <system_error>

FilePointer OpenRegularFile(const std::string& path) {
    if (path.empty() || path.find('\0') != std::string::npos) return nullptr;
    // Only a regular file (or a link to one) is opened: opening a FIFO would
    // wait for a writer, and a device or a directory is no scene file.
    std::error_code error;
    if (!std::filesystem::is_regular_file(std::filesystem::status(path, error))) return nullptr;
    return FilePointer(std::fopen(path.c_str(), "rb"));
}

size_t ReadBytes(std::FILE* file, void* buffer, size_t count) {
    if (!file || count == 0) return 0;
    return std::fread(buffer, 1, count, file);
}
