// text.h -- text for messages: printf-style formatting, and text from files and arguments made
// safe to show on a terminal or in a message box
#pragma once

#include <string>
#include <string_view>

// `text` with every control character shown escaped: the bytes 0x00-0x1F and
// 0x7F, the C1 controls U+0080-U+009F (which some terminals obey too) and
// bytes that are not UTF-8 become "\xNN", one a byte. Everything else,
// other languages' letters included, stays as it is. Called wherever a name
// read from a file or given as an argument goes into a message, so that a
// scene cannot recolour the terminal or set its title.
std::string EscapeControls(std::string_view text);

// printf's formatting into a string of whatever length it needs.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
