// output_target.h -- a recording's temporary file or folder beside --out: renamed to --out when
// the recording is done, removed otherwise, so that nothing half-written is left
#pragma once

#include <memory>
#include <string>

class OutputTarget {
public:
    // Makes the temporary file (or, with `folder`, the temporary folder)
    // beside `out`: "OUT.partial-PID". Refuses an --out that is a folder
    // when a file is wanted, and a folder that exists and is not empty, or
    // a file, when a folder is wanted. Returns null with a message naming
    // the path and the problem.
    static std::unique_ptr<OutputTarget> Create(const std::string& out, bool folder,
                                                std::string& error);
    ~OutputTarget();
    OutputTarget(const OutputTarget&) = delete;
    OutputTarget& operator=(const OutputTarget&) = delete;

    // Where to write now.
    const std::string& TemporaryPath() const { return temporary_; }
    // Where the result will be: --out without a trailing "/".
    const std::string& FinalPath() const { return final_; }
    // Renames the temporary file or folder to the final path.
    bool Commit(std::string& error);
    // Removes the temporary file or folder and all in it (the destructor
    // does it too when nothing was committed).
    void Discard();

private:
    OutputTarget() = default;
    std::string temporary_, final_;
    bool folder_ = false;
    bool done_ = false;
};
