// regular_file.h -- opening a scene file for reading, refusing anything that is not a plain file
#pragma once

#include <cstdio>
#include <memory>
#include <string>

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePointer = std::unique_ptr<std::FILE, FileCloser>;

// Called by the scene's readers: opens an existing regular file for reading,
// in binary (the key file's numbers are scanned from the same stream; text
// and binary are one on the systems we run on). Null for a missing or
// unreadable file, a directory, a FIFO or a device, so that reading never
// blocks and never reads a stream without end, and for a path holding a NUL.
// When `why` is given, a failure puts there what is wrong with the path, as
// words that follow its name ("does not exist", "is a directory", ...).
FilePointer OpenRegularFile(const std::string& path, std::string* why = nullptr);

// Reads up to `count` bytes into `buffer`; returns the number delivered
// (fewer at the end of the file or on an error).
size_t ReadBytes(std::FILE* file, void* buffer, size_t count);
