// files.h -- where the running program lies
#pragma once

#include <string>

// The running program's full file name, or "" when the system does not tell it.
std::string ModuleFileName();

// The directory of the running program, ending with its separator ("/"),
// where the demo finds its scene. Without any separator the whole module
// name is returned.
std::string ProgramDirectory();
