// unsupported.cpp -- aborting on arguments the platform layer does not implement
#include "platform/unsupported.h"

#include <cstdio>
#include <cstdlib>

void PlatformUnsupported(const char* what) {
    std::fprintf(stderr, "flyover platform: unsupported %s\n", what);
    std::fflush(stderr);
    std::abort();
}
