// text.cpp -- formatting messages and escaping the control characters in them
#include "shared/text.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>

namespace {

void AppendEscaped(std::string& out, unsigned char byte) {
    static const char kHex[] = "0123456789abcdef";
    out += "\\x";
    out += kHex[byte >> 4];
    out += kHex[byte & 15];
}

// The length of the UTF-8 sequence starting at text[at], or 0 when it is no
// well-formed sequence.
size_t SequenceLength(std::string_view text, size_t at) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    size_t length = 0;
    uint32_t least = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, least = 0x10000;
    } else {
        return 0;
    }
    if (at + length > text.size()) return 0;
    uint32_t code = lead & (0xFF >> (length + 1));
    for (size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) return 0;
        code = code << 6 | (byte(at + i) & 0x3F);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return length;
}

}  // namespace

std::string EscapeControls(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        const auto byte = static_cast<unsigned char>(text[at]);
        if (byte < 0x20 || byte == 0x7F) {
            AppendEscaped(out, byte);
            ++at;
        } else if (byte < 0x80) {
            out += static_cast<char>(byte);
            ++at;
        } else if (const size_t length = SequenceLength(text, at);
                   length == 0 ||
                   (byte == 0xC2 && static_cast<unsigned char>(text[at + 1]) < 0xA0)) {
            // Not UTF-8, or a C1 control (U+0080-U+009F, 0xC2 0x80-0x9F):
            // the sequence's bytes, or the stray byte, each escaped.
            const size_t n = length == 0 ? 1 : length;
            for (size_t i = 0; i < n; ++i)
                AppendEscaped(out, static_cast<unsigned char>(text[at + i]));
            at += n;
        } else {
            out.append(text.substr(at, length));
            at += length;
        }
    }
    return out;
}

std::string Format(const char* format, ...) {
    char text[256];
    va_list values;
    va_start(values, format);
    va_list again;
    va_copy(again, values);
    const int length = std::vsnprintf(text, sizeof text, format, values);
    va_end(values);
    std::string out;
    if (length < 0) {
        // Only a bad conversion gets here: nothing is written, as printf writes nothing.
    } else if (static_cast<size_t>(length) < sizeof text) {
        out.assign(text, static_cast<size_t>(length));
    } else {
        out.resize(static_cast<size_t>(length));
        std::vsnprintf(out.data(), out.size() + 1, format, again);
    }
    va_end(again);
    return out;
}
