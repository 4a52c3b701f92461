// platform.cpp -- the error box's line on stderr, the same on every platform
#include "platform/platform.h"

#include <cstdio>

void Platform::ShowErrorBox(const std::string& text, const std::string& caption) {
    if (caption.empty())
        std::fprintf(stderr, "%s\n", text.c_str());
    else
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    std::fflush(stderr);
    ShowBox(text, caption);
}
