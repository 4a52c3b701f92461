// regular_file.cpp -- scene files opened with the standard library, after a look at what they are
#include "scene/regular_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace {

FilePointer Refuse(std::string* why, std::string reason) {
    if (why) *why = std::move(reason);
    return nullptr;
}

}  // namespace

FilePointer OpenRegularFile(const std::string& path, std::string* why) {
    namespace fs = std::filesystem;
    if (path.empty()) return Refuse(why, "is an empty name");
    if (path.find('\0') != std::string::npos) return Refuse(why, "holds a NUL byte");
    // Only a regular file (or a link to one) is opened: opening a FIFO would
    // wait for a writer, and a device or a directory is no scene file.
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    switch (status.type()) {
        case fs::file_type::regular:
            break;
        case fs::file_type::not_found:
            return Refuse(why, fs::is_symlink(fs::symlink_status(path, error))
                                   ? "is a link to nothing"
                                   : "does not exist");
        case fs::file_type::directory:
            return Refuse(why, "is a directory, not a file");
        case fs::file_type::none:
            return Refuse(why, "cannot be looked at: " + error.message());
        default:
            return Refuse(why, "is not a plain file (a FIFO, a device or a socket)");
    }
    FilePointer file(std::fopen(path.c_str(), "rb"));
    if (!file) return Refuse(why, std::string("cannot be read: ") + std::strerror(errno));
    return file;
}

size_t ReadBytes(std::FILE* file, void* buffer, size_t count) {
    if (!file || count == 0) return 0;
    return std::fread(buffer, 1, count, file);
}
