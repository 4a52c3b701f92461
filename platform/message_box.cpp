// message_box.cpp -- messages to stderr, and on screen when a windowed build can show them
#include "platform/message_box.h"

#include <atomic>
#include <cstdio>

namespace {
std::atomic<MessageBoxShower> installedShower{nullptr};
}

void SetMessageBoxShower(MessageBoxShower shower) {
    installedShower.store(shower);
}

int MessageBox(const std::string& text, const std::string& caption, uint32_t flags) {
    if (caption.empty())
        std::fprintf(stderr, "%s\n", text.c_str());
    else
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    std::fflush(stderr);
    if (MessageBoxShower shower = installedShower.load()) shower(text, caption, flags);
    return 1;  // IDOK
}
