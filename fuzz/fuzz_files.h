// fuzz_files.h -- a private scratch directory for the fuzz targets, removed at exit
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The fuzzer's own directory under the system's temporary directory, with a
// trailing "/". Made on first use and removed with its files at exit.
const std::string& ScratchDir();

// Writes `size` bytes to `path`, replacing any file there. Returns false when
// the file cannot be written (e.g. the name is a directory).
bool WriteScratchFile(const std::string& path, const uint8_t* data, size_t size);

// Stops the process in a way libFuzzer reports as a crash, naming `what`.
[[noreturn]] void FuzzCheckFailed(const char* what);

#define FUZZ_CHECK(condition) ((condition) ? (void)0 : FuzzCheckFailed(#condition))
