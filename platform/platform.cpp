// platform.cpp -- the error box's line on stderr, the same on every platform
#include "platform/platform.h"

#include <cstdio>

#include "shared/text.h"

void Platform::ShowErrorBox(const std::string& text, const std::string& caption) {
    // A file name in the text comes from a scene file: its control
    // characters are shown, never obeyed, here and in the box.
    const std::string safeText = EscapeControls(text);
    const std::string safeCaption = EscapeControls(caption);
    if (safeCaption.empty())
        std::fprintf(stderr, "%s\n", safeText.c_str());
    else
        std::fprintf(stderr, "%s: %s\n", safeCaption.c_str(), safeText.c_str());
    std::fflush(stderr);
    ShowBox(safeText, safeCaption);
}
