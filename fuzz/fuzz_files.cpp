// fuzz_files.cpp -- the fuzz targets' scratch directory and file writing
#include "fuzz/fuzz_files.h"

#include <fcntl.h>
#include <sanitizer/common_interface_defs.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace {

std::string scratch;

void RemoveScratch() {
    if (scratch.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(scratch, ignored);
}

}  // namespace

const std::string& ScratchDir() {
    if (scratch.empty()) {
        std::string pattern = (std::filesystem::temp_directory_path() / "flyover-fuzz-XXXXXX");
        if (!::mkdtemp(pattern.data())) {
            std::perror("flyover fuzz: mkdtemp");
            std::abort();
        }
        scratch = pattern + "/";
        std::atexit(RemoveScratch);
    }
    return scratch;
}

bool WriteScratchFile(const std::string& path, const uint8_t* data, size_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    ::close(fd);
    return done == size;
}

void FuzzCheckFailed(const char* what) {
    // Also through the sanitizers' report, which libFuzzer keeps when it
    // closes the target's stderr (-close_fd_mask=2).
    std::fprintf(stderr, "flyover fuzz: check failed: %s\n", what);
    __sanitizer_report_error_summary((std::string("flyover fuzz check failed: ") + what).c_str());
    std::abort();
}
