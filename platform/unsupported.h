// unsupported.h -- how the platform layer refuses arguments it does not implement
#pragma once

// Called by a platform operation given an argument it does not implement
// (a style, flag or mode the program never uses): writes "flyover platform:
// unsupported <what>" to stderr and aborts, so that a caller relying on
// behaviour the stand-in lacks finds out at once instead of getting an
// approximation.
[[noreturn]] void PlatformUnsupported(const char* what);
