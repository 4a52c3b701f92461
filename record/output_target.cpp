// output_target.cpp -- temporary files and folders beside the output, renamed or removed
#include "record/output_target.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace {

bool IsEmptyFolder(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::is_empty(path, ignored);
}

}  // namespace

std::unique_ptr<OutputTarget> OutputTarget::Create(const std::string& out, bool folder,
                                                   std::string& error) {
    std::unique_ptr<OutputTarget> target(new OutputTarget());
    target->folder_ = folder;
    target->final_ = out;
    while (target->final_.size() > 1 && target->final_.back() == '/')
        target->final_.pop_back();
    const std::string& final = target->final_;
    struct stat existing {};
    if (stat(final.c_str(), &existing) == 0) {
        const bool isFolder = S_ISDIR(existing.st_mode);
        if (!folder && isFolder) {
            error = "cannot write " + final + ": it is a folder";
            return nullptr;
        }
        if (folder && !isFolder) {
            error = "cannot write PNG files into " + final + ": it is not a folder";
            return nullptr;
        }
        if (folder && !IsEmptyFolder(final)) {
            error = "cannot write PNG files into " + final +
                    ": the folder is not empty (give a new or empty folder)";
            return nullptr;
        }
    }
    const std::string base = final + ".partial-" + std::to_string(getpid());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = attempt == 0 ? base : base + "-" + std::to_string(attempt);
        int status = 0;
        if (folder) {
            status = mkdir(name.c_str(), 0777);
        } else {
            status = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (status >= 0) status = close(status);
        }
        if (status == 0) {
            target->temporary_ = name;
            return target;
        }
        if (errno != EEXIST) {
            error = "cannot write " + final + ": " + std::strerror(errno);
            return nullptr;
        }
    }
    error = "cannot write " + final + ": too many leftover " + base + " files";
    return nullptr;
}

OutputTarget::~OutputTarget() {
    Discard();
}

bool OutputTarget::Commit(std::string& error) {
    if (std::rename(temporary_.c_str(), final_.c_str()) != 0) {
        error = "cannot rename " + temporary_ + " to " + final_ + ": " + std::strerror(errno);
        return false;
    }
    done_ = true;
    return true;
}

void OutputTarget::Discard() {
    if (done_) return;
    done_ = true;
    std::error_code ignored;
    std::filesystem::remove_all(temporary_, ignored);
}
