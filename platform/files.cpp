// files.cpp -- file access on POSIX
#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <vector>

namespace {

// Opens `path` for reading only when it is an existing regular file. The
// open itself must not block, as it would on a FIFO without a writer.
int OpenRegularFile(const std::string& path) {
    if (path.empty() || path.find('\0') != std::string::npos) return -1;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

}  // namespace

FileHandle OpenFileForReading(const std::string& path) {
    return OpenRegularFile(path);
}

size_t ReadFileBytes(FileHandle file, void* buffer, size_t count) {
    if (file < 0) return 0;
    auto* out = static_cast<unsigned char*>(buffer);
    size_t done = 0;
    while (done < count) {
        const ssize_t n = ::read(file, out + done, count - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            break;
        }
    }
    return done;
}

void CloseFileHandle(FileHandle file) {
    if (file >= 0) ::close(file);
}

std::FILE* OpenTextStream(const std::string& path) {
    const int fd = OpenRegularFile(path);
    if (fd < 0) return nullptr;
    std::FILE* stream = ::fdopen(fd, "r");
    if (!stream) ::close(fd);
    return stream;
}

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
