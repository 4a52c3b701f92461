// message_box.h -- modal messages to the user
#pragma once

#include <cstdint>
#include <string>

// Flags the program passes (the platform's message-box values).
constexpr uint32_t MB_OK = 0x0;
constexpr uint32_t MB_ICONEXCLAMATION = 0x30;
constexpr uint32_t MB_SETFOREGROUND = 0x10000;

// Called by the loaders and display setup on failure: shows `text` under
// `caption`, owned by no window, and returns once the user has dismissed it.
// The text always goes to stderr as "Caption: text" (just "text" when the
// caption is empty); a windowed build also shows it in a box.
int MessageBox(const std::string& text, const std::string& caption, uint32_t flags);

// A windowed build installs a function that shows the box on screen; it
// returns false when no display can show one. Null restores stderr alone.
using MessageBoxShower = bool (*)(const std::string& text, const std::string& caption,
                                  uint32_t flags);
void SetMessageBoxShower(MessageBoxShower shower);
