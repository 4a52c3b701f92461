// key_file.cpp -- scanning the key file's names, integers and key lines, and writing a key file
#include "scene/key_file.h"

#include <cctype>
#include <cinttypes>
#include <climits>

namespace {

bool IsSpace(int c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

}  // namespace

void KeyFileReader::SkipWhiteSpace() {
    int c;
    while ((c = std::getc(stream_)) != EOF && IsSpace(c)) {
    }
    if (c != EOF) std::ungetc(c, stream_);
}

std::string KeyFileReader::ReadName() {
    SkipWhiteSpace();
    std::string name;
    int c;
    // The whole token is consumed, but only its first kMaxNameBytes bytes
    // are kept: any name that long is refused anyway, and a key file of one
    // endless token must not take all memory.
    while ((c = std::getc(stream_)) != EOF && !IsSpace(c))
        if (name.size() < kMaxNameBytes) name.push_back(static_cast<char>(c));
    if (c != EOF) std::ungetc(c, stream_);
    SkipWhiteSpace();
    return name;
}

int32_t KeyFileReader::ReadInteger() {
    long long value = 0;
    if (std::fscanf(stream_, "%lli", &value) != 1) value = 0;
    SkipWhiteSpace();
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(value);
}

int32_t KeyFileReader::ReadKeys(int32_t count, const std::function<void(const KeyValues&)>& add) {
    KeyValues v{0, 0, 0, 0, 0};
    int32_t read = 0;
    for (; read < count; ++read) {
        const int got = std::fscanf(stream_, "%f %f %f %f %f", &v[0], &v[1], &v[2], &v[3], &v[4]);
        // At the end of the file, or stuck on text that is no number, the
        // original would add the same stale values again and again; stop.
        if (got <= 0) break;
        SkipWhiteSpace();
        add(v);
    }
    return read;
}

std::vector<KeyValues> KeyFileReader::ReadKeys(int32_t count) {
    std::vector<KeyValues> keys;
    ReadKeys(count, [&keys](const KeyValues& v) { keys.push_back(v); });
    return keys;
}

size_t CharacterCount(const std::string& text) {
    size_t n = 0;
    for (const char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
    return n;
}

std::string FormatKeyFile(const FlightPlan& plan, const std::string& colourMapName,
                          const std::string& heightMapName) {
    std::string text = colourMapName + "\n" + heightMapName + "\n";
    text += std::to_string(plan.keys.size()) + "\n" + std::to_string(plan.intervalMs) + "\n";
    for (const auto& k : plan.keys) {
        char line[160];
        std::snprintf(line, sizeof line,
                      "%" PRId64 " %" PRId64 " %" PRId64 " %" PRId64 " %" PRId64 "\n", k[0], k[1],
                      k[2], k[3], k[4]);
        text += line;
    }
    return text;
}
