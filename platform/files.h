// files.h -- file access for the scene loaders: raw reads, text streams, the program's own path
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

// A file opened for reading by OpenFileForReading; -1 when it could not be opened.
using FileHandle = int;
constexpr FileHandle kInvalidFileHandle = -1;

// Called by the bitmap reader: opens an existing regular file for reading
// (others may read it too). Directories, FIFOs, devices and missing or
// unreadable files give kInvalidFileHandle. Never blocks.
FileHandle OpenFileForReading(const std::string& path);

// Reads up to `count` bytes from the current position into `buffer`; returns
// the number delivered (fewer at the end of the file or on an error).
size_t ReadFileBytes(FileHandle file, void* buffer, size_t count);

// Closes a handle from OpenFileForReading; an invalid handle is ignored.
void CloseFileHandle(FileHandle file);

// Called by the scene loader: opens an existing regular file as a text stream
// for the standard library's formatted scans ("rt"); null when it cannot be
// opened or is not a regular file. Close it with std::fclose.
std::FILE* OpenTextStream(const std::string& path);

// The running program's full file name (from /proc/self/exe), or "" when the
// system does not tell it.
std::string ModuleFileName();

// The directory of the running program, ending with its separator ("/").
// Without any separator the whole module name is returned.
std::string ProgramDirectory();
