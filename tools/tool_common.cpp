// tool_common.cpp -- argument helpers for flyover-tool
#include "tools/tool_common.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

bool ArgList::TakeValue(const std::string& name, std::string& value) {
    if (Done()) {
        std::fprintf(stderr, "flyover-tool: option %s needs a value\n", name.c_str());
        return false;
    }
    value = Take();
    return true;
}

int UsageError(const std::string& command, const std::string& message) {
    std::fprintf(stderr, "flyover-tool %s: %s\nTry 'flyover-tool %s --help'.\n", command.c_str(),
                 message.c_str(), command.c_str());
    return 2;
}

bool ParseInteger(const std::string& text, int64_t min, int64_t max, int64_t& value) {
    if (text.empty() || text.size() > 24) return false;
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    const bool hex = text.rfind("0x", 0) == 0 || text.rfind("-0x", 0) == 0 ||
                     text.rfind("0X", 0) == 0 || text.rfind("-0X", 0) == 0;
    const long long parsed = std::strtoll(begin, &end, hex ? 16 : 10);
    if (errno != 0 || end == begin || *end != '\0') return false;
    if (parsed < min || parsed > max) return false;
    value = parsed;
    return true;
}
